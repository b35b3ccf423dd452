// What every screen's rows header starts with: the rows and the rule families, and
// the check that the table file alone includes rows. The rows and the functions they
// instantiate are the including file's own: anywhere else they would be copies that
// no table holds.
#pragma once
#ifndef HMI_DEFINING_TABLES
#error "a screen's rows are included by the table file (screens/tables.cpp) alone"
#endif

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

// Rows of the handler tables, and the joining of each window's rows into one table.
//
// Every property row is a function of its own with its own lookup cache slot, one per
// tag it reads, although most rows differ only in a tag name or a constant. The host
// calls a property function with the widget's value alone: nothing tells a shared
// function which row it serves, so the row's tag and constants must be in the
// function itself. And the host keeps in a slot whatever it likes about the tag it
// was first asked for through it, for as long as the library is loaded: a slot shared
// by two call sites would hand one of them the other's tag. So bind<> in
// plugin/bind.hpp makes the function and the slots from the row itself, one template
// instance a row, zero at load: the rows stay one line each, the rule behind them is
// written once, and nothing runs to set them up.
#pragma once

#include <stddef.h>

#include "plugin/hmi_abi.h"

namespace hmi {

// A row as the host reads it (hmi_func_row), with the handler kept as a function
// pointer so that the tables are constant-initialised: nothing runs at load.
struct Row {
    const char* key;
    union Handler {
        hmi_event_func event;
        hmi_prop_func prop;
    } func;
};
static_assert(sizeof(Row) == sizeof(hmi_func_row));
static_assert(offsetof(Row, func) == offsetof(hmi_func_row, func));

constexpr Row on(const char* key, hmi_event_func handler) {
    return {key, {.event = handler}};
}

template <size_t N>
struct RowTable {
    Row rows[N];
};

// One table from the rows of each window, in the given order, closed by the end row.
template <size_t... Ns>
constexpr RowTable<(Ns + ... + 0) + 1> join(const Row (&... windows)[Ns]) {
    RowTable<(Ns + ... + 0) + 1> table{};
    size_t next = 0;
    auto append = [&](const auto& rows) {
        for (const Row& row : rows) table.rows[next++] = row;
    };
    (append(windows), ...);
    (void)append;  // a table of no windows yet
    table.rows[next] = Row{nullptr, {.event = nullptr}};
    return table;
}

}  // namespace hmi

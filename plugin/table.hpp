// Rows of the handler tables, and the joining of each window's rows into one table.
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

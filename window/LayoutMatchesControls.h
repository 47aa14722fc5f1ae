#pragma once

#include "window/Controls.h"
#include "window/LayoutTable.h"

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

/// Compile-time agreement of the layout table with window::Controls: LayoutTable.cpp asserts
/// BuildsExactlyTheControls over its rows, so a control in one and not the other, or an array
/// of another length, does not compile.
namespace window::layout {

/// How many rows build the single control `name`: one row of it, unindexed, else -1.
template <class T>
constexpr int RowsBuilding(std::span<const ControlRow> rows, std::string_view name, T*) {
    int found = 0;
    for (const ControlRow& row : rows)
        if (row.name == name) {
            if (row.index != -1 || row.count != 1) return -1;
            ++found;
        }
    return found == 1 ? found : -1;
}

/// How many rows build the control array `name`: rows whose elements lie within the array
/// and give each of its elements exactly once, else -1.
template <class T, std::size_t Length>
constexpr int RowsBuilding(std::span<const ControlRow> rows, std::string_view name,
                           const std::array<T*, Length>&) {
    int found = 0;
    for (const ControlRow& row : rows)
        if (row.name == name) {
            if (row.index < 0 || row.count < 1 || row.index + row.count > int(Length)) return -1;
            ++found;
        }
    for (int element = 0; element < int(Length); ++element) {
        int given = 0;
        for (const ControlRow& row : rows)
            if (row.name == name && row.index <= element && element < row.index + row.count)
                ++given;
        if (given != 1) return -1;
    }
    return found;
}

/// Whether `rows` build every control of Controls as Controls holds it, and nothing else.
constexpr bool BuildsExactlyTheControls(std::span<const ControlRow> rows) {
    Controls controls;
    bool each = true;
    std::size_t building = 0;
    ForEachControl(controls, [&](const char* name, const auto& member) {
        const int found = RowsBuilding(rows, name, member);
        each = each && found > 0;
        building += found > 0 ? std::size_t(found) : 0;
    });
    return each && building == rows.size();
}

} // namespace window::layout

#pragma once
// What a report view is built from: columns, groups in display order and rows in index
// order. Plain data, so catalogs are defined and tested without widgets.
#include <span>

inline constexpr int kNoGroup = -1;

struct ViewColumn {
    const char* caption;
    int width;
};
struct ViewGroup {
    int id;
    const char* caption;
};
struct ViewRow {
    int group;          // kNoGroup in a view without groups
    const char* caption;
    const char* hint;   // nullptr: the caption serves as hint
};
struct ViewCatalog {
    std::span<const ViewColumn> columns;
    std::span<const ViewGroup> groups;  // in display order
    std::span<const ViewRow> rows;      // in index order
    int designedCells;                  // value cells every row has from creation
};

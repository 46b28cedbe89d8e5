#pragma once

#include <string>
#include <vector>

// One picture as rows of palette letters, row 0 at the top; "." is a transparent pixel.
struct Frame {
    std::vector<std::string> rows;

    int width() const; // the longest row
    int height() const { return int(rows.size()); }

    // Inside the frame (per row length) and not transparent.
    bool isOpaque(int col, int row) const;

    // A copy with the given rows replaced.
    Frame withRows(std::initializer_list<std::pair<int, const char*>> replacements) const;
};

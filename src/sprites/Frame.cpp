#include "sprites/Frame.h"

#include <algorithm>

int Frame::width() const
{
    size_t widest = 0;
    for (const std::string& row : rows)
        widest = std::max(widest, row.size());
    return int(widest);
}

bool Frame::isOpaque(int col, int row) const
{
    if (col < 0 || row < 0 || row >= height())
        return false;
    const std::string& line = rows[size_t(row)];
    return size_t(col) < line.size() && line[size_t(col)] != '.';
}

Frame Frame::withRows(std::initializer_list<std::pair<int, const char*>> replacements) const
{
    Frame copy = *this;
    for (const auto& [row, text] : replacements)
        copy.rows.at(size_t(row)) = text;
    return copy;
}

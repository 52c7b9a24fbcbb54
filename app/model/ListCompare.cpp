// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/ListCompare.h"

#include <algorithm>
#include <limits>

namespace {

unsigned foldedByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'a' && byte <= 'z') ? byte - 0x20u : byte;
}

int compareSizes(std::string_view a, std::string_view b)
{
    const uint64_t left = SizeTextValue(a);
    const uint64_t right = SizeTextValue(b);
    return left < right ? -1 : (left > right ? 1 : 0);
}

int compareAscending(int sortColumn, const FileRowTexts &a, const FileRowTexts &b)
{
    switch (sortColumn) {
    case ColumnName:
        return CompareTextNoCase(a.Name, b.Name);
    case ColumnDate:
        return CompareTextNoCase(a.DateText, b.DateText);
    case ColumnSize:
        return compareSizes(a.SizeText, b.SizeText);
    default:
        return 0;
    }
}

} // namespace

int NextSortDirection(int columnFlag)
{
    return columnFlag == 0 ? 1 : 0;
}

int CompareTextNoCase(std::string_view a, std::string_view b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned left = foldedByte(a[i]);
        const unsigned right = foldedByte(b[i]);
        if (left != right)
            return static_cast<int>(left) - static_cast<int>(right);
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

uint64_t SizeTextValue(std::string_view text)
{
    constexpr uint64_t max = std::numeric_limits<uint64_t>::max();
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return max;
        value = value * 10 + digit;
    }
    return value;
}

int CompareFileRows(int sortColumn, int sortAscending, const FileRowTexts &a, const FileRowTexts &b)
{
    return sortAscending != 0 ? compareAscending(sortColumn, a, b) : compareAscending(sortColumn, b, a);
}

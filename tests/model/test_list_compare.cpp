// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/ListCompare.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string name, date, size;
    FileRowTexts texts() const { return {name, date, size}; }
};

// Sorts rows the way the list control does with the comparison and returns the
// names in the resulting order.
std::vector<std::string> sortedNames(std::vector<Row> rows, int column, int ascending)
{
    std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
        return CompareFileRows(column, ascending, a.texts(), b.texts()) < 0;
    });
    std::vector<std::string> names;
    for (const Row &row : rows)
        names.push_back(row.name);
    return names;
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

const std::vector<Row> listing = {
    {"b.html", "2004/01/01 00:00.00", "10"}, {"images", "2005/06/07 08:09.10", "0"},
    {"A.txt", "2003/12/31 23:59.59", "9"},   {"big.iso", "2002/02/02 02:02.02", "3221225472"},
    {"c", "2004/01/01 00:00.01", "0"},       {"small.bin", "2010/10/10 10:10.10", "4294967297"},
};

} // namespace

TEST(ListCompare, EachColumnInBothDirections)
{
    EXPECT_EQ(sortedNames(listing, ColumnName, 1),
              (std::vector<std::string>{"A.txt", "b.html", "big.iso", "c", "images", "small.bin"}));
    EXPECT_EQ(sortedNames(listing, ColumnName, 0),
              (std::vector<std::string>{"small.bin", "images", "c", "big.iso", "b.html", "A.txt"}));

    EXPECT_EQ(sortedNames(listing, ColumnDate, 1),
              (std::vector<std::string>{"big.iso", "A.txt", "b.html", "c", "images", "small.bin"}));
    EXPECT_EQ(sortedNames(listing, ColumnDate, 0),
              (std::vector<std::string>{"small.bin", "images", "c", "b.html", "A.txt", "big.iso"}));

    // Numeric, 64-bit: 9 before 10, folders and empty files (0) first.
    const std::vector<std::string> bySize = sortedNames(listing, ColumnSize, 1);
    EXPECT_EQ(std::vector<std::string>(bySize.begin() + 2, bySize.end()),
              (std::vector<std::string>{"A.txt", "b.html", "big.iso", "small.bin"}));
    EXPECT_EQ(sortedNames(listing, ColumnSize, 0)[0], "small.bin");
    EXPECT_EQ(sortedNames(listing, ColumnSize, 0)[3], "A.txt");
}

TEST(ListCompare, DescendingIsTheMirrorOfAscending)
{
    // Every pair orders oppositely in the two directions: a sort needs this.
    for (const Row &a : listing)
        for (const Row &b : listing)
            for (const int column : {ColumnName, ColumnDate, ColumnSize})
                EXPECT_EQ(sign(CompareFileRows(column, 0, a.texts(), b.texts())),
                          -sign(CompareFileRows(column, 1, a.texts(), b.texts())))
                    << a.name << " " << b.name << " " << column;
    // Names equal but for letter case are equal both ways; there is no fourth column.
    const Row lower{"readme.txt", "d", "1"}, upper{"README.TXT", "e", "2"};
    EXPECT_EQ(CompareFileRows(ColumnName, 1, lower.texts(), upper.texts()), 0);
    EXPECT_EQ(CompareFileRows(ColumnName, 0, lower.texts(), upper.texts()), 0);
    EXPECT_EQ(CompareFileRows(3, 1, lower.texts(), upper.texts()), 0);
}

TEST(ListCompare, OnlyAsciiLettersAreFolded)
{
    EXPECT_EQ(CompareTextNoCase("readme.txt", "README.TXT"), 0);
    EXPECT_LT(CompareTextNoCase("readme", "readme.txt"), 0) << "a prefix comes first";
    EXPECT_GT(CompareTextNoCase("readme.txt", "README"), 0);
    EXPECT_EQ(CompareTextNoCase("", ""), 0);
    EXPECT_LT(CompareTextNoCase("", "a"), 0);
    // Folded to capitals: '_' (0x5F) sorts after 'Z' and so after 'a' too.
    EXPECT_LT(CompareTextNoCase("a", "_"), 0);
    EXPECT_LT(CompareTextNoCase("Z", "_"), 0);
    // The difference of the first differing bytes decides.
    EXPECT_EQ(CompareTextNoCase("abc", "ABE"), 'C' - 'E');
    // Bytes above 0x7F compare unsigned and are never folded: "é" (C3 A9) and
    // "É" (C3 89) differ, full-width letters stay apart, and every multibyte
    // character sorts after ASCII.
    EXPECT_NE(CompareTextNoCase("\xC3\xA9", "\xC3\x89"), 0);
    EXPECT_NE(CompareTextNoCase("ａ", "Ａ"), 0);
    EXPECT_GT(CompareTextNoCase("日本", "zzz"), 0);
    EXPECT_LT(CompareTextNoCase("\x95\x5C", "\x95\x5D"), 0);
}

TEST(ListCompare, SizeTextValues)
{
    EXPECT_EQ(SizeTextValue("0"), 0u);
    EXPECT_EQ(SizeTextValue("3221225472"), 3221225472u);
    EXPECT_EQ(SizeTextValue("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(SizeTextValue("99999999999999999999999"), UINT64_MAX) << "saturates instead of wrapping";
    EXPECT_EQ(SizeTextValue(""), 0u);
    EXPECT_EQ(SizeTextValue("abc"), 0u);
    EXPECT_EQ(SizeTextValue("12abc"), 12u);
}

TEST(ListCompare, AHeaderClickTurnsTheColumnFlagOver)
{
    // The flag itself lives in the local list's column tags (see the sorting
    // test of the main window).
    EXPECT_EQ(NextSortDirection(0), 1) << "first click: ascending";
    EXPECT_EQ(NextSortDirection(1), 0) << "second click: descending";
    EXPECT_EQ(NextSortDirection(7), 0);
}

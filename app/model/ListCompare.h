// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

// The comparison behind a column-header sort of either file list. The sort
// state (SortColumn, SortAscending and the per-column direction flags kept in
// the local list's column tags) lives in the main window; these functions take
// it as arguments.

constexpr int ColumnName = 0; // "名前"
constexpr int ColumnDate = 1; // "更新日時"
constexpr int ColumnSize = 2; // "ｻｲｽﾞ"

// The direction a header click uses, from the flag the last click on that
// column position left: 1 (ascending) when it was 0, else 0 (descending). The
// result is stored back as the column's flag and as SortAscending.
int NextSortDirection(int columnFlag);

// Byte-wise comparison with only "a" to "z" folded to capitals; other bytes,
// those of multibyte characters included, compare as unsigned values. The first
// differing byte decides by the difference of the two values; when one text is
// a prefix of the other, the shorter comes first. Negative, 0 or positive.
int CompareTextNoCase(std::string_view a, std::string_view b);

// The value of a size column text: its leading decimal digits (64-bit,
// saturating); a text that does not start with a digit counts as 0.
uint64_t SizeTextValue(std::string_view text);

// The texts of one row: caption and the two sub-items.
struct FileRowTexts {
    std::string_view Name;
    std::string_view DateText;
    std::string_view SizeText;
};

// The comparison the list control calls while sorting: by name or date text
// with CompareTextNoCase, by size numerically (9 before 10); with SortAscending
// 1 row A against row B, with 0 row B against row A. Folders are not grouped.
// Any other column compares as equal.
int CompareFileRows(int sortColumn, int sortAscending, const FileRowTexts &a, const FileRowTexts &b);

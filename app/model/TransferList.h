// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The batch of every transfer, deletion and automatic pass: rows 0 to
// TransferCount - 1, in the order they were added. Rows beyond the count keep
// their old content; change detection rewrites rows from 0 in place, so the
// rows are open to the main window.

constexpr int MAXFILE = 900;

// Status panel 0 text when a row does not fit.
constexpr const char MaxFileExceededText[] = "MAXFILE exceeded";
// Message box of a folder scan that reached the limit, with MAXFILE.
constexpr const char FileLimitFormat[] = QT_TRANSLATE_NOOP("Model", "扱えるﾌｧｲﾙ数は %1 までです。");
std::string FileLimitMessage();

struct TransferEntry {
    uint8_t Pending = 0;    // 1 = still to be transferred
    uint8_t Done = 0;       // set by the progress window's pass
    std::string LocalPath;  // relative to the local current folder
    std::string RemotePath; // relative to the remote current folder, '/' separators
    uint64_t Size = 0;      // the file size change detection records; nothing reads it back
};

enum class AddResult {
    Added,
    Skipped, // the name "." or "..": nothing added
    Full,    // MAXFILE rows in use: nothing written, the caller shows MaxFileExceededText
};

struct TransferList {
    // MAXFILE rows; the whole-tree watch grows them (Row) beyond that.
    std::vector<TransferEntry> Entries = std::vector<TransferEntry>(MAXFILE);
    int TransferCount = 0;

    TransferEntry &operator[](int row) { return Entries[static_cast<size_t>(row)]; }
    const TransferEntry &operator[](int row) const { return Entries[static_cast<size_t>(row)]; }
    int Rows() const { return static_cast<int>(Entries.size()); }
    // Row `row`, growing the table to hold it (no cap: the tree has none).
    TransferEntry &Row(int row);

    bool IsFull() const { return TransferCount >= MAXFILE; }

    // Writes row TransferCount with Pending 1, Done 0 and the two paths, and
    // advances the count; Full when no row is left.
    AddResult Append(std::string_view localPath, std::string_view remotePath);

    // A file of a folder walk: the path is prefix followed by name (the name
    // alone for an empty prefix), the same text on both sides since a local
    // path already has the remote separators. "." and ".." are skipped.
    AddResult AddTransferEntry(std::string_view prefix, std::string_view name);

    // Advances TransferCount after the caller wrote row TransferCount itself;
    // false (count unchanged) when the list is full, and the caller then shows
    // MaxFileExceededText.
    bool CountTransferEntry();

    // Every row back to its initial state (MAXFILE of them) and TransferCount 0. (The main
    // window also zeroes the progress window's tag and operation code.)
    void ClearTransferList();
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FindRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

// One row of either file list and the rules that make it from a find record.
// No widgets here: the main window's AddFileEntry asks DecideFileRow what to do
// with a record and then fills the list control and its counters.

// Image indices of ImageList1: the list rows tell folders from files by these.
constexpr int ImageFolder = 9;
constexpr int ImageFile = 10;

// FileSide: which list an operation works on.
constexpr int LocalSide = 0;
constexpr int RemoteSide = 1;

struct TFileEntry {
    std::string Name;     // the find record's name, exact bytes, no folder part
    std::string DateText; // FileTimeText of the last-write time (19 bytes)
    uint64_t Size = 0;    // the reported size, whole
    bool IsFolder = false;

    int ImageIndex() const { return IsFolder ? ImageFolder : ImageFile; }
    // The text of the size column: the size in decimal, "0" for a folder.
    std::string SizeText() const;
};

// "%04d/%02d/%02d %02d:%02d.%02d" of a time in 100-ns ticks since 1601-01-01
// UTC, converted in UTC with the proleptic Gregorian calendar; fractions of a
// second are dropped. The fixed-width fields make the texts sort
// chronologically. Times after 9999-12-31 23:59:59 show that last second so the
// text keeps its width.
std::string FileTimeText(uint64_t ticks);

// Name, date text, size and folder flag of a find record.
TFileEntry MakeFileEntry(const platform::FindRecord &record);

enum class RowDecision {
    Skip,   // "." or ".." folder: never a row, nothing reported
    Unsafe, // remote name that must not be used (see IsSafeRemoteName): skip and report
    Folder, // add a row with ImageFolder and size "0", count a folder
    File,   // add a row with ImageFile and the size, count a file
};

// What AddFileEntry does with a record on a side (LocalSide or RemoteSide).
// Every entry but the "." and ".." folders and the program's temporaries (see
// platform::transferTempPath, createDownloadTemporary) is listed on both
// sides, empty files and folders without a reported size included; a remote
// name that is not safe is refused.
RowDecision DecideFileRow(const platform::FindRecord &record, int side);
// A name of the program's own temporary files.
bool IsProgramTemporary(std::string_view name);

// "ﾌｧｲﾙ数=%d", followed by " (Dir=%d)" only when there is at least one folder.
std::string FileCountText(int files, int folders);

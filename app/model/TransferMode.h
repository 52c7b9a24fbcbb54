// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string_view>

// The transfer type a file goes with, from the item index of the Mode radio
// group: 0 "ASCII", 1 "BINARY", 2 "AUTO".

constexpr int ModeAscii = 0;
constexpr int ModeBinary = 1;
constexpr int ModeAuto = 2;

// Results of ChooseTransferMode.
constexpr int TransferAscii = 0;
constexpr int TransferBinary = 1;

// Extensions AUTO sends as ASCII, compared in this order.
constexpr std::array<std::string_view, 4> AutoAsciiExtensions = {".html", ".htm", ".cgi", ".php"};

// ASCII mode: TransferAscii; BINARY: TransferBinary; AUTO: TransferAscii when the
// path's extension (PathExtension, ASCII letters lower-cased) equals a table
// entry, else TransferBinary; any other index, no selection (-1) included:
// TransferAscii. So Index.HTML and a.Php go as ASCII, a.shtml, a.txt and README
// as binary.
int ChooseTransferMode(int modeIndex, std::string_view localPath);

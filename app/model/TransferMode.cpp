// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/TransferMode.h"

#include "app/model/PathRules.h"

#include <algorithm>

int ChooseTransferMode(int modeIndex, std::string_view localPath)
{
    switch (modeIndex) {
    case ModeAscii:
        return TransferAscii;
    case ModeBinary:
        return TransferBinary;
    case ModeAuto: {
        const std::string extension = AsciiLower(PathExtension(localPath));
        const bool text = std::find(AutoAsciiExtensions.begin(), AutoAsciiExtensions.end(), extension)
                          != AutoAsciiExtensions.end();
        return text ? TransferAscii : TransferBinary;
    }
    default:
        return TransferAscii;
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr uint32_t AttrDirectory = 0x10;
constexpr uint32_t AttrNormal = 0x80;

// One entry of a local or remote find: attributes (0x10 = folder), last-write
// time in 100-ns ticks since 1601-01-01 UTC, 64-bit size and the name's exact
// bytes.
struct FindRecord {
    uint32_t attributes = 0;
    uint64_t lastWriteTime = 0;
    uint64_t size = 0;
    std::string name;
    // A local file reached through a symbolic link, or one with more than one
    // hard link: it can change without its folder seeing any write.
    bool linked = false;
    // A server entry that is a symbolic link: its target may be a folder or a
    // file, which the listing does not tell.
    bool symlink = false;

    bool isDirectory() const { return (attributes & AttrDirectory) != 0; }
};

// Conversion between Unix seconds and the 100-ns ticks since 1601.
constexpr uint64_t UnixEpochTicks = 116444736000000000ull;
inline uint64_t ticksFromUnix(int64_t seconds, uint32_t nanoseconds = 0)
{
    return static_cast<uint64_t>(seconds * 10000000ll + nanoseconds / 100) + UnixEpochTicks;
}

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness of the directory listing parser (bench/fuzz.sh builds and runs it).
//
// Input: byte 0 chooses the format (bit 0: MLSD, else LIST) and byte 1 the size of
// the pieces the rest is fed in (1 to 256). Besides not crashing, the parser must
// give the same entries whatever the pieces: a listing arrives in arbitrary reads.
#include "platform/FtpListParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Entry {
    uint32_t attributes;
    uint64_t lastWriteTime;
    uint64_t size;
    std::string name;
    bool operator==(const Entry &) const = default;
};

std::vector<Entry> parse(platform::FtpListParser::Format format, const uint8_t *data, size_t size,
                         size_t piece)
{
    std::vector<Entry> entries;
    platform::FtpListParser parser(format, 1700000000, [&](platform::FindRecord &&r) {
        entries.push_back({r.attributes, r.lastWriteTime, r.size, std::move(r.name)});
    });
    for (size_t at = 0; at < size; at += piece)
        parser.feed(reinterpret_cast<const char *>(data) + at, std::min(piece, size - at));
    parser.finish();
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const auto format =
        (data[0] & 1) ? platform::FtpListParser::Format::Mlsd : platform::FtpListParser::Format::List;
    const size_t piece = static_cast<size_t>(data[1]) + 1;
    data += 2;
    size -= 2;
    if (parse(format, data, size, size ? size : 1) != parse(format, data, size, piece))
        std::abort();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// One INI file read and written a key at a time with the usual profile rules:
// section and key names compare case-insensitively (ASCII), values are read
// trimmed of surrounding blanks (and of one pair of matching surrounding
// quotes), a missing file, section or key gives the default. Each call opens
// the file afresh; nothing is cached.
//
// A write keeps everything else in the file (other sections and keys, comment
// lines, order, line endings): it rewrites the key's line in place as
// "key=value" with the caller's spelling of the key, appends a new key at the
// end of its section and a new section at the end of the file, and replaces
// the file atomically (temporary file in the same folder, then rename). A
// failed write returns false, sets the last error and leaves the old file as
// it was.
class IniProfile {
public:
    explicit IniProfile(std::string path);

    const std::string &path() const { return m_path; }

    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    // Leading blanks, an optional sign and the leading digits ("12abc" reads
    // 12); a value without a leading number, or a missing one, gives `def`.
    int readInt(std::string_view section, std::string_view key, int def) const;

    // Section and key must be non-empty and free of line breaks, '[' and ']'
    // in the section, '=' in the key; the value must be free of line breaks.
    // Otherwise the write is refused with 87.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInt(std::string_view section, std::string_view key, int value);

    // Between beginUpdate() and commit() the writes collect in memory and commit()
    // replaces the file once with all of them: a crash leaves the old file or the
    // new one, never a mix. Reads meanwhile see the file as it is on disk. When
    // the file could not be read, the writes and commit() fail and it stays as it is.
    void beginUpdate();
    bool commit();

private:
    bool readForWrite(std::string &text) const;
    static std::string withValue(const std::string &text, std::string_view section, std::string_view key,
                                 std::string_view value);

    std::string m_path;
    bool m_updating = false;
    uint32_t m_updateError = 0;
    std::string m_pending;
};

} // namespace platform

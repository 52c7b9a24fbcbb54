// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The saved FTP accounts: the 401-byte host record (the same bytes in memory and
// in the host list file), the fixed table of 30 of them, and the file that holds
// the in-use ones. No widgets here; the main window wraps these as
// LoadHostList / SaveHostList / StoreCurrentHost.

constexpr int MaxHosts = 30;
constexpr size_t HostRecordSize = 401;
constexpr size_t HostFieldSize = 80;
// A text field keeps at most this many bytes plus its terminating zero.
constexpr size_t HostTextLimit = 79;

// Field offsets inside a record.
constexpr size_t HostInUseOffset = 0;
constexpr size_t HostNameOffset = 1;
constexpr size_t HostUserOffset = 81;
constexpr size_t HostPasswordOffset = 161;
constexpr size_t HostLocalDirOffset = 241;
constexpr size_t HostRemoteDirOffset = 321;

// One account. The record holds its raw bytes: a free entry keeps what it last
// held (matching still looks at it) until it is overwritten.
struct HostRecord {
    std::array<char, HostRecordSize> Bytes{};

    // In use only when the in-use byte is exactly 1.
    bool InUse() const;
    void SetInUse(bool inUse);

    // Text fields read up to the first zero byte, at most 80 bytes.
    std::string HostName() const;
    std::string UserName() const;
    std::string LocalDir() const;
    std::string RemoteDir() const;

    // Stores a text cut to at most 79 bytes (at its first zero byte, and never
    // inside a UTF-8 multibyte character); the rest of the field is zeroed.
    void SetHostName(std::string_view text);
    void SetUserName(std::string_view text);
    void SetLocalDir(std::string_view text);
    void SetRemoteDir(std::string_view text);

    // Stores every byte of a CryptPassword result (zero bytes included), at
    // most 80; the rest of the field is zeroed. An empty cipher zeroes the field.
    void SetPasswordCipher(std::string_view cipher);
    // The stored cipher in the form PasswordCipher keeps: empty when the field
    // is all zero (no password stored), otherwise the whole 80-byte field.
    // Decrypting the whole field and cutting at the first zero gives the
    // password back even when one of its cipher bytes is zero, and reads
    // fields written with only the bytes up to the first zero unchanged.
    std::string PasswordCipher() const;

    // An account whose password lives in the desktop's secret store keeps a
    // marker in its password field instead of a cipher: the cipher of a zero
    // byte followed by a tag, which decrypts to an empty password (so programs
    // that know no marker read it as no password). No stored password begins
    // with a zero byte, so no cipher is ever taken for the marker.
    void SetPasswordMarker();
    bool HoldsPasswordMarker() const;
    // A password kept in the field itself (a cipher, not the marker).
    bool HoldsPasswordCipher() const;

    bool operator==(const HostRecord &) const = default;
};

// The password held by a stored cipher (HostRecord::PasswordCipher or a
// CryptPassword result): decrypted with CryptPassword and cut at the first zero
// byte, at most 80 bytes. An empty cipher makes CryptPassword show its
// empty-input message and gives an empty password.
std::string PasswordFromCipher(const std::string &cipher);

// The main window's table of MaxHosts accounts, all zero when created.
struct HostList {
    std::array<HostRecord, MaxHosts> Entries{};

    HostRecord &operator[](int index) { return Entries[static_cast<size_t>(index)]; }
    const HostRecord &operator[](int index) const { return Entries[static_cast<size_t>(index)]; }

    // Clears every in-use byte; the other bytes stay.
    void MarkAllFree();
    // Index of the first entry, free ones included, whose host name and user
    // name equal the given texts byte for byte; -1 when none does.
    int FindAccount(std::string_view host, std::string_view user) const;
    // Index of the first free entry; -1 when all are in use.
    int FirstFree() const;
    int CountInUse() const;
};

// Reads the host list file into `list`: marks every entry free, then fills
// entries 0, 1, ... with the file's whole 401-byte records (at most 30; a
// trailing partial record is ignored and its entry stays free). A missing file
// returns false without a message; a file that cannot be opened or read returns
// false with every entry free and, unless quiet, shows its full path followed by
// "\nを開けませんでした。". `unreadable`, when given, tells whether the file
// exists but could not be read (a missing file is not unreadable).
bool LoadHostListFile(HostList &list, const std::string &path, bool quiet, bool *unreadable = nullptr);

enum class HostSaveResult { Saved, NothingInUse, Failed };

// Writes the in-use entries in index order, 401 bytes each, replacing the file
// atomically with owner-only permissions (0600). With no entry in use the file
// is neither created nor changed, unless `allowEmpty` is set (the last account
// was deleted): then the file is written empty. A failure
// shows the full path followed by "\nを開けませんでした。" and leaves the old
// file intact.
HostSaveResult SaveHostListFile(const HostList &list, const std::string &path, bool allowEmpty = false);

// True when the host text is not empty after trimming blanks: only then is the
// current account stored.
bool HostNameGiven(std::string_view host);

enum class StoreResult { Stored, ListFull, NoHost };

// Adds or updates the account: the first entry matching host and user (free
// ones included) is reused, else the first free entry gets the host and user
// names. The password cipher and the two folders are written and the entry is
// marked in use. When no entry matches and all 30 are in use nothing changes and
// ListFull is returned; the caller then shows HostListFullMessage(). A blank host
// (see HostNameGiven) changes nothing and returns NoHost.
StoreResult StoreAccount(HostList &list, std::string_view host, std::string_view user,
                         std::string_view passwordCipher, std::string_view localDir,
                         std::string_view remoteDir);

// "登録できるホストは %d 個までです。\n不要なホストを削除して下さい。"
extern const char HostListFullFormat[];
// The format above with MaxHosts filled in.
std::string HostListFullMessage();

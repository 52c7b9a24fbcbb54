// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/HostRecord.h"

#include "app/model/Ecypt.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"

#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/Text.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

const char HostListFullFormat[] =
    QT_TRANSLATE_NOOP("Model", "登録できるホストは %1 個までです。\n不要なホストを削除して下さい。");

namespace {

std::string readField(const HostRecord &record, size_t offset)
{
    const char *begin = record.Bytes.data() + offset;
    const char *end = std::find(begin, begin + HostFieldSize, '\0');
    return std::string(begin, end);
}

bool isUtf8Continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

size_t utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// How many bytes of `text` a text field keeps: up to the first zero byte, at
// most 79, backing off so that a UTF-8 character is never split. Bytes that are
// not valid UTF-8 are cut where the limit falls.
size_t storedLength(std::string_view text)
{
    const size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    if (text.size() <= HostTextLimit || !isUtf8Continuation(static_cast<unsigned char>(text[HostTextLimit])))
        return std::min(text.size(), HostTextLimit);
    // The first byte left out continues a character: find that character's lead
    // byte and cut before it when the character runs past the limit.
    for (size_t j = HostTextLimit; j-- > HostTextLimit - 3;) {
        const auto c = static_cast<unsigned char>(text[j]);
        if (isUtf8Continuation(c))
            continue;
        if (c >= 0xC0 && j + utf8SequenceLength(c) > HostTextLimit)
            return j;
        break;
    }
    return HostTextLimit;
}

void writeText(HostRecord &record, size_t offset, std::string_view text)
{
    char *field = record.Bytes.data() + offset;
    std::memset(field, 0, HostFieldSize);
    const size_t n = storedLength(text);
    std::memcpy(field, text.data(), n);
}

std::string fullPathOf(const std::string &path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::string cwd;
    if (!platform::currentDirectory(cwd))
        return path;
    return cwd == "/" ? cwd + path : cwd + "/" + path;
}

void showCannotOpen(const std::string &path)
{
    ui::dialogs().message(ui::fillQ(ui::translate("Model", "%1\nを開けませんでした。"), {fullPathOf(path)}));
}

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

} // namespace

bool HostRecord::InUse() const
{
    return Bytes[HostInUseOffset] == 1;
}

void HostRecord::SetInUse(bool inUse)
{
    Bytes[HostInUseOffset] = inUse ? 1 : 0;
}

std::string HostRecord::HostName() const
{
    return readField(*this, HostNameOffset);
}
std::string HostRecord::UserName() const
{
    return readField(*this, HostUserOffset);
}
std::string HostRecord::LocalDir() const
{
    return readField(*this, HostLocalDirOffset);
}
std::string HostRecord::RemoteDir() const
{
    return readField(*this, HostRemoteDirOffset);
}

void HostRecord::SetHostName(std::string_view text)
{
    writeText(*this, HostNameOffset, text);
}
void HostRecord::SetUserName(std::string_view text)
{
    writeText(*this, HostUserOffset, text);
}
void HostRecord::SetLocalDir(std::string_view text)
{
    writeText(*this, HostLocalDirOffset, text);
}
void HostRecord::SetRemoteDir(std::string_view text)
{
    writeText(*this, HostRemoteDirOffset, text);
}

void HostRecord::SetPasswordCipher(std::string_view cipher)
{
    char *field = Bytes.data() + HostPasswordOffset;
    std::memset(field, 0, HostFieldSize);
    if (!cipher.empty())
        std::memcpy(field, cipher.data(), std::min(cipher.size(), HostFieldSize));
}

std::string HostRecord::PasswordCipher() const
{
    const char *field = Bytes.data() + HostPasswordOffset;
    if (std::all_of(field, field + HostFieldSize, [](char c) { return c == '\0'; }))
        return {};
    return std::string(field, HostFieldSize);
}

namespace {

std::string passwordMarker()
{
    int status = 0;
    static const std::string marker =
        CryptPassword(std::string("\0kept in the desktop's secret store", 35), status, CipherEncrypt);
    return marker;
}

} // namespace

void HostRecord::SetPasswordMarker()
{
    SetPasswordCipher(passwordMarker());
}

bool HostRecord::HoldsPasswordMarker() const
{
    const std::string marker = passwordMarker();
    return std::memcmp(Bytes.data() + HostPasswordOffset, marker.data(),
                       std::min(marker.size(), HostFieldSize))
           == 0;
}

bool HostRecord::HoldsPasswordCipher() const
{
    return !PasswordCipher().empty() && !HoldsPasswordMarker();
}

std::string PasswordFromCipher(const std::string &cipher)
{
    int status = 0;
    std::string plain = CryptPassword(cipher, status, CipherDecrypt);
    const size_t zero = plain.find('\0');
    plain.resize(std::min({zero, plain.size(), HostFieldSize}));
    return plain;
}

void HostList::MarkAllFree()
{
    for (HostRecord &record : Entries)
        record.SetInUse(false);
}

int HostList::FindAccount(std::string_view host, std::string_view user) const
{
    for (int i = 0; i < MaxHosts; ++i) {
        const HostRecord &record = (*this)[i];
        if (record.HostName() == host && record.UserName() == user)
            return i;
    }
    return -1;
}

int HostList::FirstFree() const
{
    for (int i = 0; i < MaxHosts; ++i) {
        if (!(*this)[i].InUse())
            return i;
    }
    return -1;
}

int HostList::CountInUse() const
{
    return static_cast<int>(
        std::count_if(Entries.begin(), Entries.end(), [](const HostRecord &r) { return r.InUse(); }));
}

bool LoadHostListFile(HostList &list, const std::string &path, bool quiet, bool *unreadable)
{
    list.MarkAllFree();
    if (unreadable)
        *unreadable = false;
    const int fd = platform::openRegularFile(path);
    if (fd < 0) {
        const bool missing = platform::lastError() == platform::err::FileNotFound;
        if (unreadable)
            *unreadable = !missing;
        if (!missing && !quiet)
            showCannotOpen(path);
        return false;
    }

    // Only the first 30 records matter; the rest of a longer file is never read.
    std::string data(HostRecordSize * MaxHosts, '\0');
    size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            platform::setLastErrorFromErrno(errno);
            ::close(fd);
            if (unreadable)
                *unreadable = true;
            if (!quiet)
                showCannotOpen(path);
            return false;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);

    const size_t records = got / HostRecordSize;
    for (size_t i = 0; i < records; ++i)
        std::memcpy(list.Entries[i].Bytes.data(), data.data() + i * HostRecordSize, HostRecordSize);
    return true;
}

HostSaveResult SaveHostListFile(const HostList &list, const std::string &path, bool allowEmpty)
{
    std::string data;
    for (const HostRecord &record : list.Entries) {
        if (record.InUse())
            data.append(record.Bytes.data(), HostRecordSize);
    }
    if (data.empty() && !allowEmpty)
        return HostSaveResult::NothingInUse;
    if (!platform::writeFileAtomic(path, data, 0600)) {
        showCannotOpen(path);
        return HostSaveResult::Failed;
    }
    return HostSaveResult::Saved;
}

bool HostNameGiven(std::string_view host)
{
    return !std::all_of(host.begin(), host.end(), isBlank);
}

StoreResult StoreAccount(HostList &list, std::string_view host, std::string_view user,
                         std::string_view passwordCipher, std::string_view localDir,
                         std::string_view remoteDir)
{
    if (!HostNameGiven(host))
        return StoreResult::NoHost;
    int index = list.FindAccount(host, user);
    if (index < 0) {
        index = list.FirstFree();
        if (index < 0)
            return StoreResult::ListFull;
        list[index].SetHostName(host);
        list[index].SetUserName(user);
    }
    HostRecord &record = list[index];
    record.SetPasswordCipher(passwordCipher);
    record.SetLocalDir(localDir);
    record.SetRemoteDir(remoteDir);
    record.SetInUse(true);
    return StoreResult::Stored;
}

std::string HostListFullMessage()
{
    return ui::fromQ(ui::translate("Model", HostListFullFormat).arg(MaxHosts));
}

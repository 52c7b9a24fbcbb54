// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session/SafeTransfer.h"

#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "ui/Language.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace err = platform::err;

namespace {

// Keeps a failure's code and reply text across the clean-up calls after it.
class KeptError {
public:
    KeptError() : m_code(platform::lastError()), m_response(platform::lastResponseText()) {}
    bool restore() const
    {
        platform::setLastResponseText(m_response);
        platform::setLastError(m_code);
        return false;
    }
    uint32_t code() const { return m_code; }
    bool connectionLoss() const { return platform::isConnectionLoss(m_code, m_response); }

private:
    uint32_t m_code;
    std::string m_response;
};

// A refusal on a connection that is still there (not a lost connection).
bool refusedByServer(const platform::RemoteSession &client)
{
    return platform::lastError() == err::InternetExtendedError && client.isOpen()
           && !platform::isConnectionLoss(platform::lastError(), platform::lastResponseText());
}

bool succeed()
{
    platform::setLastError(err::Success);
    return true;
}

std::pair<uint64_t, uint64_t> identityOf(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {0, 0};
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// A partial file whose download is whole by another way: removed unless a
// download holds it.
void removePartial(const std::string &partial)
{
    const int fd = ::open(partial.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(partial.c_str());
    ::close(fd);
}

} // namespace

SafeTransfer::SafeTransfer(Notice notice) : m_notice(std::move(notice)) {}

void SafeTransfer::setSettings(const Settings &settings)
{
    const std::lock_guard lock(m_mutex);
    m_settings = settings;
}

SafeTransfer::Settings SafeTransfer::settings() const
{
    const std::lock_guard lock(m_mutex);
    return m_settings;
}

void SafeTransfer::newSession(const std::string &key)
{
    const std::lock_guard lock(m_mutex);
    m_session = key;
    m_fallbacks.clear();
}

bool SafeTransfer::has(Fallback fallback) const
{
    const std::lock_guard lock(m_mutex);
    return m_fallbacks.count(fallback) != 0;
}

void SafeTransfer::giveUp(Fallback fallback)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_fallbacks.insert(fallback).second)
            return;
    }
    static const char *const texts[] = {
        QT_TRANSLATE_NOOP("Ftp", "ｻｰﾊﾞｰがRESTを受け付けないため、途中からの再開をやめました"),
        QT_TRANSLATE_NOOP("Ftp", "ｻｰﾊﾞｰがMFMTを受け付けないため、ｻｰﾊﾞｰのﾌｧｲﾙ時刻を合わせません"),
        QT_TRANSLATE_NOOP("Ftp", "ｻｰﾊﾞｰがMDTMを受け付けないため、ﾌｧｲﾙ時刻を合わせません"),
        QT_TRANSLATE_NOOP("Ftp", "ｻｰﾊﾞｰが上書きﾘﾈｰﾑを受け付けないため、古いﾌｧｲﾙを削除してからﾘﾈｰﾑします"),
        QT_TRANSLATE_NOOP("Ftp", "ｻｰﾊﾞｰに一時ﾌｧｲﾙを作れないため、直接ｱｯﾌﾟﾛｰﾄﾞします"),
    };
    if (m_notice)
        m_notice(ui::translated("Ftp", texts[fallback]));
}

std::string SafeTransfer::markKey(const std::string &a, const std::string &b) const
{
    const std::lock_guard lock(m_mutex);
    return m_session + '\n' + a + '\n' + b;
}

bool SafeTransfer::put(platform::RemoteSession &client, const std::string &localPath,
                       const std::string &remoteName, platform::TransferType type, uint32_t context)
{
    const platform::RemoteSession::Operation operation(client, context);
    struct stat st {};
    if (::stat(localPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return client.putFile(localPath, remoteName, type, context); // its own error
    const int64_t size = static_cast<int64_t>(st.st_size);
    const int64_t mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const Settings s = settings();
    const std::string temp = platform::transferTempPath(remoteName);
    if (s.tempUploadMin >= 0 && size >= s.tempUploadMin && !temp.empty() && !has(NoTemporary))
        return putThroughTemp(client, localPath, remoteName, temp, type, context, size, mtimeNs);
    if (!client.putFile(localPath, remoteName, type, context))
        return false;
    keepServerTime(client, remoteName, mtimeNs);
    return succeed();
}

bool SafeTransfer::putThroughTemp(platform::RemoteSession &client, const std::string &localPath,
                                  const std::string &remoteName, const std::string &temp,
                                  platform::TransferType type, uint32_t context, int64_t size,
                                  int64_t mtimeNs)
{
    const bool binary = type == platform::TransferType::Binary;
    const std::string key = markKey(remoteName, localPath);
    bool known = false;
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_uploads.find(key);
        known = it != m_uploads.end() && it->second.size == size && it->second.mtimeNs == mtimeNs;
        m_uploads[key] = {size, mtimeNs};
    }
    const auto forget = [&] {
        const std::lock_guard lock(m_mutex);
        m_uploads.erase(key);
    };

    // A temporary our cut upload of this very file left: continue it.
    uint64_t offset = 0;
    if (known && binary && client.offersRestStream() && !has(NoRest)) {
        uint64_t have = 0;
        if (client.fileSize(temp, have))
            offset = have <= static_cast<uint64_t>(size) ? have : 0;
        else if (!client.isOpen())
            return false;
    }
    platform::PutOptions options;
    options.offset = offset;
    options.cancellable = true;
    bool sent = client.putFile(localPath, temp, type, context, options);
    if (!sent && offset > 0 && refusedByServer(client)) {
        // The server would not continue: send the whole file, and say why once.
        options.offset = 0;
        sent = client.putFile(localPath, temp, type, context, options);
        if (sent)
            giveUp(NoRest);
    }
    if (!sent) {
        const KeptError failure;
        if (failure.code() == err::OperationCancelled) {
            forget();
            if (client.isOpen())
                client.deleteFile(temp);
            return failure.restore();
        }
        if (failure.connectionLoss())
            return failure.restore(); // the next upload of the file continues it
        forget();
        if (failure.code() == err::InternetExtendedError && client.isOpen() && options.offset == 0) {
            // The temporary cannot be made: the file goes up directly.
            if (!client.putFile(localPath, remoteName, type, context))
                return false;
            giveUp(NoTemporary);
            keepServerTime(client, remoteName, mtimeNs);
            return succeed();
        }
        return failure.restore();
    }

    // Renamed only when the server holds every byte that was sent.
    const uint64_t sentBytes = client.transferredBytes();
    if (binary && client.offersSize()) {
        uint64_t held = 0;
        if (!client.fileSize(temp, held)) {
            if (!client.isOpen())
                return false;
        } else if (held != sentBytes) {
            forget();
            client.deleteFile(temp);
            platform::setLastResponseText(
                ui::fill(ui::translate("Ftp", "ｻｰﾊﾞｰのｻｲｽﾞが送信ﾊﾞｲﾄ数と一致しません (%1 / %2)"),
                         {std::to_string(held), std::to_string(sentBytes)}));
            platform::setLastError(err::InternetExtendedError);
            return false;
        }
    }
    if (!renameOver(client, temp, remoteName)) {
        const KeptError failure;
        if (!failure.connectionLoss())
            forget();
        return failure.restore();
    }
    forget();
    keepServerTime(client, remoteName, mtimeNs);
    return succeed();
}

bool SafeTransfer::renameOver(platform::RemoteSession &client, const std::string &temp,
                              const std::string &remoteName)
{
    if (!has(NoRenameOver)) {
        if (client.replaceFile(temp, remoteName))
            return true;
        if (!refusedByServer(client))
            return false;
    }
    // The server does not replace files by a rename: the old file goes first.
    // The new one is whole on the server at this point.
    const KeptError refusal;
    client.deleteFile(remoteName);
    if (!client.isOpen())
        return false;
    if (!client.renameFile(temp, remoteName))
        return has(NoRenameOver) ? false : refusal.restore();
    giveUp(NoRenameOver);
    return true;
}

void SafeTransfer::keepServerTime(platform::RemoteSession &client, const std::string &remoteName,
                                  int64_t mtimeNs)
{
    if (!settings().keepTimes || !client.offersMfmt() || has(NoMfmt))
        return;
    if (!client.setFileTime(remoteName, mtimeNs / 1000000000) && refusedByServer(client))
        giveUp(NoMfmt);
}

void SafeTransfer::keepLocalTime(platform::RemoteSession &client, const std::string &remoteName,
                                 const std::string &localPath)
{
    if (!settings().keepTimes || !client.offersMdtm() || has(NoMdtm))
        return;
    int64_t when = 0;
    if (client.fileTime(remoteName, when))
        platform::setLocalFileTime(localPath, when);
    else if (refusedByServer(client))
        giveUp(NoMdtm);
}

void SafeTransfer::sweepPartials(const std::string &localPath)
{
    const size_t slash = localPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : localPath.substr(0, slash);
    // A folder is known by its device, inode and birth time: a folder made
    // again where one was removed often gets the old inode back.
    struct statx sx {};
    if (::statx(AT_FDCWD, folder.c_str(), 0, STATX_INO | STATX_BTIME, &sx) != 0)
        return;
    const bool born = (sx.stx_mask & STATX_BTIME) != 0;
    const FolderIdentity identity{(uint64_t{sx.stx_dev_major} << 32) | sx.stx_dev_minor, sx.stx_ino,
                                  born ? sx.stx_btime.tv_sec : 0, born ? sx.stx_btime.tv_nsec : 0u};
    std::set<std::pair<uint64_t, uint64_t>> continued;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_sweptFolders.insert(identity).second)
            return;
        for (const auto &[key, mark] : m_downloads)
            continued.insert(identityOf(mark.partial));
    }
    platform::removeTransferTemporaries(
        folder, [&](const std::string &path) { return continued.count(identityOf(path)) != 0; });
}

bool SafeTransfer::get(platform::RemoteSession &client, const std::string &remoteName,
                       const std::string &localPath, platform::TransferType type, uint32_t context,
                       int64_t listedSize)
{
    const platform::RemoteSession::Operation operation(client, context);
    const std::string partial = platform::transferTempPath(localPath);
    sweepPartials(localPath);
    const bool resumable = type == platform::TransferType::Binary && !partial.empty()
                           && client.offersRestStream() && client.offersSize() && !has(NoRest);
    uint64_t remoteSize = 0;
    if (!resumable || !client.fileSize(remoteName, remoteSize)) {
        // The size question found the connection gone (its error is the
        // question's); without one, the download itself finds and tells it.
        if (resumable && !client.isOpen())
            return false;
        // No size to check a continued file against: a fresh temporary.
        platform::GetOptions fresh;
        fresh.expectedSize = listedSize;
        if (!client.getFile(remoteName, localPath, type, context, fresh))
            return false;
        // The file is whole: a partial a cut download of it left has no use.
        if (!partial.empty()) {
            {
                const std::lock_guard lock(m_mutex);
                for (auto it = m_downloads.begin(); it != m_downloads.end();)
                    it = it->second.partial == partial ? m_downloads.erase(it) : std::next(it);
            }
            removePartial(partial);
        }
        keepLocalTime(client, remoteName, localPath);
        return succeed();
    }

    const std::string key = markKey(remoteName, partial);
    uint64_t offset = 0;
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_downloads.find(key);
        struct stat st {};
        if (it != m_downloads.end() && it->second.size == remoteSize && ::lstat(partial.c_str(), &st) == 0
            && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= remoteSize)
            offset = static_cast<uint64_t>(st.st_size);
        m_downloads[key] = {remoteSize, partial};
    }
    const auto forget = [&] {
        const std::lock_guard lock(m_mutex);
        m_downloads.erase(key);
    };
    platform::GetOptions options;
    options.partialPath = partial;
    options.offset = offset;
    options.expectedSize = static_cast<int64_t>(remoteSize);
    bool received = client.getFile(remoteName, localPath, type, context, options);
    if (!received && offset > 0 && client.isOpen()
        && (refusedByServer(client) || platform::lastError() == err::TransferIncomplete)) {
        // Refused REST, or the server's file no longer what its SIZE said:
        // once more from the start.
        const bool restRefused = client.transferredBytes() == 0;
        options.offset = 0;
        received = client.getFile(remoteName, localPath, type, context, options);
        if (received && restRefused)
            giveUp(NoRest);
    }
    if (!received) {
        const KeptError failure;
        if (!failure.connectionLoss())
            forget();
        return failure.restore();
    }
    forget();
    keepLocalTime(client, remoteName, localPath);
    return succeed();
}

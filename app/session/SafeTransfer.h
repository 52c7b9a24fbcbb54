// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RemoteSession.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <tuple>
#include <utility>

// How files reach a live site safely, over any client of the session:
//
// - An upload of at least `tempUploadMin` bytes goes to the temporary
//   ".NAME.vexmora-part" beside its target and is renamed over the target only
//   once the server holds every byte (SIZE of the temporary equals the bytes
//   sent, for binary transfers): a visitor sees the old file or the new one.
//   The rename replaces the target in one step where the server can
//   (RemoteSession::replaceFile: RNFR/RNTO over FTP, OpenSSH's posix-rename
//   over SFTP). Where the server refuses to rename over an existing file, the
//   old file is deleted just before the rename (the new one is then whole on
//   the server);
//   where it refuses the temporary, the file goes up directly. Smaller files go
//   up directly, as before.
// - A binary upload or download cut by a lost connection continues at the
//   next transfer of the same file from the bytes already moved (REST), when
//   the local file (upload) or the server's file (download) is unchanged.
// - With `keepTimes`, an uploaded file gets the local file's modification
//   time on the server (MFMT) and a downloaded file the server's (MDTM).
// - A feature the server refuses (REST, MFMT, MDTM, the rename over a file,
//   the temporary) is given up for the rest of the session, and said once.
//
// Threads: put() and get() may run at the same time on different clients
// (the connections of one run); each client is used by one thread at a time.
class SafeTransfer {
public:
    struct Settings {
        // Uploads of at least this many bytes go through a temporary; 0 =
        // every file, negative = none.
        int64_t tempUploadMin = 102400;
        bool keepTimes = true;
    };
    // Shows a one-line status text; called on the thread of the transfer.
    using Notice = std::function<void(const std::string &text)>;

    explicit SafeTransfer(Notice notice);

    void setSettings(const Settings &settings);
    Settings settings() const;
    // A new session (server and account in `key`): the features given up and
    // the fallbacks of the previous one are forgotten. Transfers to continue
    // are kept, per session key.
    void newSession(const std::string &key);

    // Like RemoteSession::putFile and getFile, with the rules above. The cancel
    // flag of the client stops an upload through a temporary at once (its
    // temporary removed, the old file untouched).
    bool put(platform::RemoteSession &client, const std::string &localPath, const std::string &remoteName,
             platform::TransferType type, uint32_t context);
    // listedSize: the size the remote list gave, -1 when unknown (see
    // RemoteSession::getFile).
    bool get(platform::RemoteSession &client, const std::string &remoteName, const std::string &localPath,
             platform::TransferType type, uint32_t context, int64_t listedSize = -1);

private:
    enum Fallback { NoRest, NoMfmt, NoMdtm, NoRenameOver, NoTemporary };
    struct UploadMark {
        int64_t size;
        int64_t mtimeNs;
    };
    struct DownloadMark {
        uint64_t size;       // the server's size when the download began
        std::string partial; // the local partial file
    };

    bool has(Fallback fallback) const;
    void giveUp(Fallback fallback);
    bool putThroughTemp(platform::RemoteSession &client, const std::string &localPath,
                        const std::string &remoteName, const std::string &temp, platform::TransferType type,
                        uint32_t context, int64_t size, int64_t mtimeNs);
    bool renameOver(platform::RemoteSession &client, const std::string &temp, const std::string &remoteName);
    void keepServerTime(platform::RemoteSession &client, const std::string &remoteName, int64_t mtimeNs);
    void keepLocalTime(platform::RemoteSession &client, const std::string &remoteName,
                       const std::string &localPath);
    std::string markKey(const std::string &a, const std::string &b) const;
    // The first download into a folder removes the partial files there that
    // no download of this process can continue (left by an earlier run, or
    // by a download that has since ended).
    void sweepPartials(const std::string &localPath);

    Notice m_notice;
    mutable std::mutex m_mutex;
    Settings m_settings;
    std::string m_session;
    std::set<Fallback> m_fallbacks;
    // Uploads cut by a lost connection: the local file as it was when they
    // began, by session, remote name and local path.
    std::map<std::string, UploadMark> m_uploads;
    // Downloads into a partial file, by session, remote name and partial path.
    std::map<std::string, DownloadMark> m_downloads;
    // Folders (device, inode, birth time) whose partial files have been swept.
    using FolderIdentity = std::tuple<uint64_t, uint64_t, int64_t, uint32_t>;
    std::set<FolderIdentity> m_sweptFolders;
};

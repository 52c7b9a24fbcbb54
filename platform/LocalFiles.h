// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Local file operations. Each returns true on success; on failure it returns
// false and leaves the reason in the thread-local last error (platform/LastError.h).
// Paths are byte strings in the platform encoding, relative to the process's
// current directory unless absolute.
namespace platform {

// The folder part of a path, without a trailing '/' except for the root; "."
// for a bare name.
std::string folderOf(const std::string &path);

// Creates one folder. 183 when the name already exists.
bool makeDirectory(const std::string &path);
// Removes an empty folder. 145 when it is not empty.
bool removeDirectory(const std::string &path);
// Deletes a file (not a folder: 5).
bool deleteFile(const std::string &path);
// Copies a file's bytes, permission bits and last-write time over `to`. The copy
// is written to a temporary beside `to` and renamed over it, so a failed copy
// never leaves a half-written target.
bool copyFile(const std::string &from, const std::string &to);
// Renames a file or folder. Refuses (183) when `to` already exists, like the
// platform's move operation: a rename never silently destroys another file.
bool renameFile(const std::string &from, const std::string &to);

bool setCurrentDirectory(const std::string &path);
// The process's current directory, without a trailing '/' except for the root.
bool currentDirectory(std::string &path);

// True for an existing entry that is not a folder (symbolic links followed).
bool fileExists(const std::string &path);
// True for an existing folder (symbolic links followed).
bool directoryExists(const std::string &path);
// True when the entry itself is a symbolic link (whatever it points to, if anything).
bool isSymbolicLink(const std::string &path);

// The real file behind a path (symbolic links followed): two paths name the
// same folder exactly when their identities are equal.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    auto operator<=>(const FileIdentity &) const = default;
};
bool fileIdentity(const std::string &path, FileIdentity &identity);

// Opens a regular file for reading without ever blocking: a FIFO, a socket or a
// device is refused with err::NotRegularFile at once (opening a FIFO for reading
// would wait for a writer). Returns the descriptor, or -1 with the last error set.
int openRegularFile(const std::string &path);

// Reads a whole regular file into `data`.
bool readWholeFile(const std::string &path, std::string &data);

// Downloads arrive in a temporary beside their target, named ".vexmora-" followed
// by six random characters and a DEL byte (0x7F). That last byte is refused in
// every name a server lists, so no downloaded file, and no name a user would type,
// is ever taken for a temporary. Creates one in `folder`, locked (flock) for as
// long as the descriptor stays open; returns the descriptor (or -1 with the last
// error set) and its path in `path`.
int createDownloadTemporary(const std::string &folder, std::string &path);
bool isDownloadTemporaryName(std::string_view name);
// Removes the download temporaries in `folder` that no running download holds:
// own, unlocked regular files only.
void removeStaleDownloadTemporaries(const std::string &folder);

// The temporary a transfer that can be continued writes before the file
// appears under its own name, on the server (an upload through a temporary)
// and locally (a binary download): ".NAME.vexmora-part" in the same folder.
// The program owns these names: it hides them from the remote list and
// continues or replaces them at the next transfer of the same file. Returns
// the temporary's path for `path` ("dir/NAME" or "NAME"); empty when the name
// would grow past the longest a file system takes.
std::string transferTempPath(const std::string &path);
bool isTransferTempName(std::string_view name);
// Removes the transfer temporaries in `folder` that no transfer holds open
// (flock) and `keep` does not want, given each one's path: own regular files
// only, never through a link.
void removeTransferTemporaries(const std::string &folder,
                               const std::function<bool(const std::string &path)> &keep);

// The last-write time of a local file, in seconds since 1970 UTC.
bool localFileTime(const std::string &path, int64_t &unixSeconds);
bool setLocalFileTime(const std::string &path, int64_t unixSeconds);

// Replaces `path` atomically with `data`: writes a temporary file in the same
// folder, flushes it to disk and renames it over `path`; the temporary never
// survives a failure. The new file gets `mode` when it is not negative, else
// the mode of the file it replaces, else 0666 less the umask.
// Writes every byte, retrying interrupted writes; false with the last error set
// (errno left as the failing write set it) when the file system refuses.
bool writeAll(int fd, const char *data, size_t size);
bool writeFileAtomic(const std::string &path, std::string_view data, int mode = -1);
// Removes the temporaries of writeFileAtomic(path) ("NAME.~PID.N" beside it) whose
// writing process no longer runs: what a crash during a save left behind. Nothing
// else is touched (other names, folders, links, live processes' files).
void removeStaleTemporaries(const std::string &path);

} // namespace platform

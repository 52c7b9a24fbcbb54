// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FindRecord.h"
#include "platform/Tls.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class TransferType { Ascii = 1, Binary = 2 };

enum class FtpStatus {
    ConnectingToServer = 20,
    ConnectedToServer = 21,
    RequestSent = 31,
    ReceivingResponse = 40,
    ResponseReceived = 41,
    ConnectionClosed = 51
};

// context = the caller's operation code (300 connection, 100 upload, 200 download;
// 0 = none). text: the numeric address for ConnectingToServer/ConnectedToServer.
// bytes: bytes so far for RequestSent (upload) and ResponseReceived (download).
using FtpStatusCallback =
    std::function<void(uint32_t context, FtpStatus status, const std::string &text, uint64_t bytes)>;

// A transfer that continues a file already partly moved.
struct PutOptions {
    // > 0: the remote file is written from this byte on (REST offset, then STOR
    // over FTP); the local file is read from this byte.
    uint64_t offset = 0;
    // With offset: appended to the remote file instead (APPE over FTP).
    bool append = false;
    // The cancel flag stops this upload at once with 12017. Without it an
    // upload always finishes its file.
    bool cancellable = false;
};

struct GetOptions {
    // Non-empty: the file the download is written into instead of a fresh
    // temporary, renamed over the target when complete. It is kept when the
    // connection fails mid-way (so that a later download can continue it) and
    // removed on every other failure. Binary only.
    std::string partialPath;
    // > 0 with partialPath: the bytes of the partial file from this offset on
    // are fetched again; what lies beyond is dropped.
    uint64_t offset = 0;
    // The size a listing (or SIZE) gave, -1 when unknown: see getFile. A
    // continued download must end at exactly this size.
    int64_t expectedSize = -1;
};

// A failure that broke the connection or the transfer's data connection (a
// lost or reset connection, a timeout, a dropped session, a 426 reply), after
// which a transfer can be continued rather than started again.
bool isConnectionLoss(uint32_t code, const std::string &response);

// Asked when a server's certificate fails the check against the system's store
// and the host name; true trusts it for this connection.
using CertificateCheck = std::function<bool(const CertificateInfo &certificate)>;

// A server's SSH host key, shown to the user when it is not yet known or has
// changed. `site` is "host" (port 22) or "[host]:port"; `type` the key's
// algorithm ("ssh-ed25519"); fingerprints in the form "SHA256:…".
struct HostKeyInfo {
    std::string site;
    std::string type;
    std::string fingerprint;
    bool changed = false;
    std::string knownFingerprint; // the key on record, when it changed
};

// Asked about a host key on record nowhere: true trusts (and keeps) it. For a
// key that changed it is only told (the connection is refused whatever it answers).
using HostKeyCheck = std::function<bool(const HostKeyInfo &key)>;
// Asked for the passphrase of a key file; false when the user declines.
using PassphrasePrompt = std::function<bool(const std::string &keyFile, std::string &passphrase)>;

struct FtpOptions {
    int connectTimeoutMs = 15000;
    // One deadline for each reply, preliminary (1xx) replies included.
    int replyTimeoutMs = 30000;
    // The longest a transfer may go without a byte of data moving.
    int dataTimeoutMs = 30000;
    // A listing larger than either cap fails with err::ListingTooLarge.
    size_t maxListEntries = 1000000;
    uint64_t maxListBytes = 256ull * 1024 * 1024;
    // The newest TLS version offered: 0 = the newest OpenSSL knows, 0x0303 = TLS 1.2.
    int maxTlsVersion = 0;
    // The user's OpenSSH folder (known_hosts, id_ed25519, ...); empty: ~/.ssh.
    std::string sshDirectory{};
    // An idle SSH connection sends a keepalive this often (0 = never).
    int keepaliveSeconds = 30;
};

// One logged-in session with a file server, whatever its protocol, used
// synchronously by one thread at a time. The session layer and the connection
// pool use servers only through this interface; platform's clients implement it.
//
// Every call returns false on failure and leaves an error code in the thread's
// last error (platform/LastError.h) and, when the server refused, its reply text
// in the last response text. Names and paths are raw bytes, sent and returned
// unchanged. The status callback runs on the calling thread, inside the call
// that reports.
class RemoteSession {
public:
    virtual ~RemoteSession() = default;

    virtual void setStatusCallback(FtpStatusCallback cb) = 0;
    // A download under way stops soon after *flag becomes true: it fails with
    // 12017, the old local file intact. Any thread may set the flag.
    virtual void setCancelFlag(const std::atomic<bool> *flag) = 0;
    // Asked about a server certificate the system cannot vouch for (where the
    // protocol has certificates).
    virtual void setCertificateCheck(CertificateCheck check) = 0;
    // Where the protocol has host keys: the question about a key, the file the
    // trusted keys are kept in (beside the user's own known hosts), and the
    // passphrase question of key files.
    virtual void setHostKeyCheck(HostKeyCheck) {}
    virtual void setKnownHostsFile(const std::string &) {}
    virtual void setPassphrasePrompt(PassphrasePrompt) {}

    // While it lives, the replies the session waits for are reported under
    // `context`, as a transfer's are: a caller's steps around a transfer (its
    // size check, its rename) belong to that transfer's line.
    class Operation {
    public:
        Operation(RemoteSession &session, uint32_t context)
            : m_session(session), m_previous(session.exchangeOperationContext(context))
        {}
        ~Operation() { m_session.exchangeOperationContext(m_previous); }
        Operation(const Operation &) = delete;
        Operation &operator=(const Operation &) = delete;

    private:
        RemoteSession &m_session;
        uint32_t m_previous;
    };
    // Sets the context replies are reported under and returns the one before.
    virtual uint32_t exchangeOperationContext(uint32_t) { return 0; }

    // Connects to `server` (as the user typed it, scheme included) and logs in.
    // Connection-level notifications use `context`. Wrong password -> 12014;
    // other login refusal -> 12015; unresolvable -> 12007; refused/unreachable
    // -> 12029; timeout -> 12002.
    virtual bool connect(const std::string &server, const std::string &user, const std::string &password,
                         uint32_t context) = 0;
    virtual bool close() = 0;
    // False before connect, after close and once the connection was lost.
    virtual bool isOpen() const = 0;

    virtual bool setCurrentDirectory(const std::string &dir) = 0;
    virtual bool getCurrentDirectory(std::string &dir) = 0;
    virtual bool createDirectory(const std::string &dir) = 0;
    virtual bool removeDirectory(const std::string &dir) = 0;
    virtual bool deleteFile(const std::string &name) = 0;
    // Whether a rename replaces an existing `to` is the server's choice (FTP
    // servers mostly do, SFTP servers refuse).
    virtual bool renameFile(const std::string &from, const std::string &to) = 0;
    // Renames `from` over an existing file `to` in one step where the server
    // can (whoever reads `to` gets the old file or the new one); false, with
    // the server's refusal, where it cannot. By default the plain rename.
    virtual bool replaceFile(const std::string &from, const std::string &to) { return renameFile(from, to); }

    // Lists the current folder (or "folder/pattern"), keeping the entries that
    // match the wildcard pattern ("*.*" = all); false with 18 when nothing
    // matched. "." and ".." are never returned; hostile names are skipped and
    // counted in skippedNames().
    virtual bool find(const std::string &pattern, std::vector<FindRecord> &out) = 0;
    virtual size_t skippedNames() const = 0;

    // Upload and download of one file. Notifications: RequestSent (upload) and
    // ResponseReceived (download) with the bytes so far, ending at the file
    // size. A failed download leaves the old local file intact; a stream cut
    // short fails with TransferIncomplete, judged also by `expectedSize` (the
    // size a listing gave, -1 when unknown).
    virtual bool putFile(const std::string &localPath, const std::string &remoteName, TransferType type,
                         uint32_t context, const PutOptions &options = {}) = 0;
    virtual bool getFile(const std::string &remoteName, const std::string &localPath, TransferType type,
                         uint32_t context, const GetOptions &options = {}) = 0;
    bool getFile(const std::string &remoteName, const std::string &localPath, TransferType type,
                 uint32_t context, int64_t expectedSize)
    {
        GetOptions options;
        options.expectedSize = expectedSize;
        return getFile(remoteName, localPath, type, context, options);
    }
    // The local bytes the last putFile or getFile reached, offset included
    // (also when it failed).
    virtual uint64_t transferredBytes() const = 0;

    // A remote file's size, and its modification time in seconds since 1970 UTC.
    virtual bool fileSize(const std::string &name, uint64_t &size) = 0;
    virtual bool fileTime(const std::string &name, int64_t &unixSeconds) = 0;
    virtual bool setFileTime(const std::string &name, int64_t unixSeconds) = 0;
    // What the server offers: transfers at an offset, sizes, reading and setting times.
    virtual bool offersRestStream() const = 0;
    virtual bool offersSize() const = 0;
    virtual bool offersMdtm() const = 0;
    virtual bool offersMfmt() const = 0;
    // False when the protocol moves bytes as they are whatever the type asks.
    virtual bool convertsText() const = 0;

    // True when the server said at the last connect that its names are UTF-8.
    virtual bool utf8Announced() const = 0;
    // The server's reply text of the last completed command.
    virtual const std::string &lastReply() const = 0;
    // The protection of the connection to show the user ("TLSv1.3"), empty when plain.
    virtual std::string securityProtocol() const = 0;
    // The SHA-256 fingerprint of the server's certificate or key, empty when none.
    virtual const std::string &certificateFingerprint() const = 0;
};

// A client for the protocol that `server`'s scheme names.
std::unique_ptr<RemoteSession> makeRemoteSession(const std::string &server, const FtpOptions &options);
// True when a client made for `a` also serves `b` (the same protocol).
bool sameProtocol(const std::string &a, const std::string &b);

} // namespace platform

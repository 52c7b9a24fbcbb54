// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FindRecord.h"
#include "platform/RemoteSession.h"
#include "platform/Socket.h"
#include "platform/Tls.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// A client for one FTP server over one control connection, used synchronously.
//
// Every call returns false on failure and leaves an error code in the thread's last
// error (platform/LastError.h): 87 for an argument holding CR, LF or NUL (never
// sent), 12003 when the server refused a command (its reply text kept through
// setLastResponseText), 12002 on a timeout, 12030/12031 when the connection broke,
// 12111 for every call after the connection was dropped (a 421 reply or a closed
// socket) or closed. A timeout (of a reply or of a transfer's data) also drops the
// connection, since a late reply could not be told from the next one. Every wait has one deadline:
// preliminary replies never extend a reply wait, and during a transfer only data
// moving restarts the data timeout. A 0xFF byte in an argument is sent doubled
// (the Telnet rule of the control connection).
//
// Passive mode only: EPSV first, PASV when the server refuses EPSV (remembered for
// the session). The data connection always goes to the control connection's peer
// address, whatever address a PASV reply names, from the control connection's
// local address. MLSD is used when FEAT offers MLST, else LIST.
//
// Names and paths are raw bytes, sent and returned unchanged.
//
// Threads: one thread at a time uses a client; the status callback runs on that
// thread, inside the call that reports.
class FtpClient final : public RemoteSession {
public:
    explicit FtpClient(FtpOptions options = {});
    ~FtpClient() override; // closes
    FtpClient(const FtpClient &) = delete;
    FtpClient &operator=(const FtpClient &) = delete;

    void setStatusCallback(FtpStatusCallback cb) override;
    // A download under way stops soon after *flag becomes true (in a fraction
    // of a second, also while the server sends nothing): it fails with 12017,
    // its temporary file removed and the old local file intact. Listings and
    // uploads never stop for it (a half-written file on the server is worse
    // than a late stop), except an upload marked cancellable (PutOptions),
    // whose target is a temporary the caller removes. The flag is read from the thread using the
    // client; any thread may set it.
    void setCancelFlag(const std::atomic<bool> *flag) override { m_cancel = flag; }

    uint32_t exchangeOperationContext(uint32_t context) override
    {
        const uint32_t previous = m_operation;
        m_operation = context;
        return previous;
    }

    // server: "host", "host:port", "[v6addr]:port" or a bare IPv6 address (port 21
    // by default), optionally after a scheme that chooses the encryption:
    //   ftpes://  TLS required, asked for with AUTH TLS (then PBSZ 0, PROT P);
    //   ftps://   TLS from the first byte (port 990 by default);
    //   ftp://    plain FTP only;
    //   none      AUTH TLS tried; plain FTP only when the server answers that it
    //             has no AUTH (500, 502, 504, 530).
    // Whenever TLS was required or accepted, nothing else is sent unless the
    // handshake succeeded and the certificate passed the system's check or the
    // certificate check (setCertificateCheck) trusted it: TLS refused or failed ->
    // 12157 (detail in the last response text), certificate not trusted -> 12045.
    // Data connections are encrypted too and resume the control connection's TLS
    // session. Connects, logs in (USER/PASS), asks FEAT and sends OPTS UTF8 ON
    // when offered. An open connection is closed first. Connection-level
    // notifications use `context`. Wrong password -> 12014; other login refusal ->
    // 12015; unresolvable -> 12007; refused/unreachable -> 12029; timeout -> 12002.
    bool connect(const std::string &server, const std::string &user, const std::string &password,
                 uint32_t context) override;
    // QUIT politely (short timeout), close the sockets, ConnectionClosed notification.
    bool close() override;
    // False before connect, after close, once the connection dropped and when the
    // server has closed its end (seen without sending anything).
    bool isOpen() const override;

    bool setCurrentDirectory(const std::string &dir) override;
    // The path of a 257 reply with its doubled quotes undone.
    bool getCurrentDirectory(std::string &dir) override;
    bool createDirectory(const std::string &dir) override;
    bool removeDirectory(const std::string &dir) override;
    bool deleteFile(const std::string &name) override;
    bool renameFile(const std::string &from, const std::string &to) override;

    // Lists the current folder (or "folder/pattern") and keeps the entries matching
    // the wildcard pattern, byte-exact ("*.*" = all). A plain name without wildcards
    // answers whether that name exists in its folder (an empty folder included).
    // Returns false with 18 when nothing matched. On a failure mid-listing returns
    // false with the error set and `out` holding the entries parsed before it; a
    // listing over the caps of FtpOptions is such a failure (ListingTooLarge).
    // The replies of a listing are reported with context 0.
    // "." and ".." are never returned; hostile names (empty, holding '/', NUL, a byte
    // below 0x20 or 0x7F) are skipped and counted in skippedNames().
    bool find(const std::string &pattern, std::vector<FindRecord> &out) override;
    // Names the last find() skipped as hostile.
    size_t skippedNames() const override { return m_skippedNames; }

    // TYPE A converts LF locally to CRLF on the wire (a CRLF already in the file is
    // kept) and back, across buffer boundaries; TYPE I is byte-exact. A missing
    // local file gives 2, anything but a regular file NotRegularFile (at once: a
    // FIFO is never waited on). Notifications: RequestSent with the local bytes
    // sent so far, in order, ending at the file size.
    bool putFile(const std::string &localPath, const std::string &remoteName, TransferType type,
                 uint32_t context, const PutOptions &options = {}) override;
    // Writes a temporary file (createDownloadTemporary) in the target's folder, flushed
    // to disk and renamed over the target only after the data stream ended and the
    // server answered 2xx (in either order); a failure leaves the old local file
    // intact and no temporary file behind. The first download into a folder
    // removes the temporaries a crashed run left there.
    // A stream cut short is a failure (TransferIncomplete) whatever the server
    // answers: a TLS data connection that ends without its close notification, or
    // a binary download whose byte count differs from `expectedSize` (the size a
    // listing gave, -1 when unknown) and from what SIZE says now.
    // Notifications: ResponseReceived with the local bytes written so far, in order,
    // ending at the file size.
    bool getFile(const std::string &remoteName, const std::string &localPath, TransferType type,
                 uint32_t context, const GetOptions &options = {}) override;
    using RemoteSession::getFile;
    // The local bytes the last putFile or getFile reached, offset included
    // (also when it failed).
    uint64_t transferredBytes() const override { return m_transferred; }

    // SIZE (after TYPE I, as servers answer it only for binary transfers).
    bool fileSize(const std::string &name, uint64_t &size) override;
    // MDTM and MFMT: the modification time in seconds since 1970 UTC.
    bool fileTime(const std::string &name, int64_t &unixSeconds) override;
    bool setFileTime(const std::string &name, int64_t unixSeconds) override;

    // What the server's FEAT reply offered at the last connect.
    bool offersRestStream() const override { return m_restStream; }
    bool offersSize() const override { return m_size; }
    bool offersMdtm() const override { return m_mdtm; }
    bool offersMfmt() const override { return m_mfmt; }
    bool convertsText() const override { return true; }

    // True when the server announced UTF8 in its FEAT reply at the last connect.
    bool utf8Announced() const override { return m_utf8; }

    // The server's reply text of the last completed command (all lines).
    const std::string &lastReply() const override { return m_lastReply; }

    void setCertificateCheck(CertificateCheck check) override;
    // The TLS version of the control connection ("TLSv1.3"), empty when plain.
    std::string securityProtocol() const override;
    // The SHA-256 fingerprint of the control connection's certificate, empty when plain.
    const std::string &certificateFingerprint() const override { return m_fingerprint; }
    // Data connections so far that resumed the control connection's TLS session.
    size_t resumedDataConnections() const { return m_resumedData; }

private:
    enum class Security { Auto, Explicit, Implicit, Plain };
    struct Reply {
        int code = 0;
        std::string text;
    };
    using Sink = std::function<bool(const char *data, size_t size)>;

    static Security takeScheme(std::string &server);
    bool secureControl();
    bool negotiateTls();
    bool secureData(Socket &data);
    bool login(const std::string &user, const std::string &password);
    bool loginSteps(const std::string &user, const std::string &password);
    bool ensureOpen();
    bool sendCommand(std::string_view verb, std::string_view arg, int timeoutMs);
    using Deadline = std::chrono::steady_clock::time_point;
    bool readReply(Reply &reply, Deadline deadline);
    bool readFinalReply(Reply &reply, int timeoutMs);
    bool command(std::string_view verb, std::string_view arg, Reply &reply);
    bool simpleCommand(std::string_view verb, std::string_view arg);
    bool takeReply(Reply &reply, bool &malformed);
    bool discardUnsolicited();
    bool receiveControl();
    bool watchControl(bool readable, bool &finalReceived);
    bool refused(const Reply &reply);
    void dropConnection(uint32_t code);
    void closeControl();
    void notify(uint32_t context, FtpStatus status, const std::string &text, uint64_t bytes);

    bool setType(TransferType type);
    bool openDataConnection(Socket &data);
    bool startTransfer(std::string_view verb, std::string_view arg, Socket &data, bool &finalReceived);
    bool awaitTransferReply();
    bool receiveData(Socket &data, const Sink &sink, bool finalReceived);
    bool sendData(Socket &data, int fd, TransferType type, uint32_t context, bool finalReceived,
                  uint64_t consumed, bool cancellable);
    bool cancelUpload(Socket &data, bool finalReceived);
    bool restartAt(uint64_t offset);
    bool abortTransfer(Socket &data, uint32_t code, bool finalReceived);
    void sweepDownloadFolder(const std::string &folder);
    bool sizeConfirms(const std::string &remoteName, uint64_t received);

    FtpOptions m_options;
    FtpStatusCallback m_callback;
    const std::atomic<bool> *m_cancel = nullptr;
    bool m_downloading = false; // inside getFile: the cancel flag applies
    uint32_t m_context = 0;
    // The context of the transfer under way (0 outside put and get): the replies
    // a transfer waits for are reported under it, like its byte counts.
    uint32_t m_operation = 0;
    Socket m_control;
    SocketAddress m_peer;
    SocketAddress m_local;
    bool m_open = false;
    bool m_dropped = false;
    bool m_mlsd = false;
    bool m_utf8 = false;
    bool m_pasvOnly = false;
    bool m_restStream = false;
    bool m_size = false;
    bool m_mdtm = false;
    bool m_mfmt = false;
    uint64_t m_transferred = 0;
    int m_type = 0; // the TYPE in force, 0 = not yet sent
    size_t m_skippedNames = 0;
    // Folders (device, inode) already swept of stale download temporaries.
    std::set<std::pair<uint64_t, uint64_t>> m_sweptFolders;

    // Control connection input: bytes not yet parsed, and the reply being read.
    std::string m_rx;
    int m_replyCode = 0;
    bool m_replyMultiline = false;
    size_t m_replyBytes = 0;
    std::string m_replyText;
    std::string m_lastReply;

    std::vector<char> m_buffer;
    std::vector<char> m_converted;

    // TLS: the chosen scheme, the name the certificate must carry, the context
    // shared by the control and data connections, and the control certificate's
    // fingerprint that every data connection must show again.
    Security m_security = Security::Auto;
    std::string m_tlsHost;
    uint16_t m_tlsPort = 0;
    std::unique_ptr<TlsClient> m_tls;
    CertificateCheck m_certificateCheck;
    bool m_secureData = false;
    std::string m_fingerprint;
    size_t m_resumedData = 0;
};

} // namespace platform

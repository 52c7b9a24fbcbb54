// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RemoteSession.h"
#include "ui/Text.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ConnectionPool;

// The session layer: one process-wide session over a platform::RemoteSession, its
// status texts and error reporting, the remote and local file primitives and
// the directory listings.
//
// Threads: the client is used only on the session thread of this unit. The
// functions here are called on the user-interface thread; each call of the
// client is handed to the session thread while the windows keep painting
// (ui::Executor). ShowStatus and ReportError may also be called from any other
// thread: their texts and boxes reach the user-interface thread in the order
// they were made.

// Operation codes carried as the status context of each FTP call.
constexpr uint32_t ContextUpload = 100;
constexpr uint32_t ContextDownload = 200;
constexpr uint32_t ContextConnection = 300;
// The files of a multi-file run over several connections: each its own context
// from here on, uploads even and downloads odd.
constexpr uint32_t ContextRunFile = 0x10000;

// Transfer types of the session.
constexpr int FtpTransferAscii = 1;
constexpr int FtpTransferBinary = 2;

// --- Session and reporting ---

// Writes a text into panel 0 to 3 of the main status bar, or into the single
// text line below it when the panel number is 999.
void ShowStatus(const std::string &text, int panel);
// Reports one failed call: the caption (the call's name followed by "失敗") and
// the code in status panel 0, and the system's text for the code, when there is
// one, in a message box.
void ReportError(uint32_t code, const std::string &caption);
// The same for the transfer of one file of a run: the status text and the box
// name the file.
void ReportFileError(uint32_t code, const std::string &caption, const std::string &file);
// While one with `mute` set is alive (on any thread), ReportError and the
// transfer primitives write the status bar only and show no message box.
class ErrorBoxMute {
public:
    explicit ErrorBoxMute(bool mute);
    ~ErrorBoxMute();
    ErrorBoxMute(const ErrorBoxMute &) = delete;
    ErrorBoxMute &operator=(const ErrorBoxMute &) = delete;

private:
    bool m_mute;
};
// The system's text for a code, or an empty text.
std::string GetErrorText(uint32_t code);
void ReportNoSession();

// A lost connection is reported once per user action: the first failure that
// shows it gives one message box and leaves its call in status panel 0; the
// failures that follow from the same loss (further transfers, a reconnect that
// cannot reach the server) change neither, until a connection is made again
// or the user starts another action (BeginUserAction).
void BeginUserAction();
// A message about a failed reconnect, unless the loss was already reported.
void ReportReconnectFailure(const std::string &text);
bool OpenInternet();
int ConnectServer(const std::string &server);
int OpenSession(const std::string &server);
int CloseSession();

bool SessionOpen();
const std::string &ConnectedServer();
int TransferType();
void SetTransferType(int type);
// The encoding of names the user types for the server (see SessionEncoding).
ui::NameEncoding RemoteNameEncoding();
// Where a name crosses between the server and the local disk: the local name
// (UTF-8) of a server path, and the server's name of a local path (see
// SessionEncoding). Names of the two sides are compared in one form through these.
std::string LocalNameFor(const std::string &serverName);
std::string ServerNameFor(const std::string &localName);
// The bytes of a name the user typed for a side: UTF-8 locally, the session's
// encoding for the server. A name that cannot be encoded is refused with a
// message, and false is returned.
bool TypedName(const QString &text, int side, std::string &bytes);
// The session's client; null before the first OpenInternet.
platform::RemoteSession *FtpSession();
// Timeouts of the clients OpenInternet makes from now on.
void SetFtpOptions(const platform::FtpOptions &options);
// How many connections to the server a multi-file run may use (1 to 10; the
// settings file's "Connections", 3 when it has none).
constexpr int DefaultTransferConnections = 3;
void SetTransferConnections(int count);
int TransferConnections();
// Uploads of at least `tempUploadMin` bytes go through a temporary beside
// their target, renamed over it when whole (0 = every file, negative = none);
// `keepTimes` gives uploaded and downloaded files the modification time of
// their source (the settings file's "TempUploadMin" and "KeepTimes").
constexpr int64_t DefaultTempUploadMin = 102400;
void SetSafeTransferSettings(int64_t tempUploadMin, bool keepTimes);
int64_t TempUploadMin();
bool KeepTimes();

// --- Remote and local file primitives ---

int DeleteRemoteFile(const std::string &name);
int DeleteLocalFile(const std::string &name);
int MakeRemoteDir(const std::string &folder);
int MakeLocalDir(const std::string &folder);
int RemoveRemoteDir(const std::string &folder);
int RemoveLocalDir(const std::string &folder);
int SetRemoteDir(const std::string &folder);
// Enters the folder a symbolic link on the server leads to: 1 when entered (or
// when it failed otherwise, reported as SetRemoteDir reports it); 0 when the
// server refused it, the sign of a link to a file: nothing is reported then.
int EnterRemoteLink(const std::string &name);
int SetLocalDir(const std::string &folder);
int GetRemoteDir(std::string &folder);
int IsRemoteDirShown(std::string &folder);
int RenameRemote(const std::string &oldName, const std::string &newName);
int RenameLocal(const std::string &oldName, const std::string &newName);

// Held by Reconnect for its whole run: a failing folder change then reports and
// does not start another reconnect.
class ReconnectScope {
public:
    ReconnectScope();
    ~ReconnectScope();
    ReconnectScope(const ReconnectScope &) = delete;
    ReconnectScope &operator=(const ReconnectScope &) = delete;
};

// --- Directory listings ---

int ListLocal();
int RefreshLocalList();
void ListRemote();
int RefreshRemoteList();
int ListRemoteForCompare();
int RemoteExists(const std::string &name);
// Lists the remote folder (or "folder/pattern") through the session thread:
// the entries matching the pattern and how many hostile names were skipped.
// The temporaries of uploads (".NAME.vexmora-part") are never among them.
bool FindRemote(const std::string &pattern, std::vector<platform::FindRecord> &records, size_t &skipped);

// Stops a download under way (any thread): it fails with 12017, leaving the
// old local file as it was; so does an upload through a temporary (see
// TempUploadMin), its temporary removed and the server's file untouched.
// Direct uploads always finish their file. The request
// holds until ResetDownloadCancel(), which a progress-window run calls at its start.
void CancelDownload();
void ResetDownloadCancel();

// --- Transfer primitives ---

// Set the session's transfer type and show it in status panel 0; return 1.
int SetAsciiMode();
int SetBinaryMode();
// Upload and download of one file with the session's transfer type: 1 when
// the file was sent or fetched whole, 0 when the server refused it, the
// connection failed or no session is open. Failures are reported here
// (messages for an invalid parameter and a missing local file, then
// ReportError). A failed download leaves the previous local file as it was.
int PutFile(const std::string &localFile, const std::string &remoteFile);
int GetFile(const std::string &remoteFile, const std::string &localFile);
// Status panel 0 text for server names that were not used (none for 0).
void ReportUnsafeNames(size_t count);
// The size the remote list shows for a file, -1 when it does not show the file.
int64_t ListedRemoteSize(const std::string &remoteFile);

// --- Multi-file runs ---

// A run of many transfers (a manual transfer of a selection, a watch or daemon
// pass). While one is open on the interface thread, StartPutFile and
// StartGetFile hand each file to the first free of up to TransferConnections()
// connections: the session's own and extra ones logged in with the same
// account and encryption, which the run opens at its first file and closes at
// its end. A server that refuses the extra ones leaves the run on the
// connections it has, without a message. With one connection the files go one
// after another on the session, as single transfers do.
//
// Each file's completion (its failure reported, then its `then`) runs on the
// interface thread, in the order the files end, inside a later Start call or
// in Finish. Files named "index.html" (in any folder) start in Finish, one
// after another, once every other file of the run has ended. After a Cancel
// (CancelDownload) the run starts no further file: files not yet started end
// with `then(0)` and no failure report, downloads and uploads through a
// temporary under way stop, direct uploads finish.
//
// Runs nest (Current() is the innermost); one that ends out of order (its owner
// destroyed it before an inner run) is taken out of the chain all the same.
//
// A run made with `reconnects` (a manual run of the progress window) outlives a
// lost connection: a file that fails because the connection was lost shows it
// in the status bar only; once the files under way have ended, the session reconnects
// (TMainForm::Reconnect) and the files the loss cut go again before any other,
// an upload or download continuing from the bytes it had moved. Each file goes
// again once; failing a second time it is reported as usual. When the
// reconnect fails, the run gives up: one message says so, and the files it
// cut and every file after them end with `then(0)` and no report of their own.
class TransferRun {
public:
    // rows: how many files the run may have (no more connections are opened).
    explicit TransferRun(int rows, bool reconnects = false);
    ~TransferRun();
    TransferRun(const TransferRun &) = delete;
    TransferRun &operator=(const TransferRun &) = delete;

    // Waits, with the windows painting, until every file started has ended and
    // its completion has run.
    void Finish();
    // The innermost open run, or null.
    static TransferRun *Current();

    // Runs the work on a free connection (see above). `failed` reports a failure
    // on the interface thread before `then` gets the result (1 or 0).
    using Work = std::function<bool(platform::RemoteSession &client)>;
    void Start(const std::string &remoteName, Work work, std::function<void(uint32_t code)> failed,
               std::function<void(int result)> then);
    // Several connections (else Start is not used).
    bool Parallel() const { return m_connections > 1; }
    // Wakes a wait of this run (any thread): a Cancel drops the files not started.
    void Wake();
    // Made with `reconnects`, and not given up.
    bool ReconnectsOnLoss() const { return m_reconnects && !m_gaveUp; }
    // The reconnect after a lost connection failed: no further file starts.
    bool GaveUp() const { return m_gaveUp; }
    // After a lost connection (interface thread, nothing under way on the
    // run's connections): reconnects the session; false, with the one
    // message, when that failed and the run has given up.
    bool RepairConnection();

private:
    struct Shared;
    struct Pending {
        Work work;
        std::function<void(uint32_t code)> failed;
        std::function<void(int result)> then;
        bool again = false; // goes the second time, after a reconnect
    };
    void Queue(Pending file);
    // Hands a file to the pool at once.
    void Dispatch(Pending file);
    bool WaitForOne();
    void OpenPool();
    void ClosePool();
    // The files a lost connection cut go again after a reconnect (or end).
    void Recover();

    int m_connections;
    int m_inFlight = 0;
    bool m_reconnects;
    bool m_gaveUp = false;
    std::deque<Pending> m_lastFiles; // "index.html" pages, sent at Finish
    std::deque<Pending> m_lost;      // cut by a lost connection, to go again
    std::unique_ptr<ConnectionPool> m_pool;
    std::shared_ptr<Shared> m_shared;
    TransferRun *m_outer;
};

// Upload and download of one file like PutFile and GetFile, through the open
// run when it has several connections (`then` later), else at once (`then`
// before returning). `quiet` leaves out the message boxes of a failure.
void StartPutFile(const std::string &localFile, const std::string &remoteFile, bool quiet,
                  std::function<void(int sent)> then);
void StartGetFile(const std::string &remoteFile, const std::string &localFile, bool quiet,
                  std::function<void(int received)> then);

// While one is alive on the interface thread, a listing of the remote folder
// that repeats the previous one with no other command sent in between is
// answered from the previous one's result (one pass that refreshes twice).
class ListingReuse {
public:
    ListingReuse();
    ~ListingReuse();
    ListingReuse(const ListingReuse &) = delete;
    ListingReuse &operator=(const ListingReuse &) = delete;
};

#pragma once

#include "platform/FtpClient.h"
#include "ui/Text.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// The FTP session layer: one process-wide session over platform::FtpClient, its
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
bool ConnectionLossReported();
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
// The bytes of a name the user typed for a side: UTF-8 locally, the session's
// encoding for the server. A name that cannot be encoded is refused with a
// message, and false is returned.
bool TypedName(const QString &text, int side, std::string &bytes);
// The session's client; null before the first OpenInternet.
platform::FtpClient *FtpSession();
// Timeouts of the clients OpenInternet makes from now on.
void SetFtpOptions(const platform::FtpOptions &options);

// --- Remote and local file primitives ---

int DeleteRemoteFile(const std::string &name);
int DeleteLocalFile(const std::string &name);
int MakeRemoteDir(const std::string &folder);
int MakeLocalDir(const std::string &folder);
int RemoveRemoteDir(const std::string &folder);
int RemoveLocalDir(const std::string &folder);
int SetRemoteDir(const std::string &folder);
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
bool FindRemote(const std::string &pattern, std::vector<platform::FindRecord> &records, size_t &skipped);

// Stops a download under way (any thread): it fails with 12017, leaving the
// old local file as it was. Uploads always finish their file. The request
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

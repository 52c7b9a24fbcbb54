// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session/Ftpfunc.h"

#include "app/MainForm.h"
#include "app/model/FileEntry.h"
#include "app/model/ListCompare.h"
#include "app/model/PathRules.h"
#include "app/model/RemoteSnapshot.h"
#include "app/session/CertificateTrust.h"
#include "app/session/ConnectionPool.h"
#include "app/session/SafeTransfer.h"
#include "app/session/SessionEncoding.h"
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "platform/LocalFind.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Executor.h"
#include "ui/InterfaceWait.h"
#include "ui/Language.h"
#include "ui/ListView.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"
#include "ui/Thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

// The session values of the process. The client is used only on the session
// thread (sessionCall), which also replaces it.
std::unique_ptr<platform::RemoteSession> g_internet;
// The server the client was made for: a server of another protocol gets a new one.
std::string g_clientServer;
platform::FtpOptions g_options;
int g_sessionOpen = 0;
std::string g_connectedServer;
// The account of the session, for the extra connections of a multi-file run.
std::string g_user;
std::string g_password;
int g_transferConnections = DefaultTransferConnections;
int g_transferType = FtpTransferBinary;
bool g_reconnecting = false;
// The session moves bytes as they are and the user asked for ASCII: said once.
bool g_textModeNoticeShown = false;
SessionEncoding g_nameEncoding;
bool g_connectionLossReported = false;
// The transfer under way has shown a byte count in the status line (set by
// the session thread's status reports, cleared on the interface thread).
std::atomic<bool> g_byteCountShown{false};
std::atomic<bool> g_cancelDownload{false};
// A Cancel since the innermost multi-file run started (see TransferRun).
std::atomic<bool> g_runCancelled{false};
// Counts the calls that went to the server, so that a listing can tell
// whether anything was sent since the previous one.
std::atomic<uint64_t> g_commandSerial{0};

// The one thread that talks to the server. Whoever needs the session hands it
// the call and waits: the interface thread with its windows painting, any other
// thread blocked. So the session is used by one thread at a time, and no wait
// for the network ever freezes the windows.
ui::Executor &sessionThread()
{
    static ui::Executor executor;
    return executor;
}

void flushByteCount();

// The rules of every upload and download (temporaries, resume, file times),
// over the session's client and a run's extra connections alike.
SafeTransfer &safeTransfer()
{
    static SafeTransfer rules([](const std::string &text) { ShowStatus(text, 0); });
    return rules;
}

// Runs a call of the client on the session thread and returns its result; the
// last error and the server's reply text it left come back to the caller's thread.
// A call that only asks (where the session is) leaves the command count alone.
enum class Call { MayChange, AsksOnly };
template <typename F> auto sessionCall(F &&call, Call kind = Call::MayChange) -> decltype(call())
{
    using Result = decltype(call());
    Result result{};
    uint32_t code = 0;
    std::string response;
    if (kind == Call::MayChange)
        ++g_commandSerial;
    sessionThread().run([&] {
        result = call();
        code = platform::lastError();
        response = platform::lastResponseText();
        flushByteCount();
    });
    platform::setLastError(code);
    platform::setLastResponseText(std::move(response));
    return result;
}

const char *const NoSessionText = QT_TRANSLATE_NOOP("Ftp", "セッションは開かれていません。");

std::string failed(const std::string &caption, uint32_t code)
{
    return caption + ": " + std::to_string(code);
}

// Byte counts arrive for every buffer; painting the line each time would cost
// more than the transfer itself, so a repaint happens at most every 50 ms.
void refreshStatusLine(bool force)
{
    static QElapsedTimer last;
    if (!MainForm)
        return;
    if (force || !last.isValid() || last.elapsed() >= 50) {
        MainForm->StatusBar1->repaintNow();
        last.restart();
    }
}

void showStatusLine(const std::string &text, bool byteCount)
{
    refreshStatusLine(!byteCount);
    ShowStatus(text, 999);
    refreshStatusLine(!byteCount);
}

// Size of the file being transferred, 0 when unknown (interface thread).
uint64_t g_transferTotal = 0;

// A byte count: its text (none for an upload of a single-row list) and the
// progress window's bar.
void showByteCount(const std::string &text, uint64_t bytes)
{
    if (!text.empty())
        showStatusLine(text, true);
    if (UpDownLoadForm && g_transferTotal > 0)
        UpDownLoadForm->ShowFileProgress(bytes, g_transferTotal);
}

// On the session thread byte counts are handed to the interface thread at most
// every 50 ms; one held back is handed over when the next text goes or the call
// ends, so the line always ends on the last count and texts keep their order.
QElapsedTimer g_lastByteCount; // session thread only
bool g_byteCountHeld = false;  // session thread only
std::string g_heldText;        // session thread only
uint64_t g_heldBytes = 0;      // session thread only

void flushByteCount()
{
    if (!g_byteCountHeld)
        return;
    g_byteCountHeld = false;
    ui::Thread::post([text = g_heldText, bytes = g_heldBytes] { showByteCount(text, bytes); });
    g_lastByteCount.restart();
}

void postStatusLine(const std::string &text, bool byteCount, uint64_t bytes)
{
    if (ui::isInterfaceThread()) {
        if (byteCount)
            showByteCount(text, bytes);
        else
            showStatusLine(text, false);
        return;
    }
    if (byteCount) {
        g_byteCountHeld = true;
        g_heldText = text;
        g_heldBytes = bytes;
        if (g_lastByteCount.isValid() && g_lastByteCount.elapsed() < 50)
            return;
    }
    flushByteCount();
    if (!byteCount)
        ui::Thread::post([text] { showStatusLine(text, false); });
}

// Byte counts of the files of a run over several connections, from the threads
// of its connections: the status line follows the file most recently started,
// the progress window's bar the bytes of the whole run.
struct RunProgress {
    std::mutex mutex;
    uint32_t latest = 0;                 // the file most recently started
    std::map<uint32_t, uint64_t> moving; // bytes so far of each file under way
    uint64_t ended = 0;                  // bytes of the files that have ended
    std::chrono::steady_clock::time_point lastPost;
};
RunProgress g_runProgress;
std::atomic<uint32_t> g_runSerial{0};

bool isRunUpload(uint32_t context)
{
    return ((context - ContextRunFile) & 1) == 0;
}

std::string byteCountText(bool upload, uint64_t bytes)
{
    return ui::fill(upload ? ui::translate("Ftp", "%1ﾊﾞｲﾄ ｱｯﾌﾟﾛｰﾄﾞ完了")
                           : ui::translate("Ftp", "%1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了"),
                    {std::to_string(bytes)});
}

void showRunProgress(const std::string &text, uint64_t moved)
{
    if (!text.empty()) {
        g_byteCountShown = true;
        showStatusLine(text, true);
    }
    if (UpDownLoadForm)
        UpDownLoadForm->ShowRunProgress(moved);
}

// On a connection's thread; at most every 50 ms a count goes to the interface
// thread, and the last one of each file when it ends (runFileEnded).
void runByteCount(uint32_t context, platform::FtpStatus status, uint64_t bytes)
{
    const bool upload = isRunUpload(context);
    if (status != (upload ? platform::FtpStatus::RequestSent : platform::FtpStatus::ResponseReceived))
        return;
    std::string text;
    uint64_t moved = 0;
    {
        const std::lock_guard lock(g_runProgress.mutex);
        g_runProgress.moving[context] = bytes;
        const auto now = std::chrono::steady_clock::now();
        if (now - g_runProgress.lastPost < std::chrono::milliseconds(50))
            return;
        g_runProgress.lastPost = now;
        moved = g_runProgress.ended;
        for (const auto &[file, count] : g_runProgress.moving)
            moved += count;
        // Whichever file's count comes, the line shows the latest file's.
        const auto latest = g_runProgress.moving.find(g_runProgress.latest);
        if (latest != g_runProgress.moving.end())
            text = byteCountText(isRunUpload(latest->first), latest->second);
    }
    ui::Thread::post([text, moved] { showRunProgress(text, moved); });
}

// A run's file has ended (interface thread): its last count is shown.
void runFileEnded(uint32_t context, bool ok)
{
    std::string text;
    uint64_t moved = 0;
    {
        const std::lock_guard lock(g_runProgress.mutex);
        const auto found = g_runProgress.moving.find(context);
        const uint64_t bytes = found == g_runProgress.moving.end() ? 0 : found->second;
        if (found != g_runProgress.moving.end())
            g_runProgress.moving.erase(found);
        g_runProgress.ended += bytes;
        moved = g_runProgress.ended;
        for (const auto &[file, count] : g_runProgress.moving)
            moved += count;
        if (ok && context == g_runProgress.latest)
            text = byteCountText(isRunUpload(context), bytes);
    }
    showRunProgress(text, moved);
}

void statusCallback(uint32_t context, platform::FtpStatus status, const std::string &text, uint64_t bytes)
{
    using S = platform::FtpStatus;
    std::string shown;
    bool show = false;
    bool byteCount = false; // moves the progress window's bar even when no text shows
    switch (context) {
    case ContextUpload:
        byteCount = status == S::RequestSent;
        if (byteCount && MainForm && MainForm->TransferList.TransferCount > 1) {
            shown = byteCountText(true, bytes);
            show = true;
        }
        break;
    case ContextDownload:
        byteCount = status == S::ResponseReceived;
        if (byteCount) {
            shown = byteCountText(false, bytes);
            show = true;
        }
        break;
    case ContextConnection:
        show = true;
        if (status == S::ConnectingToServer)
            shown = ui::fill(ui::translate("Ftp", "ｿｹｯﾄｱﾄﾞﾚｽ%1に接続中"), {text});
        else if (status == S::ConnectedToServer)
            shown = ui::fill(ui::translate("Ftp", "ｿｹｯﾄｱﾄﾞﾚｽ%1に接続完了"), {text});
        else if (status == S::ReceivingResponse)
            shown = ui::translated("Ftp", "ｻｰﾊﾞｰからの応答を待っています。");
        else if (status == S::ConnectionClosed)
            shown = ui::translated("Ftp", "ｻｰﾊﾞｰからの接続を閉じました。");
        else
            show = false;
        break;
    default:
        if (context >= ContextRunFile)
            runByteCount(context, status, bytes);
        break;
    }
    if (byteCount && show)
        g_byteCountShown = true;
    if (show || byteCount)
        postStatusLine(shown, byteCount, bytes);
}

platform::RemoteSession *client()
{
    return g_internet.get();
}

// The common shape of the remote primitives: no session shows the text and
// returns the given value.
bool needSession()
{
    if (g_sessionOpen == 1)
        return true;
    ReportNoSession();
    return false;
}

// Reports a name a server sent that is not used as a row (once per listing).
void reportSkippedNames(size_t count)
{
    if (count > 0)
        ShowStatus(ui::fill(ui::translate("Ftp", "不正なﾌｧｲﾙ名を%1件無視しました"), {std::to_string(count)}),
                   0);
}

bool callReconnect()
{
    return MainForm && MainForm->Reconnect();
}

// A transfer that failed must not leave its byte count, which reads "…完了"
// (finished), in the status line.
void clearFailedTransferCount()
{
    // Byte counts the session thread posted before the failure are shown
    // first, so that none of them lands after the clear.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    if (g_byteCountShown)
        ShowStatus({}, 999);
    g_byteCountShown = false;
}

} // namespace

// --- Session and reporting ---

void ShowStatus(const std::string &text, int panel)
{
    if (!ui::isInterfaceThread()) {
        ui::Thread::post([text, panel] { ShowStatus(text, panel); });
        return;
    }
    if (!MainForm)
        return;
    // Panel 0 keeps the call that lost the connection for the rest of the action.
    if (panel == 0 && g_connectionLossReported)
        return;
    if (panel == 999)
        MainForm->StatusBar1->setSimpleText(ui::toQ(text));
    else
        MainForm->StatusBar->setPanelText(panel, ui::toQ(text));
}

namespace {
std::atomic<int> g_mutedErrorBoxes{0};

void errorBox(const QString &text)
{
    if (g_mutedErrorBoxes.load() == 0)
        ui::dialogs().message(text);
}
} // namespace

ErrorBoxMute::ErrorBoxMute(bool mute) : m_mute(mute)
{
    if (m_mute)
        ++g_mutedErrorBoxes;
}

ErrorBoxMute::~ErrorBoxMute()
{
    if (m_mute)
        --g_mutedErrorBoxes;
}

void ReportError(uint32_t code, const std::string &caption)
{
    if (!ui::isInterfaceThread()) {
        // The server's reply text (the text of 12003) belongs to the calling thread.
        ui::Thread::synchronize([code, caption, response = platform::lastResponseText()] {
            platform::setLastResponseText(response);
            ReportError(code, caption);
        });
        return;
    }
    if (code == platform::err::SharingViolation) {
        ShowStatus(failed(ui::translated("Ftp", "他のﾌﾟﾛｾｽがﾌｧｲﾙを使用中"), code), 0);
        return;
    }
    if (code == platform::err::DirNotEmpty) {
        ShowStatus(failed(ui::translated("Ftp", "ﾌｫﾙﾀﾞが空でない"), code), 0);
        return;
    }
    const bool loss = platform::isConnectionLoss(code);
    if (loss && g_connectionLossReported)
        return;
    ShowStatus(failed(ui::translated("Ftp", caption.c_str()), code) + "\n ", 0);
    g_connectionLossReported = loss;
    const std::string text = GetErrorText(code);
    if (!text.empty())
        errorBox(ui::toQ(text));
}

void ReportFileError(uint32_t code, const std::string &caption, const std::string &file)
{
    if (file.empty() || platform::isConnectionLoss(code) || code == platform::err::SharingViolation
        || code == platform::err::DirNotEmpty) {
        ReportError(code, caption);
        return;
    }
    ShowStatus(ui::displayText(file) + ": " + failed(ui::translated("Ftp", caption.c_str()), code) + "\n ",
               0);
    const std::string text = GetErrorText(code);
    if (!text.empty())
        errorBox(ui::toQ(ui::displayText(file) + "\n" + text));
}

void BeginUserAction()
{
    g_connectionLossReported = false;
}

void ReportReconnectFailure(const std::string &text)
{
    if (!g_connectionLossReported)
        errorBox(ui::toQ(text));
}

std::string GetErrorText(uint32_t code)
{
    const uint32_t facility = (code >> 16) & 0x1FFF;
    // The message-queue facility and the network-management range have no texts here.
    if (facility == 14 || (code >= 2100 && code <= 2999))
        return {};
    std::string text = platform::errorText(code);
    // The message's first line is the program's own text (translated); what
    // follows it is the server's reply, shown as it came.
    const size_t lineEnd = text.find('\n');
    text = ui::translated("Errors", text.substr(0, lineEnd).c_str())
           + (lineEnd == std::string::npos ? std::string() : text.substr(lineEnd));
    if (text.size() > 1023)
        text.resize(1023);
    return text;
}

void ReportNoSession()
{
    ShowStatus(ui::translated("Ftp", NoSessionText), 0);
}

bool OpenInternet()
{
    // The previous client (a closed session's) is replaced and closed.
    sessionCall([] {
        g_internet = platform::makeRemoteSession(g_clientServer, g_options);
        g_internet->setCancelFlag(&g_cancelDownload);
        return true;
    });
    ShowStatus(ui::translated("Ftp", "InternetOpen成功"), 0);
    return true;
}

int ConnectServer(const std::string &server)
{
    if (!g_internet || !MainForm) {
        ui::dialogs().message(ui::translate("Ftp", "コールバックを設定できません。"));
        return 0;
    }
    std::string user = ui::fromQ(MainForm->EUserId->text());
    std::string password = ui::fromQ(MainForm->EPassword->text());
    if (user.size() > 255)
        user.resize(255);
    if (password.size() > 255)
        password.resize(255);
    bool utf8 = false;
    const bool connected = sessionCall([&] {
        if (!platform::sameProtocol(g_clientServer, server)) {
            g_clientServer = server;
            g_internet = platform::makeRemoteSession(server, g_options);
            g_internet->setCancelFlag(&g_cancelDownload);
        }
        g_internet->setStatusCallback(statusCallback);
        // Host keys and key passphrases are the user's decisions too, asked the same way.
        g_internet->setKnownHostsFile(MainForm ? KnownHostsPath(MainForm->IniPath) : std::string());
        g_internet->setHostKeyCheck([](const platform::HostKeyInfo &key) {
            bool trusted = false;
            ui::Thread::synchronize([&] { trusted = TrustHostKey(key); });
            return trusted;
        });
        g_internet->setPassphrasePrompt([](const std::string &keyFile, std::string &passphrase) {
            bool given = false;
            ui::Thread::synchronize([&] { given = AskPassphrase(keyFile, passphrase); });
            return given;
        });
        // A certificate the system cannot vouch for is the user's decision, asked
        // on the interface thread while the engine waits on the session thread.
        g_internet->setCertificateCheck([](const platform::CertificateInfo &certificate) {
            bool trusted = false;
            ui::Thread::synchronize([&] {
                trusted =
                    MainForm && TrustCertificate(certificate, TrustedCertificatesPath(MainForm->IniPath));
            });
            return trusted;
        });
        const bool ok = g_internet->connect(server, user, password, ContextConnection);
        utf8 = g_internet->utf8Announced();
        return ok;
    });
    if (!connected) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "InternetConnect失敗"));
        return 0;
    }
    g_user = user;
    g_password = password;
    safeTransfer().newSession(server + '\n' + user);
    g_nameEncoding.Connected(server + '\n' + user, utf8);
    MainForm->Connected = true;
    g_sessionOpen = 1;
    g_connectionLossReported = false;
    g_connectedServer = server.substr(0, 1023);
    g_textModeNoticeShown = false;
    return 1;
}

int OpenSession(const std::string &server)
{
    if (g_sessionOpen == 1) {
        ShowStatus(
            ui::fill(ui::translate("Ftp", "既に接続中です<%1>\n先にCloseしてください"), {g_connectedServer}),
            0);
        return 1;
    }
    const int result = ConnectServer(server);
    // An encrypted session says so, with its protocol version.
    if (!result)
        ShowStatus(ui::translated("Ftp", "セッションを閉じました。"), 0);
    else if (g_internet->securityProtocol().empty())
        ShowStatus(ui::fill(ui::translate("Ftp", "<%1>へ接続しました"), {server}), 0);
    else
        ShowStatus(ui::fill(ui::translate("Ftp", "<%1>へ接続しました (%2で暗号化)"),
                            {server, g_internet->securityProtocol()}),
                   0);
    return result;
}

int CloseSession()
{
    if (g_sessionOpen == 0) {
        ReportNoSession();
        return 1;
    }
    if (g_internet && !sessionCall([] { return g_internet->close(); }))
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "InternetCloseHandle失敗"));
    if (MainForm)
        MainForm->Connected = false;
    g_sessionOpen = 0;
    ShowStatus(ui::translated("Ftp", "セッションを閉じました"), 0);
    return 1;
}

bool SessionOpen()
{
    return g_sessionOpen == 1;
}

const std::string &ConnectedServer()
{
    return g_connectedServer;
}

int TransferType()
{
    return g_transferType;
}

void SetTransferType(int type)
{
    g_transferType = type;
}

ui::NameEncoding RemoteNameEncoding()
{
    return g_nameEncoding.Encoding();
}

std::string LocalNameFor(const std::string &serverName)
{
    return g_nameEncoding.LocalNameFor(serverName);
}

std::string ServerNameFor(const std::string &localName)
{
    return g_nameEncoding.ServerNameFor(localName);
}

bool TypedName(const QString &text, int side, std::string &bytes)
{
    const ui::NameEncoding encoding = side == RemoteSide ? RemoteNameEncoding() : ui::NameEncoding::Utf8;
    if (ui::encodeName(text, encoding, bytes))
        return true;
    ui::dialogs().message(ui::translate("Ftp", "「%1」には%2で表せない文字があるため使えません。")
                              .arg(text, encoding == ui::NameEncoding::Cp932
                                             ? ui::translate("Ftp", "ｻｰﾊﾞｰの文字ｺｰﾄﾞ(Shift_JIS)")
                                             : QStringLiteral("UTF-8")));
    return false;
}

platform::RemoteSession *FtpSession()
{
    return g_internet.get();
}

void SetFtpOptions(const platform::FtpOptions &options)
{
    g_options = options;
}

void SetSafeTransferSettings(int64_t tempUploadMin, bool keepTimes)
{
    safeTransfer().setSettings({tempUploadMin, keepTimes});
}

int64_t TempUploadMin()
{
    return safeTransfer().settings().tempUploadMin;
}

bool KeepTimes()
{
    return safeTransfer().settings().keepTimes;
}

void SetTransferConnections(int count)
{
    g_transferConnections = std::clamp(count, 1, ConnectionPool::MaxConnections);
}

int TransferConnections()
{
    return g_transferConnections;
}

// --- Remote and local file primitives ---

int DeleteRemoteFile(const std::string &name)
{
    if (!needSession())
        return 1;
    if (!sessionCall([&] { return client()->deleteFile(name); })) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "FtpDeleteFile失敗"));
        return 0;
    }
    return 1;
}

int DeleteLocalFile(const std::string &name)
{
    platform::deleteFile(name);
    return 1;
}

int MakeRemoteDir(const std::string &folder)
{
    if (!needSession())
        return 1;
    if (!sessionCall([&] { return client()->createDirectory(folder); })) {
        const uint32_t code = platform::lastError();
        if (code == platform::err::InternetExtendedError)
            ShowStatus(ui::translated("Ftp", "ﾌｫﾙﾀﾞは既に存在します。"), 0);
        else
            ReportError(code, QT_TRANSLATE_NOOP("Ftp", "FtpCreateDirectory失敗"));
    }
    return 1;
}

int MakeLocalDir(const std::string &folder)
{
    if (platform::directoryExists(folder))
        return 1;
    if (!platform::makeDirectory(folder)) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "CreateDirectory失敗"));
        return 0;
    }
    return 1;
}

int RemoveRemoteDir(const std::string &folder)
{
    if (!needSession())
        return 1;
    if (!sessionCall([&] { return client()->removeDirectory(folder); })) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "FtpRemoveDirectory失敗"));
        return 0;
    }
    ShowStatus("FtpRemoveDirectory", 0);
    return 1;
}

int RemoveLocalDir(const std::string &folder)
{
    // A link is never a folder to remove: the delete took it away as a link.
    if (!platform::directoryExists(folder) || platform::isSymbolicLink(folder))
        return 1;
    if (!platform::removeDirectory(folder))
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "RemoveDirectory失敗"));
    else
        ShowStatus("RemoveDirectory", 0);
    return 1;
}

int SetRemoteDir(const std::string &folder)
{
    if (!needSession())
        return 0;
    if (sessionCall([&] { return client()->setCurrentDirectory(folder); })) {
        ShowStatus("FtpSetCurrentDirectory", 0);
        return 1;
    }
    // One reconnect, never from inside a reconnect.
    if (g_reconnecting || !callReconnect()) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "FtpSetCurrentDirectory失敗"));
        return 1;
    }
    if (client() && sessionCall([&] { return client()->setCurrentDirectory(folder); }))
        ShowStatus("FtpSetCurrentDirectory", 0);
    else
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "FtpSetCurrentDirectory失敗"));
    return 1;
}

int EnterRemoteLink(const std::string &name)
{
    if (!needSession())
        return 1;
    if (sessionCall([&] { return client()->setCurrentDirectory(name); })) {
        ShowStatus("FtpSetCurrentDirectory", 0);
        return 1;
    }
    if (platform::lastError() == platform::err::InternetExtendedError)
        return 0;
    return SetRemoteDir(name);
}

int SetLocalDir(const std::string &folder)
{
    if (!platform::setCurrentDirectory(folder)) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "SetCurrentDirectory失敗"));
        return 0;
    }
    ShowStatus("SetCurrentDirectory", 0);
    return 1;
}

int GetRemoteDir(std::string &folder)
{
    if (!needSession())
        return 1;
    if (sessionCall([&] { return client()->getCurrentDirectory(folder); }, Call::AsksOnly))
        return 1;
    if (!g_reconnecting)
        callReconnect();
    if (client() && g_sessionOpen == 1 && sessionCall([&] { return client()->getCurrentDirectory(folder); }))
        return 1;
    ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "FtpGetCurrentDirectory失敗"));
    return 0;
}

int IsRemoteDirShown(std::string &folder)
{
    if (!needSession())
        return 0;
    if (!sessionCall([&] { return client()->getCurrentDirectory(folder); }, Call::AsksOnly)) {
        // This is the probe of a reconnect, which repairs what it finds: the
        // failure goes to the status bar only, so that a repaired connection
        // never stops the user with a message box.
        ShowStatus(failed(ui::translated("Ftp", "FtpGetCurrentDirectory失敗"), platform::lastError()) + "\n ",
                   0);
        return 0;
    }
    const std::string shown = MainForm ? MainForm->ComboCurrDir->textBytes() : std::string();
    return AsciiLower(folder) == AsciiLower(shown) ? 1 : 0;
}

int RenameRemote(const std::string &oldName, const std::string &newName)
{
    if (!needSession())
        return 1;
    if (!sessionCall([&] { return client()->renameFile(oldName, newName); })) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "FtpRenameFile失敗"));
        return 0;
    }
    ShowStatus("FtpRenameFile", 0);
    return 1;
}

int RenameLocal(const std::string &oldName, const std::string &newName)
{
    if (!needSession())
        return 1;
    if (!platform::renameFile(oldName, newName)) {
        ReportError(platform::lastError(), QT_TRANSLATE_NOOP("Ftp", "RenameFile失敗"));
        return 0;
    }
    ShowStatus("RenameFile", 0);
    return 1;
}

ReconnectScope::ReconnectScope()
{
    g_reconnecting = true;
}

ReconnectScope::~ReconnectScope()
{
    g_reconnecting = false;
}

// --- Directory listings ---

int ListLocal()
{
    MainForm->LocalFileListV->clear();
    MainForm->LocalFileCount = 0;
    MainForm->LocalDirCount = 0;
    bool ok = false;
    std::vector<platform::FindRecord> records = platform::findLocal("*.*", ok);
    if (!ok)
        return 0;
    // The file system gives no order; the list shows names in the order the
    // program's users know, letter case ignored (exact bytes break ties).
    std::sort(records.begin(), records.end(),
              [](const platform::FindRecord &a, const platform::FindRecord &b) {
                  const int order = CompareTextNoCase(a.name, b.name);
                  return order != 0 ? order < 0 : a.name < b.name;
              });
    for (const platform::FindRecord &record : records)
        MainForm->AddFileEntry(record, LocalSide);
    return 1;
}

int RefreshLocalList()
{
    if (ListLocal() == 0) {
        ShowStatus("No file found", 0);
        return 0;
    }
    return 1;
}

void ListRemote()
{
    MainForm->RemoteFileListV->clear();
    MainForm->RemoteDirCount = 0;
    MainForm->RemoteFileCount = 0;
    MainForm->UnsafeNameCount = 0;
    MainForm->RemoteLinks.clear();
    std::vector<platform::FindRecord> records;
    size_t skipped = 0;
    const bool ok = FindRemote("*.*", records, skipped);
    const uint32_t code = platform::lastError();
    g_nameEncoding.FolderListingStarted();
    if (!ok && records.empty()) {
        if (code == platform::err::NoMoreFiles)
            ShowStatus("Directory is empty.", 0);
        else
            ReportError(code, QT_TRANSLATE_NOOP("Ftp", "FindFirst失敗"));
        reportSkippedNames(skipped);
        return;
    }
    // A link is shown as a folder the user can try to enter, unless it was
    // found to lead to a file; which folder this is is asked only then.
    std::string folder;
    bool folderKnown = false;
    for (const platform::FindRecord &record : records) {
        g_nameEncoding.NoteListedName(record.name);
        if (!record.symlink || record.isDirectory()) {
            MainForm->AddFileEntry(record, RemoteSide);
            continue;
        }
        if (!folderKnown && !MainForm->RemoteFileLinks.empty()) {
            folderKnown = true;
            if (!sessionCall([&] { return client()->getCurrentDirectory(folder); }, Call::AsksOnly))
                folder.clear();
        }
        platform::FindRecord shown = record;
        if (!folder.empty()
            && MainForm->RemoteFileLinks.count(TMainForm::RemoteLinkPath(folder, record.name))) {
            shown.attributes = platform::AttrNormal;
        } else {
            shown.attributes = platform::AttrDirectory;
            MainForm->RemoteLinks.insert(record.name);
        }
        MainForm->AddFileEntry(shown, RemoteSide);
    }
    if (!ok && code != platform::err::NoMoreFiles)
        ReportError(code, QT_TRANSLATE_NOOP("Ftp", "InternetFindNextFile失敗"));
    reportSkippedNames(skipped + static_cast<size_t>(MainForm->UnsafeNameCount));
}

int RefreshRemoteList()
{
    if (g_sessionOpen != 1) {
        ReportNoSession();
        return 0;
    }
    ListRemote();
    return 1;
}

namespace {
// What a link of the current folder leads to, for the download daemon's
// compare: known from an earlier try, or tried once now (a change into it and
// back) and kept. -1: the server could not tell (the connection); the link is
// left out of this pass.
int remoteLinkKind(const std::string &folder, const std::string &name)
{
    const std::string path = TMainForm::RemoteLinkPath(folder, name);
    if (MainForm->RemoteFileLinks.count(path))
        return 0;
    if (MainForm->RemoteFolderLinks.count(path))
        return 1;
    if (folder.empty())
        return -1;
    if (sessionCall([&] { return client()->setCurrentDirectory(name); })) {
        if (!sessionCall([&] { return client()->setCurrentDirectory(folder); }))
            return -1;
        MainForm->RemoteFolderLinks.insert(path);
        return 1;
    }
    if (platform::lastError() != platform::err::InternetExtendedError)
        return -1;
    MainForm->RemoteFileLinks.insert(path);
    return 0;
}
} // namespace

int ListRemoteForCompare()
{
    std::vector<platform::FindRecord> records;
    size_t skipped = 0;
    const bool ok = client() && FindRemote("*.*", records, skipped);
    const uint32_t code = client() ? platform::lastError() : platform::err::FtpDropped;
    g_nameEncoding.FolderListingStarted();
    if (!ok && records.empty()) {
        if (code == platform::err::NoMoreFiles)
            ShowStatus("Directory is empty.", 0);
        else
            ReportError(code, QT_TRANSLATE_NOOP("Ftp", "FindFirst失敗"));
        return 0;
    }
    int index = 0;
    size_t unsafe = 0;
    // A link is compared as the file it leads to; one to a folder is a folder,
    // which the compare passes over like the others.
    std::string folder;
    bool folderKnown = false;
    for (const platform::FindRecord &record : records) {
        if (index >= RemoteSnapshotSlots)
            break;
        g_nameEncoding.NoteListedName(record.name);
        if (!IsSafeRemoteName(record.name)) {
            ++unsafe;
            continue;
        }
        if (record.symlink && !record.isDirectory()) {
            if (!folderKnown) {
                folderKnown = true;
                if (!sessionCall([&] { return client()->getCurrentDirectory(folder); }, Call::AsksOnly))
                    folder.clear();
            }
            if (remoteLinkKind(folder, record.name) != 0)
                continue;
        }
        if (MainForm->RecordRemoteSnapshot(record, index) > 0)
            ++index;
    }
    reportSkippedNames(skipped + unsafe);
    if (!ok && code != platform::err::NoMoreFiles) {
        ReportError(code, QT_TRANSLATE_NOOP("Ftp", "InternetFindNextFile失敗"));
        return 0;
    }
    return index;
}

int RemoteExists(const std::string &name)
{
    if (!client() || g_sessionOpen != 1)
        return 0;
    std::vector<platform::FindRecord> records;
    size_t skipped = 0;
    return FindRemote(name, records, skipped) ? 1 : 0;
}

namespace {

// The last listing of the session while a ListingReuse is alive.
struct ListingCache {
    int scopes = 0;
    bool valid = false;
    uint64_t serial = 0; // g_commandSerial right after it
    std::string pattern;
    std::vector<platform::FindRecord> records;
    size_t skipped = 0;
    bool ok = false;
    uint32_t code = 0;
    std::string response;
};

ListingCache &listingCache()
{
    static ListingCache cache;
    return cache;
}

} // namespace

ListingReuse::ListingReuse()
{
    ++listingCache().scopes;
}

ListingReuse::~ListingReuse()
{
    ListingCache &cache = listingCache();
    if (--cache.scopes == 0) {
        cache.valid = false;
        cache.records.clear();
    }
}

bool FindRemote(const std::string &pattern, std::vector<platform::FindRecord> &records, size_t &skipped)
{
    records.clear();
    skipped = 0;
    if (!client()) {
        platform::setLastError(platform::err::FtpDropped);
        return false;
    }
    ListingCache &cache = listingCache();
    const bool reusing = cache.scopes > 0 && ui::isInterfaceThread();
    if (reusing && cache.valid && cache.serial == g_commandSerial && cache.pattern == pattern) {
        records = cache.records;
        skipped = cache.skipped;
        platform::setLastError(cache.code);
        platform::setLastResponseText(cache.response);
        return cache.ok;
    }
    const bool ok = sessionCall(
        [&] {
            bool found = client()->find(pattern, records);
            skipped = client()->skippedNames();
            // The temporaries of our uploads are never shown or compared.
            const auto temporaries = std::remove_if(records.begin(), records.end(), [](const auto &record) {
                return platform::isTransferTempName(record.name);
            });
            if (temporaries != records.end()) {
                records.erase(temporaries, records.end());
                if (found && records.empty()) {
                    found = false;
                    platform::setLastError(platform::err::NoMoreFiles);
                }
            }
            return found;
        },
        Call::AsksOnly);
    // A failed listing is not kept: the next one tries again.
    if (reusing && (ok || platform::lastError() == platform::err::NoMoreFiles)) {
        cache = {cache.scopes,
                 true,
                 g_commandSerial.load(),
                 pattern,
                 records,
                 skipped,
                 ok,
                 platform::lastError(),
                 platform::lastResponseText()};
    }
    return ok;
}

void CancelDownload()
{
    g_cancelDownload = true;
    g_runCancelled = true;
    if (ui::isInterfaceThread() && TransferRun::Current())
        TransferRun::Current()->Wake();
}

void ResetDownloadCancel()
{
    g_cancelDownload = false;
}

// --- Transfer primitives ---

int SetAsciiMode()
{
    SetTransferType(FtpTransferAscii);
    ShowStatus(ui::translated("Ftp", "転送モードをASCIIにしました"), 0);
    return 1;
}

int SetBinaryMode()
{
    SetTransferType(FtpTransferBinary);
    ShowStatus(ui::translated("Ftp", "転送モードをバイナリにしました"), 0);
    return 1;
}

namespace {

platform::TransferType sessionTransferType()
{
    if (g_transferType == FtpTransferAscii && client() && !client()->convertsText()
        && !g_textModeNoticeShown) {
        g_textModeNoticeShown = true;
        ShowStatus(ui::translated("Ftp", "この接続ではASCIIﾓｰﾄﾞは使えません。ﾌｧｲﾙはそのまま転送します"), 999);
    }
    return g_transferType == FtpTransferAscii ? platform::TransferType::Ascii
                                              : platform::TransferType::Binary;
}

} // namespace

namespace {

// Reports a failed upload: the messages for an invalid parameter and a missing
// local file, then the code.
// `named`: a file of a run over several connections, whose failure names it
// (other files go on meanwhile).
void putFailed(uint32_t code, const std::string &localFile, const std::string &remoteFile, bool named = false)
{
    clearFailedTransferCount();
    if (code == platform::err::InvalidParameter) {
        errorBox(ui::translate("Ftp", "ﾊﾟﾗﾒｰﾀが間違っています。"));
        errorBox(ui::toQ(ui::displayText(localFile) + ":" + ui::displayText(remoteFile)));
    } else if (code == platform::err::FileNotFound) {
        errorBox(ui::fillQ(ui::translate("Ftp", "%1 が見つかりませんでした"), {localFile}));
    }
    ReportFileError(code, QT_TRANSLATE_NOOP("Ftp", "FtpPutFile失敗"), named ? localFile : std::string());
}

void getFailed(uint32_t code, const std::string &remoteFile = {})
{
    clearFailedTransferCount();
    ReportFileError(code, QT_TRANSLATE_NOOP("Ftp", "FtpGetFile失敗"), remoteFile);
}

} // namespace

int64_t ListedRemoteSize(const std::string &remoteFile)
{
    if (!MainForm)
        return -1;
    for (int i = 0; i < MainForm->RemoteFileListV->rowCount(); ++i) {
        const QTreeWidgetItem *row = MainForm->RemoteFileListV->row(i);
        if (ui::ListView::rowName(row) != remoteFile)
            continue;
        const std::string size = ui::fromQ(row->text(2));
        if (size.empty() || size[0] < '0' || size[0] > '9')
            return -1;
        return static_cast<int64_t>(std::min<uint64_t>(SizeTextValue(size), INT64_MAX));
    }
    return -1;
}

namespace {

// A failure a run that reconnects takes on itself: the connection went, its
// data connection could no longer be made, or the server broke off.
bool lostConnection(uint32_t code, const std::string &response)
{
    return platform::isConnectionLoss(code) || platform::isConnectionLoss(code, response);
}

// A failed transfer's report; a lost connection with `reportLoss` false (a run
// that reconnects gives its own message) only in the status bar. The last
// error is the transfer's afterwards.
template <typename Report> void transferFailed(bool reportLoss, Report report)
{
    const uint32_t code = platform::lastError();
    const std::string response = platform::lastResponseText();
    {
        const ErrorBoxMute mute(!reportLoss && lostConnection(code, response));
        report(code);
    }
    platform::setLastResponseText(response);
    platform::setLastError(code);
}

int putNow(const std::string &localFile, const std::string &remoteFile, bool reportLoss)
{
    if (!needSession())
        return 0;
    g_byteCountShown = false;
    const platform::TransferType type = sessionTransferType();
    struct stat st {};
    g_transferTotal = ::stat(localFile.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    const bool sent = sessionCall(
        [&] { return safeTransfer().put(*client(), localFile, remoteFile, type, ContextUpload); });
    g_transferTotal = 0;
    if (!sent) {
        transferFailed(reportLoss, [&](uint32_t code) { putFailed(code, localFile, remoteFile); });
        return 0;
    }
    return 1;
}

int getNow(const std::string &remoteFile, const std::string &localFile, bool reportLoss)
{
    if (!needSession())
        return 0;
    g_byteCountShown = false;
    const platform::TransferType type = sessionTransferType();
    // The size the remote list shows for the file, when it shows the file.
    const int64_t listed = ListedRemoteSize(remoteFile);
    g_transferTotal = listed > 0 ? static_cast<uint64_t>(listed) : 0;
    const bool received = sessionCall(
        [&] { return safeTransfer().get(*client(), remoteFile, localFile, type, ContextDownload, listed); });
    g_transferTotal = 0;
    if (!received) {
        transferFailed(reportLoss, [](uint32_t code) { getFailed(code); });
        return 0;
    }
    return 1;
}

} // namespace

int PutFile(const std::string &localFile, const std::string &remoteFile)
{
    return putNow(localFile, remoteFile, true);
}

int GetFile(const std::string &remoteFile, const std::string &localFile)
{
    return getNow(remoteFile, localFile, true);
}

namespace {

// A file of a multi-file run on a free connection, or at once on the session.
void startTransfer(bool upload, const std::string &localFile, const std::string &remoteFile, bool quiet,
                   std::function<void(int done)> then)
{
    TransferRun *run = TransferRun::Current();
    if (run && run->GaveUp()) {
        then(0);
        return;
    }
    if (!run || !run->Parallel() || !SessionOpen() || !client()) {
        const ErrorBoxMute mute(quiet);
        // A run that reconnects takes a lost connection on itself: the file
        // goes again once the session is back.
        const bool recovers = run && run->ReconnectsOnLoss() && SessionOpen();
        const auto transfer = [&](bool reportLoss) {
            return upload ? putNow(localFile, remoteFile, reportLoss)
                          : getNow(remoteFile, localFile, reportLoss);
        };
        int done = transfer(!recovers);
        if (!done && recovers && lostConnection(platform::lastError(), platform::lastResponseText()))
            done = run->RepairConnection() && !g_runCancelled ? transfer(true) : 0;
        then(done);
        return;
    }
    const platform::TransferType type = sessionTransferType();
    const int64_t listed = upload ? -1 : ListedRemoteSize(remoteFile);
    // Each file its own context, for its byte counts.
    const uint32_t context = ContextRunFile + ((g_runSerial++ & 0x3FFFFFFF) << 1) + (upload ? 0 : 1);
    run->Start(
        remoteFile,
        [upload, localFile, remoteFile, type, listed, context](platform::RemoteSession &c) {
            {
                const std::lock_guard lock(g_runProgress.mutex);
                g_runProgress.latest = context;
            }
            return upload ? safeTransfer().put(c, localFile, remoteFile, type, context)
                          : safeTransfer().get(c, remoteFile, localFile, type, context, listed);
        },
        [upload, localFile, remoteFile, quiet](uint32_t code) {
            const ErrorBoxMute mute(quiet);
            if (upload)
                putFailed(code, localFile, remoteFile, true);
            else
                getFailed(code, remoteFile);
        },
        [context, then = std::move(then)](int result) {
            runFileEnded(context, result != 0);
            then(result);
        });
}

} // namespace

void StartPutFile(const std::string &localFile, const std::string &remoteFile, bool quiet,
                  std::function<void(int sent)> then)
{
    startTransfer(true, localFile, remoteFile, quiet, std::move(then));
}

void StartGetFile(const std::string &remoteFile, const std::string &localFile, bool quiet,
                  std::function<void(int received)> then)
{
    startTransfer(false, localFile, remoteFile, quiet, std::move(then));
}

// --- Multi-file runs ---

namespace {
TransferRun *g_currentRun = nullptr;

// "index.html" in any folder: the page that links the others goes up last.
bool isIndexPage(const std::string &remoteName)
{
    const size_t slash = remoteName.rfind('/');
    return AsciiLower(slash == std::string::npos ? remoteName : remoteName.substr(slash + 1)) == "index.html";
}
} // namespace

// The completions the connections hand back, and the wait they end.
struct TransferRun::Shared {
    std::mutex mutex;
    std::deque<std::function<void()>> completions;
    ui::InterfaceWait *wait = nullptr;

    void wake()
    {
        const std::lock_guard lock(mutex);
        if (wait)
            wait->finish();
    }
};

TransferRun::TransferRun(int rows, bool reconnects)
    : m_connections(ConnectionPool::connectionsFor(g_transferConnections, rows)), m_reconnects(reconnects),
      m_shared(std::make_shared<Shared>()), m_outer(g_currentRun)
{
    g_runCancelled = false;
    if (!g_currentRun) {
        const std::lock_guard lock(g_runProgress.mutex);
        g_runProgress.moving.clear();
        g_runProgress.ended = 0;
        g_runProgress.latest = 0;
    }
    g_currentRun = this;
    // Without a session every file fails at once, as single transfers do.
    if (g_sessionOpen != 1 || !client())
        m_connections = 1;
}

TransferRun::~TransferRun()
{
    Finish();
    ClosePool();
    // Out of the chain of open runs, wherever this one sits in it.
    if (g_currentRun == this) {
        g_currentRun = m_outer;
    } else {
        for (TransferRun *run = g_currentRun; run; run = run->m_outer) {
            if (run->m_outer == this) {
                run->m_outer = m_outer;
                break;
            }
        }
    }
}

TransferRun *TransferRun::Current()
{
    return g_currentRun;
}

void TransferRun::Wake()
{
    m_shared->wake();
}

void TransferRun::ClosePool()
{
    // Closing the extra connections waits for their goodbyes: off the
    // interface thread, with the windows painting.
    if (m_pool && ui::isInterfaceThread()) {
        ui::InterfaceWait wait;
        std::thread closer([&] {
            m_pool.reset();
            wait.finish();
        });
        wait.wait();
        closer.join();
    }
    m_pool.reset();
}

void TransferRun::OpenPool()
{
    ConnectionPool::Login login;
    login.server = g_connectedServer;
    login.user = g_user;
    login.password = g_password;
    login.options = g_options;
    login.cancel = &g_cancelDownload;
    login.status = statusCallback;
    const bool secure = !client()->securityProtocol().empty();
    login.secure = secure;
    if (secure)
        login.fingerprint = client()->certificateFingerprint();
    // The extra connections start where the session is (login.directory left
    // empty: the pool asks the session); they open only when files wait.
    ConnectionPool::Main main;
    main.client = client();
    main.post = [](std::function<void()> fn) { sessionThread().post(std::move(fn)); };
    m_pool = std::make_unique<ConnectionPool>(std::move(login), m_connections, std::move(main));
}

void TransferRun::Start(const std::string &remoteName, Work work, std::function<void(uint32_t code)> failed,
                        std::function<void(int result)> then)
{
    Pending file{std::move(work), std::move(failed), std::move(then)};
    // The page that links the others goes up when everything else is there.
    if (isIndexPage(remoteName)) {
        m_lastFiles.push_back(std::move(file));
        return;
    }
    Queue(std::move(file));
}

void TransferRun::Queue(Pending file)
{
    for (;;) {
        while (m_inFlight >= m_connections && WaitForOne()) {
        }
        if (m_lost.empty())
            break;
        Recover();
    }
    if (g_runCancelled || m_gaveUp) {
        file.then(0);
        return;
    }
    Dispatch(std::move(file));
}

void TransferRun::Dispatch(Pending file)
{
    if (!m_pool)
        OpenPool();
    ++m_inFlight;
    ++g_commandSerial;
    std::weak_ptr<Shared> shared = m_shared;
    ConnectionPool::Work work = file.work;
    // The completion runs in WaitForOne of this run, so `this` is alive then.
    m_pool->queue(std::move(work),
                  [this, shared, file = std::move(file)](const ConnectionPool::Result &result) {
                      const auto target = shared.lock();
                      if (!target)
                          return;
                      const std::lock_guard lock(target->mutex);
                      target->completions.push_back([this, result, file]() mutable {
                          if (!result.ok && result.started && m_reconnects && !file.again
                              && (lostConnection(result.code, result.response) || result.stranded)) {
                              // Goes again after the reconnect: the loss shows in the
                              // status bar only, a box comes if the file fails again.
                              platform::setLastError(result.code);
                              platform::setLastResponseText(result.response);
                              {
                                  const ErrorBoxMute mute(true);
                                  file.failed(result.code);
                              }
                              file.again = true;
                              m_lost.push_back(std::move(file));
                              return;
                          }
                          if (!result.ok && result.started) {
                              platform::setLastError(result.code);
                              platform::setLastResponseText(result.response);
                              file.failed(result.code);
                          }
                          file.then(result.ok ? 1 : 0);
                      });
                      if (target->wait)
                          target->wait->finish();
                  });
}

void TransferRun::Recover()
{
    // The files still under way end first: the reconnect replaces the
    // session's client, which the pool works on.
    while (WaitForOne()) {
    }
    std::deque<Pending> lost;
    lost.swap(m_lost);
    const bool repaired = !g_runCancelled && RepairConnection();
    for (Pending &file : lost) {
        if (repaired && !g_runCancelled)
            Dispatch(std::move(file));
        else
            file.then(0);
    }
}

bool TransferRun::RepairConnection()
{
    if (m_gaveUp)
        return false;
    ClosePool();
    bool repaired = false;
    {
        // The reconnect's own steps show no boxes: the run gives the one message.
        const ErrorBoxMute mute(true);
        repaired = callReconnect() && g_sessionOpen == 1;
    }
    if (repaired)
        return true;
    const std::string reason = GetErrorText(platform::lastError());
    m_gaveUp = true;
    clearFailedTransferCount();
    const QString text =
        ui::translate("Ftp", "ｻｰﾊﾞｰとの接続が切れ、再接続できなかったため転送を中止しました。");
    ui::dialogs().message(reason.empty() ? text : text + QLatin1Char('\n') + ui::toQ(reason));
    // Nothing else of this action reports the same loss again.
    g_connectionLossReported = true;
    return false;
}

// Runs the completions that have arrived, else waits for one; false when
// nothing is left to wait for.
bool TransferRun::WaitForOne()
{
    for (;;) {
        if (g_runCancelled && m_pool) {
            // Files that never started end unsent, without a failure report.
            ConnectionPool::Result cancelled;
            cancelled.code = platform::err::OperationCancelled;
            cancelled.started = false;
            for (const ConnectionPool::Done &done : m_pool->dropQueued())
                done(cancelled);
        }
        std::deque<std::function<void()>> arrived;
        {
            const std::lock_guard lock(m_shared->mutex);
            arrived.swap(m_shared->completions);
        }
        if (!arrived.empty()) {
            for (std::function<void()> &completion : arrived) {
                --m_inFlight;
                completion();
            }
            return true;
        }
        if (m_inFlight <= 0)
            return false;
        ui::InterfaceWait wait;
        {
            const std::lock_guard lock(m_shared->mutex);
            if (!m_shared->completions.empty())
                continue;
            m_shared->wait = &wait;
        }
        wait.wait();
        const std::lock_guard lock(m_shared->mutex);
        m_shared->wait = nullptr;
    }
}

void TransferRun::Finish()
{
    for (;;) {
        while (WaitForOne()) {
        }
        if (!m_lost.empty()) {
            Recover();
            continue;
        }
        if (m_lastFiles.empty())
            return;
        Pending file = std::move(m_lastFiles.front());
        m_lastFiles.pop_front();
        Queue(std::move(file));
    }
}

void ReportUnsafeNames(size_t count)
{
    reportSkippedNames(count);
}

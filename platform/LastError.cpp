// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LastError.h"

#include <cerrno>

namespace platform {

namespace {
thread_local uint32_t t_lastError = 0;
thread_local std::string t_lastResponse;
} // namespace

uint32_t lastError()
{
    return t_lastError;
}

void setLastError(uint32_t code)
{
    t_lastError = code;
}

bool isConnectionLoss(uint32_t code)
{
    return code == err::InternetTimeout || code == err::CannotConnect || code == err::ConnectionAborted
           || code == err::ConnectionReset || code == err::FtpDropped;
}

uint32_t errorFromErrno(int e)
{
    switch (e) {
    case 0:
        return err::Success;
    case ENOENT:
        return err::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return err::AccessDenied;
    case ETXTBSY:
    case EBUSY:
        return err::SharingViolation;
    case ENOTEMPTY:
        return err::DirNotEmpty;
    case EEXIST:
        return err::AlreadyExists;
    case EINVAL:
    case EXDEV:
        return err::InvalidParameter;
    case ETIMEDOUT:
    case EAGAIN:
        return err::InternetTimeout;
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EADDRNOTAVAIL:
        return err::CannotConnect;
    case ECONNABORTED:
    case EPIPE:
        return err::ConnectionAborted;
    case ECONNRESET:
        return err::ConnectionReset;
    default:
        // Anything else keeps its errno value offset into a private range so it is
        // still a failure the callers can report with a number.
        return 20000u + static_cast<uint32_t>(e);
    }
}

uint32_t setLastErrorFromErrno(int e)
{
    const uint32_t code = errorFromErrno(e);
    t_lastError = code;
    return code;
}

const std::string &lastResponseText()
{
    return t_lastResponse;
}

void setLastResponseText(std::string text)
{
    t_lastResponse = std::move(text);
}

// The texts are Japanese; the interface translates them where it shows them
// (TEXT_NOOP only marks them for the translation tools).
#define TEXT_NOOP(context, text) text

std::string errorText(uint32_t code)
{
    switch (code) {
    case err::FileNotFound:
        return TEXT_NOOP("Errors", "指定されたファイルが見つかりません。");
    case err::PathNotFound:
        return TEXT_NOOP("Errors", "指定されたパスが見つかりません。");
    case err::AccessDenied:
        return TEXT_NOOP("Errors", "アクセスが拒否されました。");
    case err::ListingTooLarge:
        return TEXT_NOOP("Errors", "フォルダーの一覧が上限を超えたため、途中で打ち切りました。");
    case err::NoMoreFiles:
        return TEXT_NOOP("Errors", "これ以上ファイルはありません。");
    case err::SharingViolation:
        return TEXT_NOOP("Errors", "プロセスはファイルにアクセスできません。別のプロセスが使用中です。");
    case err::InvalidParameter:
        return TEXT_NOOP("Errors", "パラメーターが間違っています。");
    case err::DirNotEmpty:
        return TEXT_NOOP("Errors", "ディレクトリが空ではありません。");
    case err::AlreadyExists:
        return TEXT_NOOP("Errors", "既に存在するファイルを作成することはできません。");
    case err::NotRegularFile:
        return TEXT_NOOP("Errors",
                         "通常のファイルではないため、開けません (FIFO、ソケット、デバイスは扱えません)。");
    case err::TransferIncomplete:
        return TEXT_NOOP("Errors", "転送が途中で打ち切られました。");
    case err::InternetTimeout:
        return TEXT_NOOP("Errors", "操作はタイムアウトしました。");
    case err::InternetExtendedError:
        return t_lastResponse;
    case err::NameNotResolved:
        return TEXT_NOOP("Errors", "サーバー名またはアドレスは解決されませんでした。");
    case err::IncorrectPassword:
        return TEXT_NOOP("Errors", "パスワードが正しくありません。");
    case err::LoginFailure:
        return TEXT_NOOP("Errors", "ログインに失敗しました。");
    case err::CannotConnect:
        return TEXT_NOOP("Errors", "サーバーに接続できませんでした。");
    case err::ConnectionAborted:
        return TEXT_NOOP("Errors", "サーバーとの接続が切断されました。");
    case err::ConnectionReset:
        return TEXT_NOOP("Errors", "サーバーとの接続がリセットされました。");
    case err::FtpDropped:
        return TEXT_NOOP("Errors", "FTP セッションが切断されました。");
    case err::SecureCertificateRejected:
        return TEXT_NOOP("Errors",
                         "サーバーの証明書またはホスト鍵が信頼されていないため、接続しませんでした。");
    case err::SecureChannelError:
        return t_lastResponse.empty()
                   ? std::string(TEXT_NOOP("Errors", "暗号化された接続 (TLS) を確立できませんでした。"))
                   : TEXT_NOOP("Errors", "暗号化された接続 (TLS) を確立できませんでした。")
                         + std::string("\n") + t_lastResponse;
    default:
        return {};
    }
}

} // namespace platform

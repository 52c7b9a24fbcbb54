// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session/CertificateTrust.h"

#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/Text.h"

#include <algorithm>
#include <vector>

namespace {

struct Entry {
    std::string site;
    std::string fingerprint;
};

// `unreadable` tells whether the file exists but could not be read (a missing
// file is simply empty).
std::vector<Entry> readEntries(const std::string &path, bool *unreadable = nullptr)
{
    std::vector<Entry> entries;
    std::string data;
    const bool read = platform::readWholeFile(path, data);
    if (unreadable)
        *unreadable = !read && platform::lastError() != platform::err::FileNotFound;
    if (!read)
        return entries;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find('\n', pos);
        if (end == std::string::npos)
            end = data.size();
        const std::string line = data.substr(pos, end - pos);
        pos = end + 1;
        const size_t blank = line.find(' ');
        if (blank != std::string::npos && blank > 0 && blank + 1 < line.size())
            entries.push_back({line.substr(0, blank), line.substr(blank + 1)});
    }
    return entries;
}

// Why the check failed, in the user's words; OpenSSL's own text follows.
std::string reasonText(const platform::CertificateInfo &c)
{
    const char *reason = QT_TRANSLATE_NOOP("Trust", "証明書を検証できません");
    switch (c.verifyCode) {
    case 18: // depth zero self-signed
    case 19: // self-signed in chain
        reason = QT_TRANSLATE_NOOP("Trust", "自己署名の証明書です");
        break;
    case 2:
    case 20:
    case 21:
        reason = QT_TRANSLATE_NOOP("Trust", "発行元を確認できません");
        break;
    case 10:
        reason = QT_TRANSLATE_NOOP("Trust", "有効期限が切れています");
        break;
    case 9:
        reason = QT_TRANSLATE_NOOP("Trust", "まだ有効になっていません");
        break;
    case 62:
    case 64:
        reason = QT_TRANSLATE_NOOP("Trust", "ホスト名が証明書と一致しません");
        break;
    default:
        break;
    }
    return ui::fill(QStringLiteral("%1 (%2)"), {ui::translated("Trust", reason), c.verifyText});
}

} // namespace

TrustedCertificates::Match TrustedCertificates::find(const std::string &site, const std::string &fingerprint,
                                                     std::string *stored) const
{
    for (const Entry &e : readEntries(m_path)) {
        if (e.site != site)
            continue;
        if (stored)
            *stored = e.fingerprint;
        return e.fingerprint == fingerprint ? Match::Same : Match::Changed;
    }
    return Match::Unknown;
}

TrustedCertificates::Kept TrustedCertificates::remember(const std::string &site,
                                                        const std::string &fingerprint,
                                                        bool replaceUnreadable) const
{
    std::string data;
    bool unreadable = false;
    for (const Entry &e : readEntries(m_path, &unreadable)) {
        if (e.site != site)
            data += e.site + ' ' + e.fingerprint + '\n';
    }
    if (unreadable && !replaceUnreadable)
        return Kept::FileUnreadable;
    data += site + ' ' + fingerprint + '\n';
    return platform::writeFileAtomic(m_path, data, 0600) ? Kept::Saved : Kept::Failed;
}

std::string TrustedCertificatesPath(const std::string &iniPath)
{
    const size_t slash = iniPath.rfind('/');
    return (slash == std::string::npos ? std::string() : iniPath.substr(0, slash + 1)) + "Vexmora.TRUST";
}

std::string CertificateSite(const platform::CertificateInfo &certificate)
{
    const bool v6 = certificate.host.find(':') != std::string::npos;
    return (v6 ? "[" + certificate.host + "]" : certificate.host) + ":" + std::to_string(certificate.port);
}

bool TrustCertificate(const platform::CertificateInfo &certificate, const std::string &storePath)
{
    const TrustedCertificates store(storePath);
    const std::string site = CertificateSite(certificate);
    std::string stored;
    const TrustedCertificates::Match match = store.find(site, certificate.fingerprint, &stored);
    if (match == TrustedCertificates::Match::Same)
        return true;
    if (match == TrustedCertificates::Match::Changed)
        ui::dialogs().message(
            ui::fillQ(ui::translate("Trust", "警告: %1 の証明書が、以前に信頼した証明書と異なります。\n"
                                             "第三者が通信に割り込んでいる可能性があります。\n\n"
                                             "信頼した証明書の SHA-256 指紋:\n%2"),
                      {site, stored}));
    const QString question =
        ui::fillQ(ui::translate("Trust", "サーバーの証明書を確認できませんでした。\n\n"
                                         "ホスト: %1\n理由: %2\n発行先: %3\n発行者: %4\n"
                                         "有効期間: %5 ～ %6\nSHA-256 指紋:\n%7\n\n"
                                         "この証明書を信頼して接続しますか?"),
                  {site, reasonText(certificate), certificate.subject, certificate.issuer,
                   certificate.notBefore, certificate.notAfter, certificate.fingerprint});
    if (!ui::dialogs().confirm(question))
        return false;
    TrustedCertificates::Kept kept = store.remember(site, certificate.fingerprint);
    // A file that exists but could not be read still holds the certificates
    // trusted before: it stays until it can be read, unless the user starts anew.
    if (kept == TrustedCertificates::Kept::FileUnreadable
        && ui::dialogs().confirm(ui::fillQ(
            ui::translate("Trust", "%1\nを読み込めなかったため、信頼した証明書を保存しませんでした。"
                                   "\nこのファイルは読み込めるようになるまでそのまま残します。"
                                   "\n\n新しいファイルを作成して置き換えますか？"
                                   "\n(元のファイルに記録された証明書は失われます)"),
            {storePath})))
        kept = store.remember(site, certificate.fingerprint, true);
    if (kept == TrustedCertificates::Kept::Failed)
        ui::dialogs().message(ui::translate("Trust", "信頼した証明書を保存できませんでした。"));
    return true;
}

std::string KnownHostsPath(const std::string &iniPath)
{
    const size_t slash = iniPath.rfind('/');
    return (slash == std::string::npos ? std::string() : iniPath.substr(0, slash + 1)) + "known_hosts";
}

bool TrustHostKey(const platform::HostKeyInfo &key)
{
    if (key.changed) {
        ui::dialogs().message(ui::fillQ(
            ui::translate("Trust", "警告: %1 のホスト鍵が、登録されている鍵と異なります。\n"
                                   "第三者が通信に割り込んでいる可能性があるため、接続しませんでした。\n\n"
                                   "登録されている鍵の指紋:\n%2\n"
                                   "サーバーが示した鍵 (%3) の指紋:\n%4"),
            {key.site, key.knownFingerprint, key.type, key.fingerprint}));
        return false;
    }
    return ui::dialogs().confirm(ui::fillQ(ui::translate("Trust", "ホスト %1 の鍵は登録されていません。\n\n"
                                                                  "鍵の種類: %2\n指紋: %3\n\n"
                                                                  "この鍵を信頼して接続しますか?"),
                                           {key.site, key.type, key.fingerprint}));
}

bool AskPassphrase(const std::string &keyFile, std::string &passphrase)
{
    QString value;
    if (!ui::dialogs().inputPassword(
            ui::fillQ(ui::translate("Trust", "鍵 %1 のパスフレーズを入力してください"), {keyFile}), value))
        return false;
    passphrase = ui::fromQ(value);
    std::fill(value.begin(), value.end(), QChar());
    return true;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/Ecypt.h"
#include "app/model/HostRecord.h"
#include "support/ScriptedDialogs.h"

#include "support/TestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/stat.h>

using testsupport::ScopedScriptedDialogs;

namespace {

std::string cipherOf(const std::string &password)
{
    int status = 0;
    return CryptPassword(password, status, CipherEncrypt);
}

bool isValidUtf8(const std::string &s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toUtf8().toStdString() == s;
}

class HostStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path = dir.filePath("Vexmora.H$$").toStdString();
    ScopedScriptedDialogs dialogs;
    HostList list;

    void store(const std::string &host, const std::string &user, const std::string &password = "pw")
    {
        ASSERT_EQ(StoreAccount(list, host, user, cipherOf(password), "/local/" + host, "/remote/" + user),
                  StoreResult::Stored);
    }
};

} // namespace

TEST_F(HostStoreTest, StoreAddsOrUpdatesByExactHostAndUser)
{
    store("ftp.example.com", "anna", "first");
    ASSERT_EQ(StoreAccount(list, "ftp.example.com", "anna", cipherOf("second"), "/l2", "/r2"),
              StoreResult::Stored);
    EXPECT_EQ(list.CountInUse(), 1);
    EXPECT_EQ(list[0].LocalDir(), "/l2");
    EXPECT_EQ(list[0].RemoteDir(), "/r2");
    EXPECT_EQ(PasswordFromCipher(list[0].PasswordCipher()), "second");

    store("FTP.example.com", "anna"); // letter case makes another account
    store("ftp.example.com", "bob");  // so does another user
    EXPECT_EQ(list.CountInUse(), 3);
    EXPECT_EQ(list.FindAccount("FTP.example.com", "anna"), 1);
    EXPECT_EQ(list.FindAccount("ftp.example.com", "bob"), 2);
    EXPECT_EQ(list.FindAccount("ftp.example.com", "Bob"), -1);

    // Matching also finds free entries (a new session marks all free) and
    // reuses them in place rather than taking the first free slot.
    list.MarkAllFree();
    EXPECT_EQ(list.CountInUse(), 0);
    store("ftp.example.com", "bob", "again");
    EXPECT_TRUE(list[2].InUse());
    EXPECT_FALSE(list[0].InUse());
    EXPECT_EQ(PasswordFromCipher(list[2].PasswordCipher()), "again");

    // A blank host stores nothing.
    const HostList before = list;
    EXPECT_EQ(StoreAccount(list, " \t", "x", cipherOf("p"), "/", "/"), StoreResult::NoHost);
    EXPECT_FALSE(HostNameGiven("  "));
    EXPECT_TRUE(HostNameGiven(" h "));
    EXPECT_EQ(before.Entries, list.Entries);
}

TEST_F(HostStoreTest, ThirtyFirstAccountIsRefusedAndChangesNothing)
{
    for (int i = 0; i < MaxHosts; ++i)
        store("host" + std::to_string(i), "user");
    ASSERT_EQ(list.CountInUse(), 30);
    ASSERT_EQ(SaveHostListFile(list, path), HostSaveResult::Saved);
    const std::string file = testsupport::readFileBytes(path);
    const HostList before = list;

    EXPECT_EQ(StoreAccount(list, "host30", "user", cipherOf("pw"), "/l", "/r"), StoreResult::ListFull);
    EXPECT_EQ(before.Entries, list.Entries);
    EXPECT_EQ(testsupport::readFileBytes(path), file);
    EXPECT_EQ(HostListFullMessage(), "登録できるホストは 30 個までです。\n不要なホストを削除して下さい。");

    // An existing account can still be updated in a full list.
    EXPECT_EQ(StoreAccount(list, "host7", "user", cipherOf("new"), "/l", "/r"), StoreResult::Stored);
    EXPECT_EQ(list[7].LocalDir(), "/l");
}

TEST_F(HostStoreTest, SaveCompactsAndLoadRenumbers)
{
    for (int i = 0; i < 5; ++i)
        store("h" + std::to_string(i), "u");
    list[1].SetInUse(false); // the host list window deletes entry 2 of 5
    ASSERT_EQ(SaveHostListFile(list, path), HostSaveResult::Saved);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), 4 * 401);

    HostList loaded;
    for (int i = 0; i < 10; ++i)
        loaded[i].SetInUse(true); // stale in-use flags must not survive a load
    ASSERT_TRUE(LoadHostListFile(loaded, path, false));
    EXPECT_EQ(loaded.CountInUse(), 4);
    const char *expected[] = {"h0", "h2", "h3", "h4"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(loaded[i].HostName(), expected[i]);
        EXPECT_EQ(loaded[i].LocalDir(), std::string("/local/") + expected[i]);
        EXPECT_EQ(PasswordFromCipher(loaded[i].PasswordCipher()), "pw");
    }
    EXPECT_FALSE(loaded[4].InUse());

    // The file is readable by its owner only, even when it was not before.
    struct stat st {};
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(SaveHostListFile(loaded, path), HostSaveResult::Saved);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Vexmora.H$$"});
}

TEST_F(HostStoreTest, NothingInUseLeavesTheFileAlone)
{
    // No file and nothing in use: nothing is created.
    EXPECT_EQ(SaveHostListFile(list, path), HostSaveResult::NothingInUse);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

    store("only", "me");
    ASSERT_EQ(SaveHostListFile(list, path), HostSaveResult::Saved);
    const std::string file = testsupport::readFileBytes(path);
    list[0].SetInUse(false); // deleting the only host
    EXPECT_EQ(SaveHostListFile(list, path), HostSaveResult::NothingInUse);
    EXPECT_EQ(testsupport::readFileBytes(path), file);

    ASSERT_TRUE(LoadHostListFile(list, path, false));
    EXPECT_TRUE(list[0].InUse()) << "the deleted host is listed again after the next load";
}

TEST_F(HostStoreTest, LoadReadsWholeRecordsOnly)
{
    for (int i = 0; i < 6; ++i)
        store("h" + std::to_string(i), "u");
    ASSERT_EQ(SaveHostListFile(list, path), HostSaveResult::Saved);
    const std::string six = testsupport::readFileBytes(path);
    testsupport::writeFileBytes(path, six.substr(0, 5 * 401 + 100));

    HostList loaded;
    ASSERT_TRUE(LoadHostListFile(loaded, path, false));
    EXPECT_EQ(loaded.CountInUse(), 5);
    EXPECT_EQ(loaded[4].HostName(), "h4");
    EXPECT_FALSE(loaded[5].InUse());

    // More than 30 records: only the first 30 are read.
    std::string many;
    for (int i = 0; i < 32; ++i)
        many += six.substr(0, 401);
    testsupport::writeFileBytes(path, many);
    ASSERT_TRUE(LoadHostListFile(loaded, path, false));
    EXPECT_EQ(loaded.CountInUse(), 30);
}

TEST_F(HostStoreTest, MissingOrUnreadableFile)
{
    store("a", "b");
    EXPECT_FALSE(LoadHostListFile(list, path, false)); // missing: no message
    EXPECT_EQ(list.CountInUse(), 0);
    EXPECT_EQ(list[0].HostName(), "a") << "free entries keep their bytes";

    // A folder in the file's place cannot be read.
    const std::string folder = dir.filePath("folder.H$$").toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.H$$"));
    store("a", "b");
    EXPECT_FALSE(LoadHostListFile(list, folder, true)); // quiet: no message
    EXPECT_EQ(list.CountInUse(), 0);
    dialogs->expectMessage(QString::fromStdString(folder) + "\nを開けませんでした。");
    EXPECT_FALSE(LoadHostListFile(list, folder, false));

    // Saving where the file cannot be written shows the same message.
    store("a", "b");
    const std::string nowhere = dir.filePath("missing/Vexmora.H$$").toStdString();
    dialogs->expectMessage(QString::fromStdString(nowhere) + "\nを開けませんでした。");
    EXPECT_EQ(SaveHostListFile(list, nowhere), HostSaveResult::Failed);
}

TEST_F(HostStoreTest, PasswordsWithZeroCipherBytesSurviveTheFile)
{
    ASSERT_EQ(cipherOf("~pass").front(), '\0');
    store("h", "tilde", "~pass");
    store("h", "long", std::string(79, 'q')); // fills the whole 80-byte field
    store("h", "a", "a");                     // cipher of control bytes only
    ASSERT_EQ(SaveHostListFile(list, path), HostSaveResult::Saved);

    HostList loaded;
    ASSERT_TRUE(LoadHostListFile(loaded, path, false));
    EXPECT_EQ(PasswordFromCipher(loaded[0].PasswordCipher()), "~pass");
    EXPECT_EQ(PasswordFromCipher(loaded[1].PasswordCipher()), std::string(79, 'q'));
    EXPECT_EQ(PasswordFromCipher(loaded[2].PasswordCipher()), "a");

    // A field as older files hold it: the bytes up to the cipher's terminator,
    // a zero, then leftovers of an earlier value.
    HostRecord old;
    std::string field = cipherOf("password") + std::string(1, '\0') + cipherOf("something longer");
    old.SetPasswordCipher(field);
    EXPECT_EQ(PasswordFromCipher(old.PasswordCipher()), "password");

    // An empty cipher is stored as an empty field and reads back as nothing,
    // with the cipher's empty-input message.
    old.SetPasswordCipher(cipherOf("password"));
    old.SetPasswordCipher("");
    EXPECT_TRUE(old.PasswordCipher().empty());
    dialogs->expectMessage("入力データが空です。");
    EXPECT_EQ(PasswordFromCipher(old.PasswordCipher()), "");
}

TEST_F(HostStoreTest, TextFieldsAreCutAtSeventyNineBytesOnCharacterBoundaries)
{
    const std::string longAscii(100, 'd');
    ASSERT_EQ(StoreAccount(list, "h", "u", cipherOf("pw"), "/" + longAscii, "/remote"), StoreResult::Stored);
    EXPECT_EQ(list[0].LocalDir(), ("/" + longAscii).substr(0, 79));
    EXPECT_EQ(list[0].RemoteDir(), "/remote") << "the field after the cut one is unaffected";
    EXPECT_EQ(PasswordFromCipher(list[0].PasswordCipher()), "pw");

    std::string threeByte = "ab";
    for (int i = 0; i < 30; ++i)
        threeByte += "あ"; // 2 + 90 bytes; byte 79 falls inside a character
    std::string fourByte(77, 'x');
    fourByte += "😀"; // bytes 77..80
    std::string exact = "a";
    for (int i = 0; i < 26; ++i)
        exact += "漢"; // exactly 79 bytes
    exact += "字";

    HostRecord r;
    r.SetHostName(threeByte);
    EXPECT_EQ(r.HostName(), threeByte.substr(0, 77));
    r.SetUserName(fourByte);
    EXPECT_EQ(r.UserName(), std::string(77, 'x'));
    r.SetRemoteDir(exact);
    EXPECT_EQ(r.RemoteDir(), exact.substr(0, 79));
    for (const std::string &s : {r.HostName(), r.UserName(), r.RemoteDir()})
        EXPECT_TRUE(isValidUtf8(s)) << s;
    // The 80th byte of every text field stays a terminator.
    EXPECT_EQ(r.Bytes[HostNameOffset + 79], '\0');
    EXPECT_EQ(r.Bytes[HostUserOffset + 79], '\0');
}

TEST_F(HostStoreTest, RandomFilesLoadWithoutHarm)
{
    std::mt19937 random(12345);
    for (const size_t size : {size_t{3}, size_t{401 * 7 + 13}, size_t{401 * 33 + 7}}) {
        std::string bytes(size, '\0');
        for (char &c : bytes)
            c = static_cast<char>(random() & 0xFF);
        // Some records claim to be in use.
        for (size_t at = 0; at < size; at += 401 * 2)
            bytes[at] = 1;
        testsupport::writeFileBytes(path, bytes);

        HostList loaded;
        ASSERT_TRUE(LoadHostListFile(loaded, path, false));
        const int inUse = loaded.CountInUse();
        EXPECT_LE(inUse, std::min<int>(MaxHosts, static_cast<int>(size / 401)));
        // A record's password is its whole 80-byte cipher field decrypted (random
        // ciphers hold zero bytes).
        for (size_t i = 0; i < std::min<size_t>(MaxHosts, size / 401); ++i) {
            if (loaded.Entries[i].InUse()) {
                EXPECT_EQ(PasswordFromCipher(loaded.Entries[i].PasswordCipher()),
                          PasswordFromCipher(bytes.substr(i * 401 + HostPasswordOffset, 80)));
            }
        }
        if (inUse > 0) {
            ASSERT_EQ(SaveHostListFile(loaded, path), HostSaveResult::Saved);
            EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), inUse * 401);
            // What was read is what a save keeps: the accounts in use, in order.
            HostList again;
            ASSERT_TRUE(LoadHostListFile(again, path, false));
            int k = 0;
            for (const HostRecord &r : loaded.Entries) {
                if (!r.InUse())
                    continue;
                EXPECT_EQ(again[k].HostName(), r.HostName());
                EXPECT_EQ(again[k].UserName(), r.UserName());
                EXPECT_EQ(again[k].RemoteDir(), r.RemoteDir());
                EXPECT_EQ(PasswordFromCipher(again[k].PasswordCipher()),
                          PasswordFromCipher(r.PasswordCipher()));
                ++k;
            }
        }
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/Ecypt.h"
#include "support/ScriptedDialogs.h"

#include <QByteArray>
#include <gtest/gtest.h>

using testsupport::ScopedScriptedDialogs;

namespace {

std::string hex(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).toHex().toStdString();
}

std::string encrypt(const std::string &plain, int &status)
{
    return CryptPassword(plain, status, CipherEncrypt);
}

} // namespace

TEST(CryptPassword, KnownCipherBytes)
{
    ScopedScriptedDialogs dialogs; // any message fails the test
    int status = 99;
    EXPECT_EQ(hex(encrypt("password", status)), "0e7eee417c75aa0e68");
    EXPECT_EQ(status, CipherOk);
    EXPECT_EQ(hex(encrypt("a", status)), "1f1f");
    EXPECT_EQ(hex(encrypt(" pass word ", status)), "5e6ffc41783aaf051a3a15b9")
        << "surrounding blanks are encrypted";
    // A cipher byte can be zero; the result still has n + 1 bytes.
    EXPECT_EQ(hex(encrypt("~pass", status)), "006ffc41781a");
    EXPECT_EQ(encrypt("password", status), encrypt("password", status)) << "no IV: same bytes every time";
}

TEST(CryptPassword, BlankInputIsRefusedWithAMessage)
{
    ScopedScriptedDialogs dialogs;
    for (const std::string &blank : {std::string(), std::string("   "), std::string(" \t\r\n\x01 ")}) {
        dialogs->expectMessage("入力データが空です。");
        int status = 0;
        EXPECT_TRUE(encrypt(blank, status).empty());
        EXPECT_EQ(status, CipherEmptyInput);
    }
    dialogs->expectMessage("入力データが空です。");
    int status = 0;
    EXPECT_TRUE(CryptPassword("", status, CipherDecrypt).empty());
    EXPECT_EQ(status, CipherEmptyInput);
}

TEST(CryptPassword, DecryptingTheCipherGivesThePasswordBack)
{
    ScopedScriptedDialogs dialogs;
    const std::string longest(79, 'z');
    for (const std::string &plain : {std::string("password"), std::string("a"), std::string("~pass"),
                                     std::string(" pass word "), std::string("パスワード123"), longest}) {
        int status = 99;
        const std::string cipher = encrypt(plain, status);
        ASSERT_EQ(cipher.size(), plain.size() + 1);
        // Decrypting covers the cipher plus a zero byte: the password, its
        // terminator and one byte of no meaning.
        const std::string back = CryptPassword(cipher, status, CipherDecrypt);
        EXPECT_EQ(status, CipherOk);
        ASSERT_EQ(back.size(), cipher.size() + 1) << plain;
        EXPECT_EQ(back.substr(0, plain.size() + 1), plain + std::string(1, '\0')) << plain;
    }
    // "a" encrypts to two control bytes; as cipher text they are not "blank".
    int status = 99;
    EXPECT_EQ(CryptPassword("\x1f\x1f", status, CipherDecrypt).substr(0, 2), std::string("a\0", 2));
    EXPECT_EQ(status, CipherOk);
}

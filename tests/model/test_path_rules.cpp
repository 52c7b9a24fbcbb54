// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/PathRules.h"
#include "app/model/TransferMode.h"

#include <gtest/gtest.h>
#include <string>

TEST(SwapSeparators, TurnsSeparatorsBothWaysAndReportsAChange)
{
    std::string text = "sub\\dir\\a.html";
    EXPECT_EQ(SwapSeparators(text, 1), 1);
    EXPECT_EQ(text, "sub/dir/a.html");
    EXPECT_EQ(SwapSeparators(text, 1), 0) << "nothing left to change";
    EXPECT_EQ(SwapSeparators(text, 0), 1);
    EXPECT_EQ(text, "sub\\dir\\a.html");
    EXPECT_EQ(SwapSeparators(text, 7), 0) << "any other direction turns slashes, and there are none";

    std::string empty;
    EXPECT_EQ(SwapSeparators(empty, 1), 0);
    EXPECT_EQ(SwapSeparators(empty, 0), 0);
}

TEST(SwapSeparators, WalksUtf8Characters)
{
    std::string text = "日本語\\フォルダ\\ファイル.txt";
    EXPECT_EQ(SwapSeparators(text, 1), 1);
    EXPECT_EQ(text, "日本語/フォルダ/ファイル.txt");
    EXPECT_EQ(SwapSeparators(text, 0), 1);
    EXPECT_EQ(text, "日本語\\フォルダ\\ファイル.txt");
}

TEST(SwapSeparators, KeepsTheSecondByteOfShiftJisCharacters)
{
    // "表\ソ.txt" in Shift-JIS: 表 = 95 5C, ソ = 83 5C; one real backslash.
    std::string text = "\x95\x5C\\\x83\x5C.txt";
    ASSERT_FALSE(IsValidUtf8(text));
    EXPECT_EQ(SwapSeparators(text, 1), 1);
    EXPECT_EQ(text, "\x95\x5C/\x83\x5C.txt");
    EXPECT_EQ(SwapSeparators(text, 0), 1);
    EXPECT_EQ(text, "\x95\x5C\\\x83\x5C.txt");

    // Only double-byte characters: nothing to change.
    std::string name = "\x95\x5C\x8E\xA6";
    EXPECT_EQ(SwapSeparators(name, 1), 0);
    EXPECT_EQ(name, "\x95\x5C\x8E\xA6");

    // Half-width katakana (A1-DF) are single bytes: the backslash after one is
    // a separator. A lead byte at the very end stands alone.
    std::string kana = "\xB1\\x\x95";
    EXPECT_EQ(SwapSeparators(kana, 1), 1);
    EXPECT_EQ(kana, "\xB1/x\x95");
    // Lead bytes of the upper range (E0-FC) too.
    std::string upper = "\xE0\x5C\\";
    EXPECT_EQ(SwapSeparators(upper, 1), 1);
    EXPECT_EQ(upper, "\xE0\x5C/");
}

TEST(PathRules, ValidUtf8)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("ﾌｧｲﾙ数 表 😀"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF")) << "overlong slash";
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF")) << "overlong slash";
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")) << "above U+10FFFF";
    EXPECT_FALSE(IsValidUtf8("\xE6\x97")) << "truncated";
    EXPECT_FALSE(IsValidUtf8("\x80"));
}

TEST(PathRules, SafeRemoteNames)
{
    for (const char *name : {"index.html", "...", ".htaccess", "a\\b", "日本語.txt", "\x95\x5C.txt", "a b"})
        EXPECT_TRUE(IsSafeRemoteName(name)) << name;
    for (const std::string &name :
         {std::string(), std::string("."), std::string(".."), std::string("a/b"), std::string("/etc"),
          std::string("../up"), std::string("nul\0x", 5), std::string("cr\rlf"), std::string("\x1f"),
          std::string("del\x7f"), std::string("tab\t")})
        EXPECT_FALSE(IsSafeRemoteName(name)) << name;
}

TEST(PathRules, ExtensionAndAsciiFolding)
{
    EXPECT_EQ(PathExtension("dir.v2/index.HTML"), ".HTML");
    EXPECT_EQ(PathExtension("dir.v2/README"), "") << "a dot in a folder name is not the extension";
    EXPECT_EQ(PathExtension("archive.tar.gz"), ".gz");
    EXPECT_EQ(PathExtension(".htaccess"), ".htaccess");
    EXPECT_EQ(PathExtension("name."), ".");
    EXPECT_EQ(PathExtension(""), "");

    EXPECT_EQ(AsciiLower("Index.HTML"), "index.html");
    EXPECT_EQ(AsciiUpper("data.dat"), "DATA.DAT");
    EXPECT_EQ(AsciiLower("ＡÉ"), "ＡÉ") << "only ASCII letters are folded";
    EXPECT_EQ(AsciiUpper("\x83\x5C\x82\x61"), "\x83\x5C\x82\x41")
        << "byte-wise, as the folding is everywhere";
}

TEST(ChooseTransferMode, FixedModesAndTheAutoTable)
{
    for (const char *path : {"photo.jpg", "index.html", "README"}) {
        EXPECT_EQ(ChooseTransferMode(ModeAscii, path), TransferAscii) << path;
        EXPECT_EQ(ChooseTransferMode(ModeBinary, path), TransferBinary) << path;
        EXPECT_EQ(ChooseTransferMode(-1, path), TransferAscii) << "no selection";
        EXPECT_EQ(ChooseTransferMode(3, path), TransferAscii);
    }
    for (const char *path :
         {"Index.HTML", "page.HTM", "a.Php", "cgi-bin/form.cgi", "x.y.htm", "sub.d/a.html"})
        EXPECT_EQ(ChooseTransferMode(ModeAuto, path), TransferAscii) << path;
    for (const char *path : {"a.shtml", "a.txt", "README", "photo.jpg", "html", "a.html.bak", "a.htmlx",
                             "site.html/data", "a.ph", ""})
        EXPECT_EQ(ChooseTransferMode(ModeAuto, path), TransferBinary) << path;
}

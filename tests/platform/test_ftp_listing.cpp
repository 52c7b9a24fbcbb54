// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_ftp_fixture.h"

#include <algorithm>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

using platform::AttrDirectory;
using platform::FindRecord;
using platform::TransferType;
using testsupport::readFileBytes;
using testsupport::writeFileBytes;
namespace err = platform::err;
namespace ftpfault = testsupport::ftpfault;

namespace {

// 2020-01-02 03:04:05 UTC.
constexpr int64_t FixedTime = 1577934245;

bool setModified(const std::string &path, int64_t unixTime)
{
    const timespec times[2] = {{unixTime, 0}, {unixTime, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

const FindRecord *entry(const std::vector<FindRecord> &records, const std::string &name)
{
    const auto it =
        std::find_if(records.begin(), records.end(), [&](const FindRecord &r) { return r.name == name; });
    return it == records.end() ? nullptr : &*it;
}

} // namespace

// Each listing test runs with MLSD (pyftpdlib's default) and with LIST (MLSD hidden).
class FtpListingTest : public FtpEngineTest, public ::testing::WithParamInterface<bool> {
protected:
    bool useMlsd() const { return GetParam(); }

    void startListingServer(QStringList faults = {})
    {
        if (!useMlsd())
            faults += ftpfault::noMlsd();
        startServer(faults);
    }

    void expectListingCommand()
    {
        EXPECT_TRUE(server.hasReceived(useMlsd() ? "MLSD" : "LIST"));
        EXPECT_FALSE(server.hasReceived(useMlsd() ? "LIST" : "MLSD"));
    }
};

INSTANTIATE_TEST_SUITE_P(Formats, FtpListingTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Mlsd" : "List";
                         });

TEST_P(FtpListingTest, EmptyFolderFindsNothing)
{
    startListingServer();
    connectClient();
    std::vector<FindRecord> found{FindRecord{}};
    EXPECT_FALSE(client->find("*.*", found));
    EXPECT_EQ(platform::lastError(), err::NoMoreFiles);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(client->skippedNames(), 0u);
    expectListingCommand();

    // The session goes on: a second listing on the same connection works.
    ASSERT_TRUE(writeFileBytes(server.rootPath("now.txt"), "1"));
    EXPECT_TRUE(client->find("*.*", found));
    EXPECT_EQ(names(found), std::vector<std::string>{"now.txt"});
}

TEST_P(FtpListingTest, FindFiltersByPatternAndAnswersPlainNames)
{
    startListingServer();
    ASSERT_TRUE(writeFileBytes(server.rootPath("index.html"), "hello"));
    ASSERT_TRUE(writeFileBytes(server.rootPath("page.HTML"), "page"));
    ASSERT_TRUE(writeFileBytes(server.rootPath("empty.txt"), ""));
    ASSERT_EQ(::mkdir(server.rootPath("emptydir").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(server.rootPath("sub").c_str(), 0755), 0);
    ASSERT_TRUE(writeFileBytes(server.rootPath("sub/inner.txt"), "inner"));
    for (const char *name : {"index.html", "page.HTML", "empty.txt", "emptydir", "sub"})
        ASSERT_TRUE(setModified(server.rootPath(name), FixedTime));
    connectClient();

    std::vector<FindRecord> found;
    ASSERT_TRUE(client->find("*.*", found));
    std::vector<std::string> all = names(found);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{"empty.txt", "emptydir", "index.html", "page.HTML", "sub"}));
    expectListingCommand();

    const FindRecord *index = entry(found, "index.html");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->size, 5u);
    EXPECT_FALSE(index->isDirectory());
    const FindRecord *empty = entry(found, "empty.txt");
    ASSERT_TRUE(empty); // a zero-byte file is listed
    EXPECT_EQ(empty->size, 0u);
    ASSERT_TRUE(entry(found, "emptydir"));
    EXPECT_TRUE(entry(found, "emptydir")->attributes & AttrDirectory);
    // MLSD carries the exact time; LIST shows an old file's date only.
    const uint64_t expected = useMlsd() ? platform::ticksFromUnix(FixedTime)
                                        : platform::ticksFromUnix(FixedTime - FixedTime % 86400);
    EXPECT_EQ(index->lastWriteTime, expected);

    ASSERT_TRUE(client->find("*.html", found));
    EXPECT_EQ(names(found), std::vector<std::string>{"index.html"}); // byte-exact, no case folding

    ASSERT_TRUE(client->find("emptydir", found)); // a plain name: it exists, empty or not
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].isDirectory());
    ASSERT_TRUE(client->find("empty.txt", found));
    EXPECT_EQ(names(found), std::vector<std::string>{"empty.txt"});
    EXPECT_FALSE(client->find("index", found));
    EXPECT_EQ(platform::lastError(), err::NoMoreFiles);

    ASSERT_TRUE(client->find("sub/*.*", found));
    EXPECT_EQ(names(found), std::vector<std::string>{"inner.txt"});
    EXPECT_FALSE(client->find("sub/index.html", found));
    EXPECT_EQ(platform::lastError(), err::NoMoreFiles);
}

TEST_P(FtpListingTest, HostileNamesAreSkippedAndCounted)
{
    QStringList faults;
    for (const QByteArray &name :
         {QByteArray(), QByteArray("a/b"), QByteArray("x\x01y"), QByteArray("del\x7f"),
          QByteArray("nul\0x", 5), QByteArray("."), QByteArray(".."), QByteArray("back\\slash")})
        faults += ftpfault::extraName(name);
    startListingServer(faults);
    ASSERT_TRUE(writeFileBytes(server.rootPath("real.txt"), "r"));
    connectClient();

    std::vector<FindRecord> found;
    ASSERT_TRUE(client->find("*.*", found));
    std::vector<std::string> all = names(found);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{"back\\slash", "real.txt"}));
    EXPECT_EQ(client->skippedNames(), 5u); // ".", ".." are normal and not counted
}

TEST_P(FtpListingTest, ShiftJisNameKeepsItsBytes)
{
    startListingServer();
    // "ソ表.txt" in Shift-JIS: both characters end in 0x5C, not valid UTF-8.
    const std::string name = "\x83\x5C\x95\x5C.txt";
    ASSERT_TRUE(writeFileBytes(server.rootPath(name), "sjis contents"));
    connectClient();

    std::vector<FindRecord> found;
    ASSERT_TRUE(client->find("*.*", found));
    EXPECT_EQ(names(found), std::vector<std::string>{name});
    ASSERT_TRUE(client->find(name, found));
    EXPECT_EQ(found.size(), 1u);

    ASSERT_TRUE(client->getFile(name, local.filePath(name), TransferType::Binary, DownloadContext));
    EXPECT_EQ(readFileBytes(local.filePath(name)), "sjis contents");
    EXPECT_EQ(testsupport::folderEntries(local.pathBytes()), std::vector<std::string>{name});
    QByteArray retr = QByteArray("RETR ") + QByteArray::fromStdString(name);
    EXPECT_TRUE(server.receivedCommands().contains(retr));
}

TEST_P(FtpListingTest, ListingCutInTheMiddleKeepsTheEntriesBeforeTheCut)
{
    std::set<std::string> real;
    startListingServer(ftpfault::cutData(GetParam() ? "MLSD" : "LIST", 4000, false));
    for (int i = 0; i < 300; ++i) {
        const std::string name = "file-" + std::to_string(1000 + i) + ".txt";
        ASSERT_TRUE(writeFileBytes(server.rootPath(name), "x"));
        real.insert(name);
    }
    connectClient();

    std::vector<FindRecord> found;
    EXPECT_FALSE(client->find("*.*", found));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(platform::lastResponseText().substr(0, 4), "426 ");
    EXPECT_GT(found.size(), 10u);
    EXPECT_LT(found.size(), 300u);
    for (const FindRecord &r : found)
        EXPECT_TRUE(real.count(r.name)) << "partial or invented name: " << r.name;

    // The session is still in step after the refusal.
    std::string dir;
    EXPECT_TRUE(client->getCurrentDirectory(dir));
    EXPECT_EQ(dir, "/");
}

TEST_F(FtpEngineTest, ListingCutWithTheConnectionDropsTheSession)
{
    startServer(ftpfault::cutData("MLSD", 3000, true));
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(writeFileBytes(server.rootPath("entry-" + std::to_string(i)), "x"));
    connectClient();
    std::vector<FindRecord> found;
    EXPECT_FALSE(client->find("*.*", found));
    const uint32_t code = platform::lastError();
    EXPECT_TRUE(code == err::ConnectionAborted || code == err::ConnectionReset) << code;
    EXPECT_FALSE(client->isOpen());
    EXPECT_FALSE(found.empty());
    EXPECT_LT(found.size(), 200u);
}

TEST_F(FtpEngineTest, PasvReplyNamingAnotherAddressIsNotFollowed)
{
    // EPSV refused: the client falls back to PASV, whose reply names 127.0.0.2,
    // where nothing listens. The data must still come from the server itself.
    startServer(ftpfault::refuse("EPSV", "500 EPSV not understood.") + ftpfault::pasvAddress("127.0.0.2"));
    ASSERT_TRUE(writeFileBytes(server.rootPath("a.txt"), "passive"));
    connectClient();

    std::vector<FindRecord> found;
    ASSERT_TRUE(client->find("*.*", found));
    EXPECT_EQ(names(found), std::vector<std::string>{"a.txt"});
    ASSERT_TRUE(client->getFile("a.txt", local.filePath("a.txt"), TransferType::Binary, DownloadContext));
    EXPECT_EQ(readFileBytes(local.filePath("a.txt")), "passive");
    ASSERT_TRUE(client->putFile(local.filePath("a.txt"), "b.txt", TransferType::Binary, UploadContext));
    EXPECT_EQ(readFileBytes(server.rootPath("b.txt")), "passive");

    EXPECT_EQ(countCommands("EPSV"), 1u); // the fallback is remembered
    EXPECT_EQ(countCommands("PASV"), 3u);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_ftp_fixture.h"

#include <QCryptographicHash>

#include <random>
#include <sys/stat.h>

using platform::FtpStatus;
using platform::TransferType;
using testsupport::folderEntries;
using testsupport::readFileBytes;
using testsupport::writeFileBytes;
namespace err = platform::err;
namespace ftpfault = testsupport::ftpfault;
using testsupport::randomBytes;

namespace {

QByteArray sha1(const std::string &data)
{
    return QCryptographicHash::hash(QByteArrayView(data.data(), static_cast<qsizetype>(data.size())),
                                    QCryptographicHash::Sha1);
}

std::string crlfToLf(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out.push_back(text[i]);
    }
    return out;
}

// Byte counts must never go back and must end at the file size.
void expectProgress(const std::vector<uint64_t> &counts, uint64_t size)
{
    ASSERT_FALSE(counts.empty());
    for (size_t i = 1; i < counts.size(); ++i)
        EXPECT_LE(counts[i - 1], counts[i]) << "at " << i;
    EXPECT_EQ(counts.back(), size);
}

} // namespace

TEST_F(FtpEngineTest, BinaryRoundTripKeepsEveryByte)
{
    startServer();
    connectClient();
    unsigned seed = 1;
    for (const size_t size : {size_t{0}, size_t{1}, size_t{10} * 1024 * 1024}) {
        SCOPED_TRACE(size);
        const std::string data = randomBytes(size, seed++);
        const std::string name = "bin-" + std::to_string(size);
        ASSERT_TRUE(writeFileBytes(local.filePath(name), data));

        events.clear();
        ASSERT_TRUE(client->putFile(local.filePath(name), name, TransferType::Binary, UploadContext))
            << platform::lastError();
        EXPECT_EQ(sha1(readFileBytes(server.rootPath(name))), sha1(data));
        expectProgress(byteCounts(FtpStatus::RequestSent, UploadContext), size);

        events.clear();
        const std::string back = local.filePath(name + ".back");
        ASSERT_TRUE(client->getFile(name, back, TransferType::Binary, DownloadContext))
            << platform::lastError();
        EXPECT_EQ(sha1(readFileBytes(back)), sha1(data));
        expectProgress(byteCounts(FtpStatus::ResponseReceived, DownloadContext), size);
    }

    std::vector<platform::FindRecord> found;
    ASSERT_TRUE(client->find("bin-0", found)); // the zero-byte remote file is listed
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].size, 0u);
    EXPECT_EQ(countCommands("USER"), 1u); // one control connection for all of it
}

TEST_F(FtpEngineTest, AsciiRoundTripConvertsLineEndsAcrossBuffers)
{
    startServer();
    connectClient();
    // Lines of every length with LF, CRLF and a lone CR, long enough that line ends
    // fall on every buffer boundary on both sides.
    std::string text;
    std::mt19937 gen(7);
    while (text.size() < 1500 * 1024) {
        text += std::string(gen() % 300, static_cast<char>('a' + gen() % 26));
        const unsigned kind = gen() % 7;
        text += kind < 3 ? "\n" : kind < 6 ? "\r\n" : "\r";
    }
    ASSERT_TRUE(writeFileBytes(local.filePath("page.txt"), text));

    events.clear();
    ASSERT_TRUE(client->putFile(local.filePath("page.txt"), "page.txt", TransferType::Ascii, UploadContext));
    // LF is the line end on both sides: a CRLF of the file travels as it is and the
    // server stores its LF; a lone CR stays.
    const std::string stored = crlfToLf(text);
    EXPECT_EQ(readFileBytes(server.rootPath("page.txt")), stored);
    expectProgress(byteCounts(FtpStatus::RequestSent, UploadContext), text.size());
    EXPECT_TRUE(server.hasReceived("TYPE A"));

    events.clear();
    ASSERT_TRUE(
        client->getFile("page.txt", local.filePath("back.txt"), TransferType::Ascii, DownloadContext));
    const std::string back = readFileBytes(local.filePath("back.txt"));
    // A CR right before a line end cannot survive the trip; everything else does.
    EXPECT_EQ(back, crlfToLf(stored));
    expectProgress(byteCounts(FtpStatus::ResponseReceived, DownloadContext), back.size());

    // Binary mode right after fetches the same file untouched.
    ASSERT_TRUE(
        client->getFile("page.txt", local.filePath("raw.txt"), TransferType::Binary, DownloadContext));
    EXPECT_EQ(readFileBytes(local.filePath("raw.txt")), stored);
    EXPECT_TRUE(server.hasReceived("TYPE I"));

    // A CR as the very last byte is no line end and stays.
    ASSERT_TRUE(writeFileBytes(server.rootPath("tail.txt"), "a\nb\r"));
    ASSERT_TRUE(
        client->getFile("tail.txt", local.filePath("tail.txt"), TransferType::Ascii, DownloadContext));
    EXPECT_EQ(readFileBytes(local.filePath("tail.txt")), "a\nb\r");
}

TEST_F(FtpEngineTest, ServerStoppedMidDownloadLeavesTheOldFile)
{
    startServer(ftpfault::throttle(512 * 1024));
    ASSERT_TRUE(writeFileBytes(server.rootPath("big.bin"), randomBytes(4 * 1024 * 1024, 3)));
    const std::string target = local.filePath("big.bin");
    ASSERT_TRUE(writeFileBytes(target, "old contents"));
    connectClient();

    onEvent = [this](const Event &e) {
        if (e.status == FtpStatus::ResponseReceived && server.isRunning())
            server.stop();
    };
    EXPECT_FALSE(client->getFile("big.bin", target, TransferType::Binary, DownloadContext));
    const uint32_t code = platform::lastError();
    EXPECT_TRUE(code == err::ConnectionAborted || code == err::ConnectionReset) << code;
    EXPECT_FALSE(client->isOpen());
    EXPECT_EQ(readFileBytes(target), "old contents");
    EXPECT_EQ(folderEntries(local.pathBytes()), std::vector<std::string>{"big.bin"}); // no temporary file
}

TEST_F(FtpEngineTest, DownloadNeedsTheFinalReplyAsWellAsTheData)
{
    const std::string data = randomBytes(300 * 1024, 5);
    const std::string target = local.filePath("f.bin");

    // All data arrives, then the server vanishes without its 226.
    startServer(ftpfault::cutData("RETR", static_cast<qint64>(data.size()), true));
    ASSERT_TRUE(writeFileBytes(server.rootPath("f.bin"), data));
    ASSERT_TRUE(writeFileBytes(target, "old"));
    connectClient();
    EXPECT_FALSE(client->getFile("f.bin", target, TransferType::Binary, DownloadContext));
    const uint32_t code = platform::lastError();
    EXPECT_TRUE(code == err::ConnectionAborted || code == err::ConnectionReset) << code;
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(folderEntries(local.pathBytes()), std::vector<std::string>{"f.bin"});

    // The data breaks off and the server answers 426: refused, session kept.
    server.stop();
    server.setFaults(ftpfault::cutData("RETR", 100000, false));
    ASSERT_TRUE(server.start());
    connectClient();
    EXPECT_FALSE(client->getFile("f.bin", target, TransferType::Binary, DownloadContext));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(folderEntries(local.pathBytes()), std::vector<std::string>{"f.bin"});
    EXPECT_TRUE(client->isOpen());

    // A missing remote file is refused and touches nothing.
    EXPECT_FALSE(client->getFile("none.bin", target, TransferType::Binary, DownloadContext));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(folderEntries(local.pathBytes()), std::vector<std::string>{"f.bin"});
}

TEST_F(FtpEngineTest, DownloadReplacesTheFileAndKeepsItsMode)
{
    startServer();
    ASSERT_TRUE(writeFileBytes(server.rootPath("new.txt"), "new contents"));
    const std::string target = local.filePath("new.txt");
    ASSERT_TRUE(writeFileBytes(target, "old contents that were longer"));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    connectClient();
    ASSERT_TRUE(client->getFile("new.txt", target, TransferType::Binary, DownloadContext));
    EXPECT_EQ(readFileBytes(target), "new contents");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A target folder that does not exist fails before anything is asked.
    EXPECT_FALSE(client->getFile("new.txt", local.filePath("no/such/dir.txt"), TransferType::Binary, 0));
    EXPECT_EQ(platform::lastError(), err::FileNotFound);
    EXPECT_EQ(countCommands("RETR"), 1u);
}

TEST_F(FtpEngineTest, UploadFailures)
{
    startServer(ftpfault::refuse("STOR", "553 Could not create file."));
    connectClient();
    EXPECT_FALSE(
        client->putFile(local.filePath("missing.txt"), "x.txt", TransferType::Binary, UploadContext));
    EXPECT_EQ(platform::lastError(), err::FileNotFound);
    // A FIFO is refused at once, never waited on for a writer.
    ASSERT_EQ(mkfifo(local.filePath("pipe.txt").c_str(), 0644), 0);
    EXPECT_FALSE(client->putFile(local.filePath("pipe.txt"), "x.txt", TransferType::Binary, UploadContext));
    EXPECT_EQ(platform::lastError(), err::NotRegularFile);
    EXPECT_FALSE(server.hasReceived("STOR"));

    ASSERT_TRUE(writeFileBytes(local.filePath("a.txt"), "a"));
    EXPECT_FALSE(client->putFile(local.filePath("a.txt"), "x.txt", TransferType::Binary, UploadContext));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(platform::lastResponseText(), "553 Could not create file.");
    EXPECT_TRUE(client->isOpen());
    // A file larger than the socket buffers, its bytes under way when the
    // refusal comes: still the server's refusal, and the session stays in step.
    ASSERT_TRUE(writeFileBytes(local.filePath("large.bin"), randomBytes(16 * 1024 * 1024, 3)));
    EXPECT_FALSE(client->putFile(local.filePath("large.bin"), "x.bin", TransferType::Binary, UploadContext));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(platform::lastResponseText(), "553 Could not create file.");
    std::string folder;
    EXPECT_TRUE(client->getCurrentDirectory(folder));
    EXPECT_EQ(folder, "/");
    // The same when the data connection breaks before the refusal arrives.
    server.stop();
    server.setFaults(ftpfault::refuse("STOR", "553 Could not create file.") + ftpfault::refusalDropsData()
                     + ftpfault::replyDelay(300));
    ASSERT_TRUE(server.start());
    connectClient();
    EXPECT_FALSE(client->putFile(local.filePath("large.bin"), "x.bin", TransferType::Binary, UploadContext));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(platform::lastResponseText(), "553 Could not create file.");
    EXPECT_TRUE(client->isOpen());

    // The server breaks the upload off after 64 KiB.
    server.stop();
    server.setFaults(ftpfault::cutData("STOR", 64 * 1024, false));
    ASSERT_TRUE(server.start());
    connectClient();
    ASSERT_TRUE(writeFileBytes(local.filePath("big.bin"), randomBytes(8 * 1024 * 1024, 9)));
    EXPECT_FALSE(client->putFile(local.filePath("big.bin"), "big.bin", TransferType::Binary, UploadContext));
    const uint32_t code = platform::lastError();
    EXPECT_TRUE(code == err::InternetExtendedError || code == err::ConnectionReset
                || code == err::ConnectionAborted)
        << code;
}

TEST_F(FtpEngineTest, BatchOfFilesUsesOneControlConnection)
{
    startServer();
    connectClient();
    constexpr int Files = 60;
    for (int i = 0; i < Files; ++i) {
        const std::string name = "batch-" + std::to_string(i) + ".dat";
        ASSERT_TRUE(writeFileBytes(local.filePath(name), randomBytes(4096, static_cast<unsigned>(i))));
        ASSERT_TRUE(client->putFile(local.filePath(name), name, TransferType::Binary, UploadContext)) << i;
    }
    testsupport::TempFolder back;
    for (int i = 0; i < Files; ++i) {
        const std::string name = "batch-" + std::to_string(i) + ".dat";
        ASSERT_TRUE(client->getFile(name, back.filePath(name), TransferType::Binary, DownloadContext)) << i;
        EXPECT_EQ(readFileBytes(back.filePath(name)), randomBytes(4096, static_cast<unsigned>(i)));
    }
    EXPECT_EQ(countCommands("USER"), 1u);
    EXPECT_EQ(countCommands("TYPE"), 1u); // the type is sent once while it stays the same
}

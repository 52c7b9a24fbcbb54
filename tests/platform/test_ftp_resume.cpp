// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_ftp_fixture.h"

#include "platform/LocalFiles.h"

#include <QElapsedTimer>

#include <atomic>
#include <sys/stat.h>

using platform::FtpStatus;
using platform::TransferType;
using testsupport::folderEntries;
using testsupport::readFileBytes;
using testsupport::writeFileBytes;
namespace err = platform::err;
namespace ftpfault = testsupport::ftpfault;
using testsupport::randomBytes;

namespace {} // namespace

TEST_F(FtpEngineTest, UploadCutMidwayContinuesAtTheServersSize)
{
    const std::string data = randomBytes(1500 * 1024, 11);
    startServer(ftpfault::cutDataOnce("STOR", 900 * 1024));
    ASSERT_TRUE(writeFileBytes(local.filePath("big.bin"), data));
    connectClient();
    EXPECT_TRUE(client->offersRestStream());
    EXPECT_TRUE(client->offersSize());

    EXPECT_FALSE(client->putFile(local.filePath("big.bin"), "big.bin", TransferType::Binary, UploadContext));
    EXPECT_TRUE(platform::isConnectionLoss(platform::lastError(), platform::lastResponseText()))
        << platform::lastError();

    connectClient();
    uint64_t have = 0;
    ASSERT_TRUE(client->fileSize("big.bin", have));
    EXPECT_GE(have, 900u * 1024);
    ASSERT_LT(have, data.size());
    events.clear();
    ASSERT_TRUE(client->putFile(local.filePath("big.bin"), "big.bin", TransferType::Binary, UploadContext,
                                {have, false, false}));
    EXPECT_EQ(readFileBytes(server.rootPath("big.bin")), data);
    // Only the rest went again, and the progress counts the whole file.
    EXPECT_EQ(server.uploadedBytes(), static_cast<qint64>(data.size()));
    EXPECT_TRUE(server.hasReceived("REST " + QByteArray::number(static_cast<qint64>(have))));
    EXPECT_EQ(byteCounts(FtpStatus::RequestSent, UploadContext).back(), data.size());
    EXPECT_EQ(client->transferredBytes(), data.size());

    // APPE continues a file as well; an offset past the local end is refused unsent.
    ASSERT_TRUE(writeFileBytes(server.rootPath("half.bin"), data.substr(0, 1000)));
    ASSERT_TRUE(client->putFile(local.filePath("big.bin"), "half.bin", TransferType::Binary, UploadContext,
                                {1000, true, false}));
    EXPECT_EQ(readFileBytes(server.rootPath("half.bin")), data);
    EXPECT_FALSE(client->putFile(local.filePath("big.bin"), "x.bin", TransferType::Binary, UploadContext,
                                 {data.size() + 1, false, false}));
    EXPECT_EQ(platform::lastError(), err::InvalidParameter);
    EXPECT_FALSE(client->putFile(local.filePath("big.bin"), "x.bin", TransferType::Ascii, UploadContext,
                                 {10, false, false}));
    EXPECT_EQ(platform::lastError(), err::InvalidParameter);
    EXPECT_FALSE(server.hasReceived("STOR x.bin"));
}

TEST_F(FtpEngineTest, ServerTimesAreReadAndSetAndMissingFeaturesAreRefused)
{
    startServer();
    ASSERT_TRUE(writeFileBytes(server.rootPath("page.html"), "<p>"));
    connectClient();
    EXPECT_TRUE(client->offersMfmt());
    EXPECT_TRUE(client->offersMdtm());
    const int64_t when = 1500000000; // 2017-07-14 02:40:00 UTC
    ASSERT_TRUE(client->setFileTime("page.html", when));
    EXPECT_TRUE(server.hasReceived("MFMT 20170714024000 page.html"));
    int64_t read = 0;
    ASSERT_TRUE(client->fileTime("page.html", read));
    EXPECT_EQ(read, when);
    int64_t onDisk = 0;
    ASSERT_TRUE(platform::localFileTime(server.rootPath("page.html"), onDisk));
    EXPECT_EQ(onDisk, when);
    uint64_t size = 0;
    EXPECT_FALSE(client->fileSize("none.html", size));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);

    server.stop();
    server.setFaults(ftpfault::noMfmt() + ftpfault::noRest());
    ASSERT_TRUE(server.start());
    connectClient();
    EXPECT_FALSE(client->offersMfmt());
    EXPECT_FALSE(client->offersRestStream());
    EXPECT_FALSE(client->setFileTime("page.html", when));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    ASSERT_TRUE(writeFileBytes(local.filePath("p.html"), "<p>new</p>"));
    EXPECT_FALSE(client->putFile(local.filePath("p.html"), "page.html", TransferType::Binary, UploadContext,
                                 {3, false, false}));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(readFileBytes(server.rootPath("page.html")), "<p>");
    // The session goes on.
    ASSERT_TRUE(client->putFile(local.filePath("p.html"), "page.html", TransferType::Binary, UploadContext));
    EXPECT_EQ(readFileBytes(server.rootPath("page.html")), "<p>new</p>");
}

TEST_F(FtpEngineTest, DownloadCutMidwayKeepsItsPartialFileAndContinuesIt)
{
    const std::string data = randomBytes(1200 * 1024, 12);
    startServer(ftpfault::cutDataOnce("RETR", 500 * 1024));
    ASSERT_TRUE(writeFileBytes(server.rootPath("big.bin"), data));
    const std::string target = local.filePath("big.bin");
    const std::string partial = platform::transferTempPath(target);
    EXPECT_EQ(partial, local.filePath(".big.bin.vexmora-part"));
    ASSERT_TRUE(writeFileBytes(target, "old"));
    connectClient();

    EXPECT_FALSE(client->getFile("big.bin", target, TransferType::Binary, DownloadContext, {partial, 0}));
    EXPECT_EQ(readFileBytes(target), "old");
    const std::string kept = readFileBytes(partial);
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LE(kept.size(), 500u * 1024);
    EXPECT_EQ(kept, data.substr(0, kept.size()));

    connectClient();
    events.clear();
    ASSERT_TRUE(
        client->getFile("big.bin", target, TransferType::Binary, DownloadContext, {partial, kept.size()}));
    EXPECT_EQ(readFileBytes(target), data);
    EXPECT_TRUE(server.hasReceived("REST " + QByteArray::number(static_cast<qint64>(kept.size()))));
    EXPECT_EQ(byteCounts(FtpStatus::ResponseReceived, DownloadContext).back(), data.size());
    EXPECT_EQ(folderEntries(local.pathBytes()), std::vector<std::string>{"big.bin"});

    // A refusal removes the partial file; an ASCII download cannot continue one.
    ASSERT_TRUE(writeFileBytes(partial, "leftover"));
    EXPECT_FALSE(client->getFile("none.bin", target, TransferType::Binary, DownloadContext, {partial, 8}));
    EXPECT_EQ(folderEntries(local.pathBytes()), std::vector<std::string>{"big.bin"});
    EXPECT_FALSE(client->getFile("big.bin", target, TransferType::Ascii, DownloadContext, {partial, 0}));
    EXPECT_EQ(platform::lastError(), err::InvalidParameter);
    EXPECT_EQ(readFileBytes(target), data);
}

TEST_F(FtpEngineTest, CancelStopsACancellableUploadAtOnceAndTheSessionGoesOn)
{
    startServer(ftpfault::throttle(1024 * 1024));
    const std::string data = randomBytes(16 * 1024 * 1024, 13);
    ASSERT_TRUE(writeFileBytes(local.filePath("big.bin"), data));
    connectClient();
    std::atomic<bool> cancel{false};
    client->setCancelFlag(&cancel);
    onEvent = [&](const Event &e) {
        if (e.status == FtpStatus::RequestSent && e.bytes > 0)
            cancel = true;
    };
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client->putFile(local.filePath("big.bin"), "big.bin", TransferType::Binary, UploadContext,
                                 {0, false, true}));
    EXPECT_EQ(platform::lastError(), err::OperationCancelled);
    EXPECT_LT(timer.elapsed(), 8000); // the whole file would take 16 s
    EXPECT_TRUE(server.hasReceived("ABOR"));
    onEvent = nullptr;
    cancel = false;
    uint64_t size = 0;
    ASSERT_TRUE(client->fileSize("big.bin", size)) << platform::lastError();
    EXPECT_LT(size, data.size());
}

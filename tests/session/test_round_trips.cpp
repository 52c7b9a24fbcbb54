// SPDX-License-Identifier: GPL-3.0-or-later
// Round trips a multi-file run spends on the control connection.
#include "support/FtpServer.h"
#include "support/test_transfer_fixture.h"
#include "ui/RadioGroup.h"

using namespace transfertest;

namespace {
class RoundTripTest : public TransferTest {};
} // namespace

TEST_F(RoundTripTest, ARunOfSameTypeFilesSendsTypeOnce)
{
    for (const char *name : {"a1.html", "a2.html", "a3.html", "b1.jpg", "b2.jpg", "b3.jpg"})
        writeLocal(name, std::string(name) + "\n");
    // One session of the user: the run stays on the connection it already has.
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::maxLoginsPerUser(1)));
    form->Mode->setItemIndex(2);
    ASSERT_NO_FATAL_FAILURE(
        select(form->LocalFileListV, {"a1.html", "a2.html", "a3.html", "b1.jpg", "b2.jpg", "b3.jpg"}));
    server.clearLog();

    form->UploadExecute();

    EXPECT_EQ(served("a3.html"), "a3.html\n");
    EXPECT_EQ(served("b3.jpg"), "b3.jpg\n");
    EXPECT_EQ(countReceived("STOR "), 6);
    QByteArrayList types;
    for (const QByteArray &line : server.receivedCommands())
        if (line.startsWith("TYPE "))
            types.append(line);
    EXPECT_EQ(types.join(", ").toStdString(), "TYPE A, TYPE I");
}

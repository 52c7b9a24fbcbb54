// SPDX-License-Identifier: GPL-3.0-or-later
// The history of transfers (newest first, capped, filtered, as text), its log
// file's rotation, and when automatic work gives a desktop notice.
#include "app/model/NoticePolicy.h"
#include "app/model/TransferHistory.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

HistoryEntry entry(const std::string &path, bool ok, int number = 1, int direction = 0)
{
    // 1234 bytes in 2.345 s, in the given pass of a watch.
    const char *reply = ok ? "" : "550 Refused\r\n here.";
    return {1700000000000, direction, path, 1234, 2345, ok, reply, PassKind::Watch, number};
}

} // namespace

TEST(TransferHistory, KeepsTheNewestTenThousandNewestFirstWithTheFailureFilterAndTextForm)
{
    TransferHistory history;
    history.Add(entry("old.html", true));
    for (size_t i = 0; i < TransferHistory::Capacity; ++i)
        history.Add(entry("f" + std::to_string(i) + ".html", i % 3 != 0));
    EXPECT_EQ(history.Count(), TransferHistory::Capacity);
    EXPECT_EQ(history.Added(), TransferHistory::Capacity + 1);
    EXPECT_EQ(history.Newest(0).Path, "f9999.html");
    EXPECT_EQ(history.Newest(TransferHistory::Capacity - 1).Path, "f0.html") << "the oldest went";

    const auto failures = history.View(true);
    ASSERT_EQ(failures.size(), 3334u);
    EXPECT_EQ(failures.front()->Path, "f9999.html");
    EXPECT_TRUE(std::none_of(failures.begin(), failures.end(), [](const HistoryEntry *e) { return e->Ok; }));
    EXPECT_EQ(history.View(false).size(), TransferHistory::Capacity);

    // One line per entry, tab-separated, the reply on one line, the name's bytes kept.
    const HistoryEntry odd = entry("sub/\x83\x65  x.html", false, 7, 1);
    const std::string line = HistoryLine(odd);
    EXPECT_TRUE(
        line.ends_with("\tﾀﾞｳﾝﾛｰﾄﾞ\tsub/\x83\x65  x.html\t1234\t2.34秒\t失敗: 550 Refused here.\t自動UP #7"))
        << line;
    const std::string text = TransferHistory::Text({&odd, &odd});
    EXPECT_EQ(text, line + "\n" + line + "\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 12) << "seven fields, none with a tab";
    EXPECT_EQ(PassText(PassKind::Manual, 0), "手動");
    EXPECT_EQ(PassText(PassKind::Daemon, 2), "ﾃﾞｰﾓﾝ #2");
    for (const char *own : {"Vexmora.log", "Vexmora.log.2"})
        EXPECT_TRUE(IsHistoryLogName(own)) << own;
    for (const char *other : {"Vexmora.log.", "Vexmora.logs", "a/Vexmora.log"})
        EXPECT_FALSE(IsHistoryLogName(other)) << other;
}

TEST(HistoryLog, RotatesBeforeTheLimitKeepsThreeAndReportsAnUnwritableFileOnce)
{
    testsupport::TempFolder dir;
    const std::string path = dir.filePath("Vexmora.log");
    // Lines of 10 bytes with their line ends ("line 0042\n"): every 10 fill one file of 100.
    auto line = [](int i) { return "line 00" + std::to_string(i / 10) + std::to_string(i % 10); };
    auto lines = [&](int from) {
        std::string text;
        for (int i = from; i < from + 10; ++i)
            text += line(i) + "\n";
        return text;
    };
    {
        HistoryLog log(path, {}, 100);
        for (int i = 0; i < 60; ++i)
            log.Append(line(i));
        log.Flush();
    }
    EXPECT_EQ(testsupport::readFileBytes(path), lines(50));
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(testsupport::readFileBytes(path + "." + std::to_string(n)), lines(50 - 10 * n)) << n;
    EXPECT_FALSE(testsupport::fileExists(path + ".4")) << "only three are kept";
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A folder in the file's place: told once, whatever follows.
    const std::string blocked = dir.filePath("blocked.log");
    ASSERT_EQ(::mkdir(blocked.c_str(), 0700), 0);
    std::vector<std::string> told;
    {
        HistoryLog log(blocked, [&](const std::string &why) { told.push_back(why); });
        for (int i = 0; i < 5; ++i)
            log.Append("a line");
        log.Flush();
    }
    EXPECT_EQ(told.size(), 1u);
}

TEST(NoticePolicy, OneFailureNoticePerStreakOneEndNoticeAndAtMostOneAMinute)
{
    // Each step ends a pass (files failed and sent, connection lost) at a time,
    // or (Due) looks for a held notice then: the notice given, and how long the
    // notice held after the step still waits (-1: none is held).
    constexpr int Due = -1;
    struct Step {
        int failed, sent;
        bool lost;
        int64_t at;
        std::optional<NoticeKind> given;
        int64_t wait;
        const char *why;
    };
    const Step steps[] = {
        {0, 3, false, 0, std::nullopt, -1, "a clean pass says nothing"},
        {1, 2, false, 1000, NoticeKind::Failed, -1, "the first failure of a streak"},
        {1, 0, false, 2000, std::nullopt, -1, "the same streak"},
        {0, 0, true, 3000, std::nullopt, -1, "a lost connection in a told streak"},
        {0, 0, false, 4000, std::nullopt, -1, "a pass that sent nothing ends nothing"},
        {0, 1, false, 70000, NoticeKind::Recovered, -1, "the streak ends with the file sent"},
        {0, 0, true, 80000, std::nullopt, 50000, "a new streak within the minute is held"},
        {Due, 0, false, 100000, std::nullopt, 30000, "not yet a minute"},
        {Due, 0, false, 130000, NoticeKind::ConnectionLost, -1, "given when the minute has passed"},
        {0, 1, false, 140000, std::nullopt, 50000, "the end of the streak within the minute is held"},
        {1, 0, false, 150000, std::nullopt, -1, "a failure before it is shown continues the told streak"},
        {Due, 0, false, 200000, std::nullopt, -1, "the held end was taken back"},
        {2, 0, false, 210000, std::nullopt, -1, "the same streak"},
        {0, 2, false, 220000, NoticeKind::Recovered, -1, "the told streak ends"},
        {1, 0, false, 230000, std::nullopt, 50000, "a failure within the minute is held"},
        {0, 1, false, 240000, std::nullopt, -1, "and dropped when its streak ends before it is shown"},
        {Due, 0, false, 300000, std::nullopt, -1, "nothing was held"},
    };
    NoticePolicy policy(60000);
    for (const Step &s : steps) {
        EXPECT_EQ(s.failed == Due ? policy.Due(s.at) : policy.PassEnded(s.failed, s.sent, s.lost, s.at),
                  s.given)
            << s.why;
        EXPECT_EQ(policy.WaitMs(s.at), s.wait) << s.why;
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/NoticePolicy.h"
#include "app/model/TransferHistory.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

HistoryEntry entry(const std::string &path, bool ok, int number = 1)
{
    HistoryEntry e;
    e.Time = 1700000000000;
    e.Path = path;
    e.Size = 1234;
    e.DurationMs = 2345;
    e.Ok = ok;
    e.Result = ok ? "" : "550 Refused\r\n here.";
    e.Pass = PassKind::Watch;
    e.PassNumber = number;
    return e;
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
    for (const HistoryEntry *e : failures)
        ASSERT_FALSE(e->Ok);
    EXPECT_EQ(history.View(false).size(), TransferHistory::Capacity);

    // One line per entry, tab-separated, the reply on one line, bytes kept.
    HistoryEntry odd = entry("sub/\x83\x65  x.html", false, 7);
    odd.Direction = 1;
    const std::vector<std::string> fields = HistoryFields(odd);
    ASSERT_EQ(fields.size(), 7u);
    EXPECT_EQ(fields[1], "ﾀﾞｳﾝﾛｰﾄﾞ");
    EXPECT_EQ(fields[2], "sub/\x83\x65  x.html");
    EXPECT_EQ(fields[3], "1234");
    EXPECT_EQ(fields[4], "2.34秒");
    EXPECT_EQ(fields[5], "失敗: 550 Refused here.");
    EXPECT_EQ(fields[6], "自動UP #7");
    EXPECT_EQ(PassText(PassKind::Manual, 0), "手動");
    for (const auto &[name, own] : {std::pair{"Vexmora.log", true},
                                    {"Vexmora.log.2", true},
                                    {"Vexmora.log.", false},
                                    {"Vexmora.logs", false},
                                    {"a/Vexmora.log", false}})
        EXPECT_EQ(IsHistoryLogName(name), own) << name;
    EXPECT_EQ(PassText(PassKind::Daemon, 2), "ﾃﾞｰﾓﾝ #2");
    const std::string text = TransferHistory::Text({&odd, &odd});
    EXPECT_EQ(text, HistoryLine(odd) + "\n" + HistoryLine(odd) + "\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 12);
}

TEST(HistoryLog, RotatesBeforeTheLimitKeepsThreeAndReportsAnUnwritableFileOnce)
{
    testsupport::TempFolder dir;
    const std::string path = dir.filePath("Vexmora.log");
    {
        HistoryLog log(path, {}, 100);
        // 30 lines of 10 bytes: every 10 lines fill one file.
        for (int i = 0; i < 60; ++i) {
            char line[16];
            std::snprintf(line, sizeof line, "line %04d", i);
            log.Append(line);
        }
        log.Flush();
    }
    auto lines = [&](const std::string &file) { return testsupport::readFileBytes(file); };
    std::string expected;
    for (int i = 50; i < 60; ++i)
        expected += "line 00" + std::to_string(i) + "\n";
    EXPECT_EQ(lines(path), expected);
    EXPECT_EQ(lines(path + ".1").substr(0, 10), "line 0040\n");
    EXPECT_EQ(lines(path + ".2").substr(0, 10), "line 0030\n");
    EXPECT_EQ(lines(path + ".3").substr(0, 10), "line 0020\n");
    struct stat st {};
    EXPECT_NE(::stat((path + ".4").c_str(), &st), 0) << "only three are kept";
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
    using N = std::optional<NoticeKind>;
    NoticePolicy policy(60000);
    struct Step {
        int failed, sent;
        bool lost;
        int64_t at;
        N expected;
        const char *why;
    };
    const std::vector<Step> steps = {
        {0, 3, false, 0, std::nullopt, "a clean pass says nothing"},
        {1, 2, false, 1000, NoticeKind::Failed, "the first failure of a streak"},
        {1, 0, false, 2000, std::nullopt, "the same streak"},
        {0, 0, true, 3000, std::nullopt, "a lost connection in a told streak"},
        {0, 0, false, 4000, std::nullopt, "a pass that sent nothing ends nothing"},
        {0, 1, false, 70000, NoticeKind::Recovered, "the streak ends with the file sent"},
        {0, 0, true, 80000, std::nullopt, "a new streak within the minute is held"},
    };
    for (const Step &s : steps)
        EXPECT_EQ(policy.PassEnded(s.failed, s.sent, s.lost, s.at), s.expected) << s.why;
    EXPECT_EQ(policy.WaitMs(80000), 50000);
    EXPECT_EQ(policy.Due(100000), std::nullopt);
    EXPECT_EQ(policy.Due(130000), NoticeKind::ConnectionLost) << "given when the minute has passed";
    EXPECT_EQ(policy.WaitMs(130000), -1);

    // The end of the streak within the minute is held; a failure before it is
    // shown continues the streak the user was told about.
    EXPECT_EQ(policy.PassEnded(0, 1, false, 140000), std::nullopt);
    EXPECT_EQ(policy.PassEnded(1, 0, false, 150000), std::nullopt);
    EXPECT_EQ(policy.Due(200000), std::nullopt);
    EXPECT_EQ(policy.PassEnded(2, 0, false, 210000), std::nullopt);
    EXPECT_EQ(policy.PassEnded(0, 2, false, 220000), NoticeKind::Recovered);

    // A held failure is dropped when its streak ends before it could be shown.
    EXPECT_EQ(policy.PassEnded(1, 0, false, 230000), std::nullopt);
    EXPECT_EQ(policy.PassEnded(0, 1, false, 240000), std::nullopt);
    EXPECT_EQ(policy.Due(300000), std::nullopt);
    EXPECT_EQ(policy.WaitMs(300000), -1);
}

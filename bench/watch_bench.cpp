// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the watch mode ("自動UP") of the main window against a local pyftpdlib
// server, offscreen, at real time (clock scale 1):
//
//   watch_bench [REPEATS] [TICKS] [ROUNDS] [SEED]   (defaults 5, 2000, 200, the time)
//
// 1. Idle tick: CPU time of one TimerDemonTimer() over a folder of 900 files
//    when nothing changed (median and worst of TICKS calls), first with the
//    folder scanned on every tick (the inotify watch off: the floor when
//    inotify is unavailable), then with the watch on (goal: under 0.1 ms
//    median); the scans each way made, the quick check HasFolderChanged()
//    alone, the pieces a scan is made of next to the bare readdir and stat
//    calls any scan must make, and the server's log checked for commands sent
//    during the idle ticks.
// 2. Latency at ComboTimer "1": from a file's last write to the server closing
//    its copy with the new content (the upload's end, seen through inotify) and
//    to the end of the tick that sent it (after the pause and the re-arm), with
//    one file (100 ms tick) and with five (1 s tick, 2 s settle wait). The real
//    TimerDemon drives the watch. Each write is made right after an idle tick,
//    so the wait for the detecting tick is one whole interval and the floor is
//    known exactly:
//      upload end: interval + settle wait
//      pass end:   interval + settle wait + 1 s pause
//    A user saving at a random moment waits half an interval on average instead.
//    The excess is split into the timer's own lateness, the work before the
//    upload's end and the work after it; the parts of a pass are then timed one
//    by one and set against one whole tick called directly.
// REPEATS 0 leaves out part 2, ROUNDS 0 part 3.
// 3. Two saves in a row at ComboTimer "1" over five files: ROUNDS rounds of two
//    saves a random 0 to 5 s apart, written from another thread so that they
//    also land during a pass and in the pause after it; how many saves reached
//    the server (goal: all of them), and the save-to-server latency median and
//    worst beside the floor the watch rules set.
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Singleup.h"
#include "platform/LocalFiles.h"
#include "platform/LocalFind.h"
#include "support/FtpServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestUtil.h"
#include "ui/Clock.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"
#include "ui/Timer.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double wallMs()
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now().time_since_epoch()).count();
}

// User and system CPU of the process so far, in milliseconds.
std::pair<double, double> userSystemMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval &tv) { return static_cast<double>(tv.tv_sec) * 1e3 + tv.tv_usec / 1e3; };
    return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

struct Stats {
    double median = -1;
    double worst = -1;
    double p99 = -1;
};

Stats stats(std::vector<double> values)
{
    Stats s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.median = values[values.size() / 2];
    s.p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
    s.worst = values.back();
    return s;
}

// CPU and wall time of `repeats` calls, one measurement per call.
struct Timing {
    std::vector<double> cpu;
    std::vector<double> wall;
};

Timing timeCalls(int repeats, const std::function<void()> &call, const std::function<void()> &between = {})
{
    Timing t;
    for (int i = 0; i < repeats; ++i) {
        if (between)
            between();
        const double c0 = cpuMs(), w0 = wallMs();
        call();
        t.cpu.push_back(cpuMs() - c0);
        t.wall.push_back(wallMs() - w0);
    }
    return t;
}

void printTiming(const char *name, const Timing &t)
{
    const Stats c = stats(t.cpu), w = stats(t.wall);
    std::printf("  %-34s cpu median %7.3f ms  p99 %7.3f  worst %7.3f | wall median %7.3f  worst %7.3f\n",
                name, c.median, c.p99, c.worst, w.median, w.worst);
}

std::string pageName(int i)
{
    return "page" + std::to_string(i) + ".html";
}

// Printable content without line ends, so that the AUTO transfer mode (ASCII
// for .html) stores it byte for byte.
std::string content(const std::string &tag, size_t size)
{
    std::string data = tag + ":";
    while (data.size() < size)
        data += static_cast<char>('a' + data.size() % 26);
    data.resize(size);
    return data;
}

// The tag that makes each version of a file's content unique.
std::string versionTag(int version, const std::string &name)
{
    std::string tag(1, 'v');
    tag += std::to_string(version);
    tag += '-';
    tag += name;
    return tag;
}

// The main window connected to a fresh server, with `count` files of `size`
// bytes both in a local folder and on the server, and the watch entered at the
// given ComboTimer item.
class Session {
public:
    bool open(int count, size_t size, int timerItem, const std::function<std::string(int)> &name)
    {
        if (!m_program.isValid() || !m_local.isValid() || !m_server.start()) {
            std::fprintf(stderr, "watch_bench: cannot start: %s\n",
                         m_server.errorString().toStdString().c_str());
            return false;
        }
        for (int i = 1; i <= count; ++i) {
            const std::string data = content(versionTag(0, name(i)), size);
            if (!testsupport::writeFileBytes(localPath(name(i)), data)
                || !testsupport::writeFileBytes(m_server.rootPath(name(i)), data))
                return false;
            // A site last edited a while ago: the watch distrusts times of the last 2 s.
            const struct timespec times[2] = {{1600000000 + i, 0}, {1600000000 + i, 0}};
            ::utimensat(AT_FDCWD, localPath(name(i)).c_str(), times, 0);
        }
        CreateWindows(m_program.path().toStdString() + "/Vexmora");
        m_windows = true;
        MainForm->show();
        QCoreApplication::processEvents();
        platform::setCurrentDirectory(m_local.path().toStdString());
        MainForm->EHost->setText(ui::toQ(m_server.address()));
        MainForm->EUserId->setText(ui::toQ(m_server.user()));
        MainForm->EPassword->setText(ui::toQ(m_server.password()));
        MainForm->ConnectActionExecute();
        if (!MainForm->Connected) {
            std::fprintf(stderr, "watch_bench: cannot connect\n");
            return false;
        }
        MainForm->ComboTimer->setItemIndex(timerItem);
        MainForm->SpeedAutoUp->setEnabled(true);
        MainForm->SpeedAutoUp->click();
        if (MainForm->UploadMode != 1 || MainForm->FolderSnapshot.SnapshotCount != count) {
            std::fprintf(stderr, "watch_bench: watch not entered (mode %d, snapshot %d)\n",
                         MainForm->UploadMode, MainForm->FolderSnapshot.SnapshotCount);
            return false;
        }
        if (MainForm->LocalFileCount != count || MainForm->RemoteFileCount != count) {
            std::fprintf(stderr, "watch_bench: lists show %d local and %d remote files, expected %d\n",
                         MainForm->LocalFileCount, MainForm->RemoteFileCount, count);
            return false;
        }
        return true;
    }

    ~Session()
    {
        if (!m_windows)
            return;
        MainForm->StopAutomation();
        if (MainForm->Connected)
            MainForm->DisconnectActionExecute();
        if (SessionOpen())
            CloseSession();
        MainForm->hide();
        DestroyWindows();
    }

    std::string localPath(const std::string &name) const { return m_local.path().toStdString() + "/" + name; }
    testsupport::FtpServer &server() { return m_server; }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_local;
    testsupport::FtpServer m_server;
    bool m_windows = false;
};

// --- 1. Idle tick ---

bool idleTickBench(int ticks)
{
    constexpr int FileCount = 900;
    std::printf("== Idle watch tick: %d files, Target \"全て\", %d ticks ==\n", FileCount, ticks);
    Session session;
    auto name = [](int i) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "file%03d.html", i);
        return std::string(buffer);
    };
    // The slowest interval; the ticks below are called directly, not by the timer.
    if (!session.open(FileCount, 2048, 9, name))
        return false;
    MainForm->TimerDemon->setInterval(0);
    QCoreApplication::processEvents();

    auto warm = [] {
        for (int i = 0; i < 50; ++i) // warm the caches; the first tick with the watch arms it
            MainForm->TimerDemonTimer();
    };
    session.server().clearLog();
    const int countBefore = SingleAutoUpForm->UploadCount;

    // Without inotify every tick scans the folder.
    MainForm->LocalWatch.setEnabled(false);
    warm();
    int scansBefore = MainForm->FolderScanCount;
    const auto sweepUsageBefore = userSystemMs();
    const Timing sweepTick = timeCalls(ticks, [] { MainForm->TimerDemonTimer(); });
    const auto sweepUsageAfter = userSystemMs();
    const int sweepScans = MainForm->FolderScanCount - scansBefore;
    const Timing sweepQuick = timeCalls(ticks, [] { MainForm->HasFolderChanged(); });

    MainForm->LocalWatch.setEnabled(true);
    warm();
    const bool watching = MainForm->LocalWatch.watching();
    scansBefore = MainForm->FolderScanCount;
    Timing repaint;
    const auto usageBefore = userSystemMs();
    const Timing tick = timeCalls(ticks, [] { MainForm->TimerDemonTimer(); });
    const auto usageAfter = userSystemMs();
    const int idleScans = MainForm->FolderScanCount - scansBefore;
    // The same ticks with the repaint of the activity bar that follows each one
    // in the event loop.
    for (int i = 0; i < std::min(ticks, 500); ++i) {
        MainForm->TimerDemonTimer();
        const double c0 = cpuMs(), w0 = wallMs();
        QCoreApplication::processEvents();
        repaint.cpu.push_back(cpuMs() - c0);
        repaint.wall.push_back(wallMs() - w0);
    }
    const Timing quick = timeCalls(ticks, [] { MainForm->HasFolderChanged(); });

    // The parts of the quick check.
    std::vector<platform::FindRecord> records;
    const Timing scan = timeCalls(ticks, [&] {
        bool ok = false;
        records = platform::findLocal(std::string(SnapshotPattern(TargetAll)), ok);
    });
    const FolderSnapshot &snapshot = MainForm->FolderSnapshot;
    int differences = 0;
    const Timing compare = timeCalls(ticks, [&] {
        int position = 0;
        for (const platform::FindRecord &record : records) {
            if (record.isDirectory() || record.size == 0)
                continue;
            const int hint = position++;
            int index = hint < snapshot.SnapshotCount && snapshot[hint].Name == record.name
                            ? hint
                            : snapshot.FindByName(record.name);
            if (index < 0 || !snapshot[index].SameSizeAndTime(record)) {
                ++differences;
                break;
            }
        }
    });
    const Timing compareUnhinted = timeCalls(std::min(ticks, 200), [&] {
        for (const platform::FindRecord &record : records) {
            if (record.isDirectory() || record.size == 0)
                continue;
            const int index = snapshot.FindByName(record.name);
            if (index < 0 || !snapshot[index].SameSizeAndTime(record)) {
                ++differences;
                break;
            }
        }
    });
    // What any scan must pay: reading the folder, and one stat per entry for its
    // size and last-write time.
    const Timing readOnly = timeCalls(ticks, [] {
        if (DIR *dir = ::opendir(".")) {
            while (::readdir(dir) != nullptr) {
            }
            ::closedir(dir);
        }
    });
    const Timing readStat = timeCalls(ticks, [] {
        if (DIR *dir = ::opendir(".")) {
            struct stat st {};
            while (const dirent *entry = ::readdir(dir))
                ::fstatat(::dirfd(dir), entry->d_name, &st, 0);
            ::closedir(dir);
        }
    });
    int counter = 0;
    const Timing bar = timeCalls(ticks, [&] {
        ++counter;
        MainForm->LblCounter->setText(ui::toQ(TMainForm::CounterBar(counter)));
        SingleAutoUpForm->StatusBarSingleUp->setPanelText(1, MainForm->LblCounter->text());
    });

    QCoreApplication::processEvents();
    const QByteArrayList commands = session.server().receivedCommands();

    printTiming("TimerDemonTimer, scan every tick", sweepTick);
    printTiming("HasFolderChanged, scan every tick", sweepQuick);
    std::printf("  scan-every-tick CPU split: user %.3f ms, system %.3f ms per tick; scans in %d ticks: %d\n",
                (sweepUsageAfter.first - sweepUsageBefore.first) / ticks,
                (sweepUsageAfter.second - sweepUsageBefore.second) / ticks, ticks, sweepScans);
    printTiming("TimerDemonTimer, inotify (idle tick)", tick);
    printTiming("  + repaint in the event loop", repaint);
    printTiming("HasFolderChanged, inotify", quick);
    printTiming("  findLocal(\"*.*\") of the folder", scan);
    printTiming("  snapshot compare (position hint)", compare);
    printTiming("  snapshot compare (name scan only)", compareUnhinted);
    printTiming("  activity bar captions", bar);
    printTiming("raw readdir of the folder", readOnly);
    printTiming("raw readdir + fstatat per entry", readStat);
    std::printf(
        "  idle tick CPU split (inotify): user %.3f ms, system %.3f ms per tick; scans in %d ticks: %d%s\n",
        (usageAfter.first - usageBefore.first) / ticks, (usageAfter.second - usageBefore.second) / ticks,
        ticks, idleScans, watching ? "" : " (inotify unavailable here: every tick scans)");
    const Stats idle = stats(tick.cpu);
    const Stats before = stats(sweepTick.cpu);
    std::printf(
        "  idle tick CPU median %.3f ms (min-max %.3f-%.3f) with inotify, %.3f ms (min-max %.3f-%.3f) "
        "scanning every tick\n",
        idle.median, *std::min_element(tick.cpu.begin(), tick.cpu.end()), idle.worst, before.median,
        *std::min_element(sweepTick.cpu.begin(), sweepTick.cpu.end()), before.worst);
    std::printf("  goal: idle tick under 0.1 ms of CPU (median) -> %.3f ms: %s\n", idle.median,
                idle.median < 0.1 ? "met" : "MISSED");
    std::printf("  records per scan %zu, snapshot entries %d, differences found %d, uploads %d\n",
                records.size(), snapshot.SnapshotCount, differences,
                SingleAutoUpForm->UploadCount - countBefore);
    std::printf("  server commands received during %d idle ticks and %d quick checks: %lld%s\n",
                2 * ticks + std::min(ticks, 500) + 100, 2 * ticks, static_cast<long long>(commands.size()),
                commands.isEmpty() ? " (none, as required)" : "");
    for (int i = 0; i < std::min<qsizetype>(commands.size(), 10); ++i)
        std::printf("    %s\n", commands[i].constData());
    return true;
}

// --- 2. Latency from the last write to the upload ---

// Sees the moments the server closes its copies of files with expected
// contents, from another thread (the tick holds the user-interface thread during
// the whole pass): inotify on the served folder, costing nothing in between.
// Each file has a list of expected versions, oldest first.
class ServerCopyWatcher {
public:
    explicit ServerCopyWatcher(const std::string &folder) : m_folder(folder)
    {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0 && ::inotify_add_watch(m_fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (m_fd >= 0)
            m_thread = std::thread([this] { run(); });
    }
    ~ServerCopyWatcher()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isValid() const { return m_fd >= 0; }
    // Adds the next version of a file's content; returns its number.
    size_t expect(const std::string &name, const std::string &data)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Version> &versions = m_versions[name];
        versions.push_back({data, -1});
        return versions.size() - 1;
    }
    // When the server's copy first held one of the versions from `version` to
    // `last` (to the newest by default); -1 if never.
    double reachedAt(const std::string &name, size_t version, size_t last = SIZE_MAX) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_versions.find(name);
        double first = -1;
        if (found == m_versions.end())
            return first;
        for (size_t v = version; v < found->second.size() && v <= last; ++v) {
            const double seen = found->second[v].seenAt;
            if (seen >= 0 && (first < 0 || seen < first))
                first = seen;
        }
        return first;
    }

private:
    struct Version {
        std::string data;
        double seenAt;
    };

    void run()
    {
        alignas(inotify_event) char buffer[4096];
        while (!m_stop) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            const double now = wallMs();
            std::vector<std::string> names;
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                if (event->len > 0)
                    names.emplace_back(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            for (const std::string &name : names) {
                bool ok = false;
                const std::string data = testsupport::readFileBytes(m_folder + "/" + name, &ok);
                std::lock_guard<std::mutex> lock(m_mutex);
                const auto found = m_versions.find(name);
                if (!ok || found == m_versions.end())
                    continue;
                for (Version &version : found->second)
                    if (version.seenAt < 0 && version.data == data)
                        version.seenAt = now;
            }
        }
    }

    std::string m_folder;
    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<Version>> m_versions;
};

// Sees the watch timer's events before the tick handler runs, so the start of
// each tick is known: an application-wide filter on the timer events of the one
// repeating QTimer running at the watch interval.
class TickProbe : public QObject {
public:
    explicit TickProbe(int intervalMs) : m_interval(ui::Clock::scaled(intervalMs))
    {
        qApp->installEventFilter(this);
    }
    ~TickProbe() override { qApp->removeEventFilter(this); }
    double lastStart() const { return m_lastStart; }
    // Repeating timers at that interval other than the first one seen.
    int others() const { return m_others; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Timer)
            return false;
        const auto *timer = qobject_cast<QTimer *>(watched);
        if (!timer || timer->isSingleShot() || timer->interval() != m_interval)
            return false;
        if (!m_timer)
            m_timer = timer;
        if (timer == m_timer)
            m_lastStart = wallMs();
        else
            ++m_others;
        return false;
    }

private:
    int m_interval;
    const QTimer *m_timer = nullptr;
    double m_lastStart = -1;
    int m_others = 0;
};

struct LatencyResult {
    std::vector<double> upload;     // write to the server's complete copy
    std::vector<double> pass;       // write to the end of the tick that sent it
    std::vector<double> wait;       // write to the start of the tick that saw it
    std::vector<double> toUpload;   // that tick's start to the upload's end, settle wait left out
    std::vector<double> afterwards; // upload end to the tick's end, 1 s pause left out
    std::vector<double> period;     // between the starts of idle ticks
    QByteArrayList passCommands;
};

bool latencyBench(int fileCount, int repeats)
{
    constexpr size_t FileSize = 4096;
    const int interval = fileCount == 1 ? 100 : 1000;
    const int settle = fileCount > 1 ? 2000 : 0;
    constexpr int Pause = 1000;
    std::printf("\n== Latency at ComboTimer \"1\": %d file%s of %zu bytes, %d repeats ==\n", fileCount,
                fileCount == 1 ? "" : "s", FileSize, repeats);
    Session session;
    if (!session.open(fileCount, FileSize, 0, pageName))
        return false;
    if (MainForm->TimerDemon->interval() != interval) {
        std::fprintf(stderr, "watch_bench: tick interval %d ms, expected %d\n",
                     MainForm->TimerDemon->interval(), interval);
        return false;
    }
    const std::string edited = pageName(1);
    ServerCopyWatcher watcher(session.server().rootPath());
    size_t expected = 0;
    if (!watcher.isValid()) {
        std::fprintf(stderr, "watch_bench: cannot watch the served folder with inotify\n");
        return false;
    }

    // A little state machine run after every tick (connected after the main
    // window's own handler, so it sees each tick's end).
    enum class Phase { Idle, Waiting, Done } phase = Phase::Idle;
    int idleTicks = 0, done = 0;
    double writeAt = -1, lastIdleStart = -1;
    LatencyResult result;
    TickProbe probe(interval);
    const QMetaObject::Connection hook = QObject::connect(MainForm->TimerDemon, &ui::Timer::timeout, [&] {
        const double now = wallMs();
        if (phase == Phase::Idle) {
            if (lastIdleStart > 0)
                result.period.push_back(probe.lastStart() - lastIdleStart);
            lastIdleStart = probe.lastStart();
            // A few idle ticks between edits; then write right after this one.
            if (++idleTicks < 4)
                return;
            const std::string data = content(versionTag(done + 1, edited), FileSize);
            expected = watcher.expect(edited, data);
            if (done == 0)
                session.server().clearLog();
            testsupport::writeFileBytes(session.localPath(edited), data);
            writeAt = wallMs();
            phase = Phase::Waiting;
        } else if (phase == Phase::Waiting) {
            const double seen = watcher.reachedAt(edited, expected);
            if (seen < 0)
                return; // an idle tick before the detecting one: should not happen
            result.upload.push_back(seen - writeAt);
            result.pass.push_back(now - writeAt);
            result.wait.push_back(probe.lastStart() - writeAt);
            result.toUpload.push_back(seen - probe.lastStart() - settle);
            result.afterwards.push_back(now - seen - Pause);
            if (done == 0)
                result.passCommands = session.server().receivedCommands();
            ++done;
            idleTicks = 0;
            lastIdleStart = -1;
            phase = done >= repeats ? Phase::Done : Phase::Idle;
        }
    });
    const int budget = repeats * (6 * interval + settle + Pause + 2000) + 5000;
    const bool finished = testsupport::waitUntil([&] { return phase == Phase::Done; }, budget);
    QObject::disconnect(hook);
    if (!finished) {
        std::fprintf(stderr, "watch_bench: only %d of %d uploads seen within %d ms\n", done, repeats, budget);
        return false;
    }

    const Stats upload = stats(result.upload), pass = stats(result.pass), period = stats(result.period);
    const double uploadFloor = interval + settle, passFloor = interval + settle + Pause;
    std::vector<double> sortedPeriod = result.period;
    std::sort(sortedPeriod.begin(), sortedPeriod.end());
    std::printf(
        "  tick interval %d ms; idle tick period measured: min %.1f, median %.1f, max %.1f ms over %zu "
        "ticks%s\n",
        interval, sortedPeriod.empty() ? -1.0 : sortedPeriod.front(), period.median, period.worst,
        sortedPeriod.size(), probe.others() ? " (other timers at that interval seen: check)" : "");
    std::printf(
        "  write -> upload end : median %7.1f ms  worst %7.1f  (floor %4.0f ms: interval%s) -> %+6.1f ms\n",
        upload.median, upload.worst, uploadFloor, settle ? " + 2 s settle" : "", upload.median - uploadFloor);
    std::printf(
        "  write -> pass end   : median %7.1f ms  worst %7.1f  (floor %4.0f ms: interval%s + 1 s pause) -> "
        "%+6.1f ms\n",
        pass.median, pass.worst, passFloor, settle ? " + 2 s settle" : "", pass.median - passFloor);
    std::printf("  samples (upload/pass ms):");
    for (size_t i = 0; i < result.upload.size(); ++i)
        std::printf(" %.0f/%.0f", result.upload[i], result.pass[i]);
    std::printf("\n");
    std::printf(
        "  where the excess goes (medians): wait for the tick %+.1f ms against the interval, tick start "
        "to upload end %.1f ms%s, upload end to tick end %.1f ms beyond the 1 s pause\n",
        stats(result.wait).median - interval, stats(result.toUpload).median,
        settle ? " (settle wait left out)" : "", stats(result.afterwards).median);
    std::printf("  samples (wait/to upload/afterwards ms):");
    for (size_t i = 0; i < result.wait.size(); ++i)
        std::printf(" %.1f/%.1f/%.1f", result.wait[i], result.toUpload[i], result.afterwards[i]);
    std::printf("\n");
    const double excess = pass.median - passFloor;
    std::printf("  at a random save time the wait is half an interval: expected pass end %.0f ms against the "
                "floor %.0f ms\n",
                interval / 2.0 + settle + Pause + excess, interval / 2.0 + settle + Pause);
    std::printf("  goal: within 100 ms of the floor -> upload %+.1f ms, pass %+.1f ms: %s\n",
                upload.median - uploadFloor, excess,
                (upload.median - uploadFloor) <= 100 && excess <= 100 ? "met" : "MISSED");
    std::printf("  server commands of the first pass:");
    for (const QByteArray &line : result.passCommands)
        std::printf(" [%s]", line.constData());
    std::printf("\n");

    // The parts of a pass, one by one, with the timer stopped.
    MainForm->TimerDemon->setInterval(0);
    QCoreApplication::processEvents();
    constexpr int PartRepeats = 7;
    std::printf("  parts of a pass (the pass runs them in this order):\n");
    int version = 100;
    auto touch = [&] {
        testsupport::writeFileBytes(session.localPath(edited),
                                    content(versionTag(++version, edited), FileSize));
    };
    double partsWall = 0, partsCpu = 0;
    // timesInPass: how often one pass runs it (0: shown for the breakdown only).
    auto part = [&](const char *name, int timesInPass, const Timing &timing) {
        printTiming(name, timing);
        partsWall += timesInPass * stats(timing.wall).median;
        partsCpu += timesInPass * stats(timing.cpu).median;
    };
    part("HasFolderChanged (a change)", 1,
         timeCalls(
             PartRepeats, [] { MainForm->HasFolderChanged(); }, touch));
    part("DetectChanges", 1, timeCalls(PartRepeats, [] { MainForm->DetectChanges(); }));
    part("monitor red + repaint", 1, timeCalls(PartRepeats, [] { SingleAutoUpForm->ShowPassRunning(); }));
    part("Reconnect (session check)", 1, timeCalls(PartRepeats, [] { MainForm->Reconnect(); }));
    part("TransferOne (4 KiB upload)", 1,
         timeCalls(PartRepeats, [&] { MainForm->TransferOne(0, edited, edited); }));
    part("ShowUploadCount + repaint", 2, timeCalls(PartRepeats, [&] {
             SingleAutoUpForm->ShowUploadCount(edited);
             SingleAutoUpForm->repaint();
         }));
    part("RefreshRemoteList", 2, timeCalls(PartRepeats, [] { RefreshRemoteList(); }));
    part("RefreshFileList(remote)", 1, timeCalls(PartRepeats, [] { MainForm->RefreshFileList(RemoteSide); }));
    part("  of which BeginBusy + EndBusy", 0, timeCalls(PartRepeats, [] {
             MainForm->BeginBusy();
             MainForm->EndBusy();
         }));
    part("RefreshFileList(local)", 1, timeCalls(PartRepeats, [] { MainForm->RefreshFileList(LocalSide); }));
    part("main window repaint", 1, timeCalls(PartRepeats, [] { MainForm->repaint(); }));
    // In a pass the re-arm follows the list refresh, whose EndBusy has enabled
    // the panes again: it locks them anew and lets the repaint run.
    part("StartAutoWatch(true) (re-arm, relock)", 1,
         timeCalls(
             PartRepeats,
             [] {
                 MainForm->StartAutoWatch(true);
                 MainForm->TimerDemon->setInterval(0);
             },
             [] {
                 MainForm->BeginBusy();
                 MainForm->EndBusy();
             }));
    part("  of which TakeSnapshot", 0, timeCalls(PartRepeats, [] { MainForm->TakeSnapshot(); }));
    MainForm->AutoBusy = false;

    // The whole tick with one change, called directly; its sleeps left out.
    constexpr int DirectRepeats = 3;
    const Timing direct = timeCalls(
        DirectRepeats,
        [] {
            MainForm->TimerDemonTimer();
            MainForm->TimerDemon->setInterval(0);
        },
        touch);
    std::vector<double> directWall;
    for (double w : direct.wall)
        directWall.push_back(w - settle - Pause);
    std::printf("  sum of the parts as one pass runs them: wall %.1f ms, cpu %.1f ms\n", partsWall, partsCpu);
    std::printf("  one whole tick with a change, called directly, sleeps left out: wall median %.1f ms "
                "(cpu %.1f ms) -> not in the parts %.1f ms\n",
                stats(directWall).median, stats(direct.cpu).median, stats(directWall).median - partsWall);
    MainForm->AutoBusy = false;
    return true;
}

// --- 3. Two saves in a row ---

// At ComboTimer "1" over five files (1 s tick, 2 s settle wait), `rounds` rounds
// of two saves a random 0 to 5 s apart, made from another thread so that they
// land anywhere: before a tick, in the settle wait, during a pass or in the
// pause after it. A save counts when the server's copy reaches its content, or
// that of the round's second save of the same file, within 30 s; its latency
// runs from the write to that moment.
bool doubleSaveBench(int rounds, unsigned seed)
{
    constexpr int FileCount = 5;
    constexpr size_t FileSize = 4096;
    constexpr int Interval = 1000, Settle = 2000, Pause = 1000;
    constexpr double RoundDeadlineMs = 30000;
    std::printf("\n== Two saves 0-5 s apart at ComboTimer \"1\": %d files, %d rounds, seed %u ==\n",
                FileCount, rounds, seed);
    Session session;
    if (!session.open(FileCount, FileSize, 0, pageName))
        return false;
    if (MainForm->TimerDemon->interval() != Interval) {
        std::fprintf(stderr, "watch_bench: tick interval %d ms, expected %d\n",
                     MainForm->TimerDemon->interval(), Interval);
        return false;
    }
    ServerCopyWatcher watcher(session.server().rootPath());
    if (!watcher.isValid()) {
        std::fprintf(stderr, "watch_bench: cannot watch the served folder with inotify\n");
        return false;
    }

    // A save is on the server once its own content or that of the round's
    // second save of the same file is.
    struct Save {
        std::string name;
        size_t version;
        size_t last;
        double writtenAt;
    };
    std::vector<Save> saves;
    std::mutex savesMutex;
    std::atomic<bool> done{false};
    std::atomic<int> roundsComplete{0};
    std::thread writer([&] {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> file(1, FileCount);
        std::uniform_real_distribution<double> gap(0, 5000), rest(200, 1200);
        int tag = 0;
        auto save = [&](const std::string &name) {
            const std::string data = content(versionTag(++tag, name), FileSize);
            const size_t version = watcher.expect(name, data);
            testsupport::writeFileBytes(session.localPath(name), data);
            std::lock_guard<std::mutex> lock(savesMutex);
            saves.push_back({name, version, version, wallMs()});
            return saves.back();
        };
        auto sleepMs = [](double ms) {
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
        };
        for (int round = 0; round < rounds; ++round) {
            sleepMs(rest(random));
            const Save first = save(pageName(file(random)));
            sleepMs(gap(random));
            const Save second = save(pageName(file(random)));
            Save &firstNow = saves[saves.size() - 2];
            if (firstNow.name == second.name)
                firstNow.last = second.version;
            // The round ends when both saves are on the server.
            bool complete = false;
            while (!complete && wallMs() - second.writtenAt < RoundDeadlineMs) {
                sleepMs(10);
                complete = watcher.reachedAt(first.name, first.version, firstNow.last) >= 0
                           && watcher.reachedAt(second.name, second.version) >= 0;
            }
            if (complete)
                ++roundsComplete;
        }
        done = true;
    });
    const int budget = static_cast<int>(rounds * (1200 + 5000 + RoundDeadlineMs)) + 5000;
    const bool finished = testsupport::waitUntil([&] { return done.load(); }, budget);
    if (!finished)
        std::fprintf(stderr, "watch_bench: the rounds did not end within %d ms\n", budget);
    writer.join();

    std::vector<double> latency;
    int reached = 0;
    for (const Save &save : saves) {
        const double at = watcher.reachedAt(save.name, save.version, save.last);
        if (at < 0 || at - save.writtenAt > RoundDeadlineMs)
            continue;
        ++reached;
        latency.push_back(at - save.writtenAt);
    }
    const Stats s = stats(latency);
    std::printf("  rounds whose saves all reached the server: %d/%d (goal %d/%d)\n", roundsComplete.load(),
                rounds, rounds, rounds);
    std::printf("  saves whose final content reached the server within %.0f s: %d/%zu\n",
                RoundDeadlineMs / 1000, reached, saves.size());
    std::printf("  save -> server copy: median %.0f ms, worst %.0f ms\n", s.median, s.worst);
    std::printf(
        "  floor: %d-%d ms for a save while the watch is idle (the next tick within %d ms, then the %d ms "
        "settle wait); a save during a pass waits for its end, the %d ms pause and the next tick too\n",
        Settle, Interval + Settle, Interval, Settle, Pause);
    std::printf("  uploads counted by the monitor: %d\n", SingleAutoUpForm->UploadCount);
    return finished && roundsComplete == rounds;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(0, std::atoi(argv[1])) : 5;
    const int ticks = argc > 2 ? std::max(10, std::atoi(argv[2])) : 2000;
    const int rounds = argc > 3 ? std::max(0, std::atoi(argv[3])) : 200;
    const unsigned seed = argc > 4 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10))
                                   : static_cast<unsigned>(std::time(nullptr));
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // lines stay whole next to Qt's messages
    ui::Clock::setScale(1.0);                 // real time: the point is to measure against the real floor

    // No dialog may block the run; any message is printed at the end.
    auto *dialogs = new testsupport::ScriptedDialogs;
    dialogs->allowMessages();
    ui::Dialogs::install(std::unique_ptr<ui::Dialogs>(dialogs));

    std::string startDir;
    platform::currentDirectory(startDir);
    bool ok = idleTickBench(ticks);
    platform::setCurrentDirectory(startDir);
    if (repeats > 0) {
        ok = latencyBench(1, repeats) && ok;
        platform::setCurrentDirectory(startDir);
        ok = latencyBench(5, repeats) && ok;
        platform::setCurrentDirectory(startDir);
    }
    if (rounds > 0) {
        ok = doubleSaveBench(rounds, seed) && ok;
        platform::setCurrentDirectory(startDir);
    }

    for (const QString &text : dialogs->messages())
        std::printf("message: %s\n", text.toStdString().c_str());
    ui::Dialogs::install(nullptr);
    return ok ? 0 : 1;
}

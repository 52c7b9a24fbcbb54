// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InstanceLock.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::InstanceLock;

namespace {

// Runs `body` in a child process and returns its exit code (-1 on abnormal end).
template <typename Body> int inChild(Body body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

int resultCode(InstanceLock::Result r)
{
    return static_cast<int>(r);
}

} // namespace

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstReleases)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("mutex_ID_for_Vexmora").toStdString();
    {
        InstanceLock first(path);
        ASSERT_EQ(first.result(), InstanceLock::Result::Created);

        // Another process sees the lock held.
        EXPECT_EQ(inChild([&] { return resultCode(InstanceLock(path).result()); }),
                  resultCode(InstanceLock::Result::AlreadyExists));
        // So does a second open of the file in this process.
        InstanceLock second(path);
        EXPECT_EQ(second.result(), InstanceLock::Result::AlreadyExists);
    }
    // Released: a new holder, in this process or another, gets it.
    EXPECT_EQ(inChild([&] { return resultCode(InstanceLock(path).result()); }),
              resultCode(InstanceLock::Result::Created));
    InstanceLock third(path);
    EXPECT_EQ(third.result(), InstanceLock::Result::Created);
}

TEST(InstanceLock, LockDiesWithItsProcess)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("mutex_ID_for_Vexmora").toStdString();
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Holds the lock and then ends without releasing it explicitly.
        auto *lock = new InstanceLock(path);
        const char ok = lock->result() == InstanceLock::Result::Created ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    pollfd pfd{ready[0], POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 10000), 1) << "child did not report in time";
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    EXPECT_EQ(InstanceLock(path).result(), InstanceLock::Result::AlreadyExists);

    (void)!write(release[1], "x", 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(InstanceLock(path).result(), InstanceLock::Result::Created);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}

TEST(InstanceLock, UnusablePathFails)
{
    QTemporaryDir dir;
    InstanceLock lock(dir.filePath("no/such/folder/lock").toStdString());
    EXPECT_EQ(lock.result(), InstanceLock::Result::Failed);
}

TEST(InstanceLock, AFifoALinkOrAnotherUsersFileAtThePathIsNeverUsedNorWaitedFor)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("mutex_ID_for_Vexmora").toStdString();
    // In a child that a stuck open cannot hold longer than a second.
    const auto resultWithin1s = [&] {
        return inChild([&] {
            alarm(1);
            return resultCode(InstanceLock(path).result());
        });
    };
    const int failed = resultCode(InstanceLock::Result::Failed);

    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    EXPECT_EQ(resultWithin1s(), failed) << "FIFO";
    ASSERT_EQ(unlink(path.c_str()), 0);

    const std::string target = dir.filePath("target").toStdString();
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    EXPECT_EQ(resultWithin1s(), failed) << "link to nothing";
    EXPECT_NE(access(target.c_str(), F_OK), 0) << "the link was followed";
    ASSERT_EQ(close(open(target.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    EXPECT_EQ(resultWithin1s(), failed) << "link to a file";
    ASSERT_EQ(unlink(path.c_str()), 0);

    // A file of ours made earlier is used; it is created private.
    {
        InstanceLock mine(path);
        EXPECT_EQ(mine.result(), InstanceLock::Result::Created);
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    if (geteuid() != 0)
        GTEST_SKIP() << "handing the file to another user needs root";
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    EXPECT_EQ(resultWithin1s(), failed) << "another user's file";
}

TEST(InstanceLock, TheDefaultLockIsPerUser)
{
    const char *saved = getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved ? saved : "";
    QTemporaryDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().toUtf8().constData(), 1);
    EXPECT_EQ(InstanceLock::defaultPath(), runtime.filePath("mutex_ID_for_Vexmora").toStdString());
    const std::string fallback = "/tmp/mutex_ID_for_Vexmora-" + std::to_string(geteuid());
    setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
    EXPECT_EQ(InstanceLock::defaultPath(), fallback);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLock::defaultPath(), fallback);
    if (saved)
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
}

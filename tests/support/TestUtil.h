// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Waits until `condition` holds, processing Qt events meanwhile; false when it
// still does not hold after timeoutMs.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

// Runs an action on every paint of the program while it lives: the window
// repaints as work goes, so a test can act in the middle of it.
class OnPaint : public QObject {
public:
    explicit OnPaint(std::function<void()> action);
    ~OnPaint() override;
    bool eventFilter(QObject *, QEvent *event) override;

private:
    std::function<void()> m_action;
};

// Ends a modal showing that did not end by itself, so a failing test cannot
// hang: after timeoutMs the rescue runs (it should close the window).
class ModalWatchdog {
public:
    explicit ModalWatchdog(std::function<void()> rescue, int timeoutMs = 30000);
    ModalWatchdog(const ModalWatchdog &) = delete;
    ModalWatchdog &operator=(const ModalWatchdog &) = delete;
    bool fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

// A temporary folder removed with everything in it at the end of its scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // Raw-byte paths for the POSIX and platform calls.
    std::string pathBytes() const;
    std::string filePath(const std::string &name) const;

private:
    QTemporaryDir m_dir;
};

// Whole-file helpers over raw-byte paths (names need not be UTF-8).
bool writeFileBytes(const std::string &path, std::string_view data);
std::string readFileBytes(const std::string &path, bool *ok = nullptr);
// `size` bytes of every value, the same for the same seed.
std::string randomBytes(size_t size, unsigned seed);
bool fileExists(const std::string &path);
// Removes what a folder holds, whatever bytes the names are made of (QDir cannot
// remove a name that is not valid in the local encoding); the folder itself stays.
bool clearFolder(const std::string &path);
// The names in a folder, "." and ".." left out, in the order the system gives them.
std::vector<std::string> folderEntries(const std::string &path);

// A loopback port no one listens on now, and whether one accepts connections.
quint16 freePort();
bool acceptsConnections(quint16 port);

// Kills a server process the fixture started, waits for its end and drops it.
void stopProcess(std::unique_ptr<QProcess> &process);

// Starts a server that listens on loopback `port`: a free one when port is 0,
// else that one (a restarted server keeps its address). `configure(port)`
// writes the server's configuration for the port and gives its arguments. A
// port taken meanwhile is tried again with another free one, up to five
// times. False, with the server's output in `error`, when it never listens.
bool startListening(std::unique_ptr<QProcess> &process, quint16 &port, const QString &program,
                    const std::function<QStringList(quint16)> &configure, QString &error);

} // namespace testsupport

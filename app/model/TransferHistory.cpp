// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/TransferHistory.h"

#include "ui/Language.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Line breaks and tabs of a server's reply would break the line form: every
// run of blanks becomes one space.
std::string oneLine(const std::string &text)
{
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        const bool control = c == '\r' || c == '\n' || c == '\t' || c == ' ';
        if (!control)
            line += c;
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// A name keeps its bytes; only a tab or line break, which would split the
// line form, is shown as a space.
std::string pathField(std::string path)
{
    for (char &c : path)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return path;
}

std::string timeText(int64_t milliseconds)
{
    const time_t seconds = static_cast<time_t>(milliseconds / 1000);
    struct tm local {};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string durationText(int64_t milliseconds)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%lld.%02lld", static_cast<long long>(milliseconds / 1000),
                  static_cast<long long>(milliseconds % 1000 / 10));
    return ui::fill(ui::translate("Model", "%1秒"), {seconds});
}

} // namespace

std::string PassText(PassKind pass, int number)
{
    switch (pass) {
    case PassKind::Manual:
        return ui::translated("Model", "手動");
    case PassKind::Watch:
        return ui::fill(ui::translate("Model", "自動UP #%1"), {std::to_string(number)});
    case PassKind::Daemon:
        return ui::fill(ui::translate("Model", "ﾃﾞｰﾓﾝ #%1"), {std::to_string(number)});
    case PassKind::Loop:
        return ui::fill(ui::translate("Model", "ﾙｰﾌﾟUP #%1"), {std::to_string(number)});
    }
    return {};
}

bool IsHistoryLogName(std::string_view name)
{
    const std::string_view base = HistoryLogName;
    if (!name.starts_with(base))
        return false;
    name.remove_prefix(base.size());
    return name.empty() || (name.size() == 2 && name[0] == '.' && name[1] >= '1' && name[1] <= '9');
}

std::vector<std::string> HistoryFields(const HistoryEntry &entry)
{
    return {timeText(entry.Time),
            entry.Direction == 0 ? ui::translated("Model", "ｱｯﾌﾟﾛｰﾄﾞ") : ui::translated("Model", "ﾀﾞｳﾝﾛｰﾄﾞ"),
            pathField(entry.Path),
            entry.Size < 0 ? std::string("-") : std::to_string(entry.Size),
            durationText(entry.DurationMs),
            entry.Ok ? ui::translated("Model", "成功")
                     : ui::fill(ui::translate("Model", "失敗: %1"), {oneLine(entry.Result)}),
            PassText(entry.Pass, entry.PassNumber)};
}

std::string HistoryLine(const HistoryEntry &entry)
{
    std::string line;
    for (const std::string &field : HistoryFields(entry)) {
        if (!line.empty())
            line += '\t';
        line += field;
    }
    return line;
}

void TransferHistory::Add(HistoryEntry entry)
{
    if (m_entries.size() >= Capacity)
        m_entries.pop_front();
    m_entries.push_back(std::move(entry));
    ++m_added;
}

std::vector<const HistoryEntry *> TransferHistory::View(bool failuresOnly) const
{
    std::vector<const HistoryEntry *> shown;
    shown.reserve(m_entries.size());
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (!failuresOnly || !it->Ok)
            shown.push_back(&*it);
    return shown;
}

std::string TransferHistory::Text(const std::vector<const HistoryEntry *> &entries)
{
    std::string text;
    for (const HistoryEntry *entry : entries)
        text += HistoryLine(*entry) + "\n";
    return text;
}

// --- The log file ---

HistoryLog::HistoryLog(std::string path, std::function<void(const std::string &)> failed, int64_t maxBytes)
    : m_path(std::move(path)), m_failed(std::move(failed)), m_maxBytes(maxBytes), m_thread([this] { Run(); })
{}

HistoryLog::~HistoryLog()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void HistoryLog::Append(std::string line)
{
    {
        const std::lock_guard lock(m_mutex);
        // A disk that hangs must not let the queue grow without end.
        if (m_queue.size() >= 10000)
            return;
        m_queue.push_back(std::move(line));
    }
    m_wake.notify_one();
}

void HistoryLog::Flush()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_writing; });
}

void HistoryLog::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty() && m_stop)
            return;
        std::string line = std::move(m_queue.front());
        m_queue.pop_front();
        m_writing = true;
        lock.unlock();
        if (!Write(line + "\n") && !m_reported) {
            m_reported = true;
            // strerror_r: this is the log's own thread, and strerror's buffer is shared.
            char buffer[256];
            const char *text = ::strerror_r(errno, buffer, sizeof buffer);
            if (m_failed)
                m_failed(text);
        }
        lock.lock();
        m_writing = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

bool HistoryLog::Write(const std::string &line)
{
    struct stat st {};
    if (::lstat(m_path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
        && st.st_size + static_cast<int64_t>(line.size()) > m_maxBytes) {
        for (int n = Kept - 1; n >= 1; --n)
            ::rename((m_path + "." + std::to_string(n)).c_str(),
                     (m_path + "." + std::to_string(n + 1)).c_str());
        if (::rename(m_path.c_str(), (m_path + ".1").c_str()) != 0)
            return false;
    }
    // Never through a link, never blocking on something that is not a file.
    const int fd =
        ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok)
        errno = EINVAL;
    size_t done = 0;
    while (ok && done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Which run a transfer belonged to.
enum class PassKind { Manual, Watch, Daemon, Loop };

// One transfer (or failed transfer) of this run of the program.
struct HistoryEntry {
    int64_t Time = 0;       // when it ended, milliseconds since 1970 UTC
    int Direction = 0;      // 0 upload, 1 download
    std::string Path;       // name bytes, relative to the local folder
    int64_t Size = -1;      // bytes; -1 when not known
    int64_t DurationMs = 0; // from its start to its end
    bool Ok = false;
    std::string Result; // on failure: the server's reply or the error's text
    PassKind Pass = PassKind::Manual;
    int PassNumber = 0; // the watch's, daemon's or loop's pass, counted from 1
};

// The columns of an entry as texts, in the order the window and the text form
// show them: time, direction, path, size, duration, result, pass. The path
// keeps its bytes; the other fields are UTF-8.
std::vector<std::string> HistoryFields(const HistoryEntry &entry);
// The fields joined by tabs: the line of the log file and of a copy.
std::string HistoryLine(const HistoryEntry &entry);
std::string PassText(PassKind pass, int number);
// The log file's name and those of its predecessors: never sent by the watch,
// which would otherwise send the log again after every transfer.
constexpr const char *HistoryLogName = "Vexmora.log";
bool IsHistoryLogName(std::string_view name);

// The entries of this run, newest first, at most Capacity of them (the oldest
// go). Adding is constant time: transfers post their entries and never wait.
class TransferHistory {
public:
    static constexpr size_t Capacity = 10000;

    void Add(HistoryEntry entry);
    size_t Count() const { return m_entries.size(); }
    // 0 is the newest.
    const HistoryEntry &Newest(size_t index) const { return m_entries[m_entries.size() - 1 - index]; }
    // Entries ever added (also those the cap dropped): a viewer that saw `seen`
    // of them has Added() - seen new ones at the top.
    uint64_t Added() const { return m_added; }
    // The entries shown with or without the filter "failures only", newest first.
    std::vector<const HistoryEntry *> View(bool failuresOnly) const;
    // The text form of entries (one line each, newest first).
    static std::string Text(const std::vector<const HistoryEntry *> &entries);

private:
    std::deque<HistoryEntry> m_entries; // oldest first
    uint64_t m_added = 0;
};

// The history's log file: one line per entry, appended by a writer thread of
// its own so that a slow disk never holds a transfer. Before a line would take
// the file past MaxBytes it is rotated: NAME.2 becomes NAME.3, NAME.1 NAME.2,
// NAME NAME.1, so that the file and its Kept predecessors remain. A file that
// cannot be written is reported once (on the writer thread, through the
// callback) and tried again with later lines; the history in memory goes on.
class HistoryLog {
public:
    static constexpr int64_t MaxBytes = 1024 * 1024;
    static constexpr int Kept = 3;

    explicit HistoryLog(std::string path, std::function<void(const std::string &why)> failed = {},
                        int64_t maxBytes = MaxBytes);
    // Writes what is queued, then ends the thread.
    ~HistoryLog();
    HistoryLog(const HistoryLog &) = delete;
    HistoryLog &operator=(const HistoryLog &) = delete;

    // Queues a line (without its line end); returns at once.
    void Append(std::string line);
    // Waits until every queued line has been written or has failed.
    void Flush();
    const std::string &Path() const { return m_path; }

private:
    void Run();
    bool Write(const std::string &line);

    const std::string m_path;
    const std::function<void(const std::string &)> m_failed;
    const int64_t m_maxBytes;
    bool m_reported = false; // writer thread only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::string> m_queue;
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_thread;
};

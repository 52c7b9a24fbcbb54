// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

// What a desktop notice about automatic work says.
enum class NoticeKind { Failed, ConnectionLost, Recovered };

// When automatic work (watch and daemon passes) tells the user something on the
// desktop. A failure streak runs from the first pass with a failed file or a
// lost connection to the next pass that sends its files without a failure. A
// streak gives at most one failure notice (its first failure, or the lost
// connection) and, when that was shown, one notice that it ended; never more
// than one notice in MinGapMs. A notice the gap holds back is given by Due()
// once the gap has passed, unless the streak changed meanwhile (a held failure
// is dropped when the streak ends first; a held "ended" when a new failure comes,
// which then continues the streak the user was told about).
class NoticePolicy {
public:
    static constexpr int64_t DefaultGapMs = 60 * 1000;
    explicit NoticePolicy(int64_t minGapMs = DefaultGapMs) : m_gap(minGapMs) {}

    // The end of one automatic pass; the notice to show now, if any.
    std::optional<NoticeKind> PassEnded(int failed, int sent, bool connectionLost, int64_t nowMs);
    // A held notice that may be shown now.
    std::optional<NoticeKind> Due(int64_t nowMs);
    // Milliseconds until Due() gives the held notice; -1 when none is held.
    int64_t WaitMs(int64_t nowMs) const;
    bool InStreak() const { return m_inStreak; }

private:
    std::optional<NoticeKind> Offer(NoticeKind kind, int64_t nowMs);

    int64_t m_gap;
    bool m_inStreak = false;
    bool m_failureTold = false; // this streak's failure notice was shown
    std::optional<NoticeKind> m_held;
    std::optional<int64_t> m_lastShown;
};

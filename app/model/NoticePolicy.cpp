// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/NoticePolicy.h"

std::optional<NoticeKind> NoticePolicy::PassEnded(int failed, int sent, bool connectionLost, int64_t nowMs)
{
    if (failed > 0 || connectionLost) {
        if (!m_inStreak) {
            m_inStreak = true;
            if (m_held == NoticeKind::Recovered) {
                // The user was told of a failure and not yet of its end.
                m_held.reset();
                m_failureTold = true;
                return std::nullopt;
            }
            m_failureTold = false;
        }
        if (m_failureTold || m_held)
            return std::nullopt;
        return Offer(connectionLost ? NoticeKind::ConnectionLost : NoticeKind::Failed, nowMs);
    }
    if (sent == 0 || !m_inStreak)
        return std::nullopt;
    m_inStreak = false;
    if (!m_failureTold) {
        m_held.reset(); // never told, nothing to take back
        return std::nullopt;
    }
    m_failureTold = false;
    return Offer(NoticeKind::Recovered, nowMs);
}

std::optional<NoticeKind> NoticePolicy::Offer(NoticeKind kind, int64_t nowMs)
{
    if (m_lastShown && nowMs - *m_lastShown < m_gap) {
        m_held = kind;
        return std::nullopt;
    }
    m_lastShown = nowMs;
    if (kind != NoticeKind::Recovered)
        m_failureTold = true;
    return kind;
}

std::optional<NoticeKind> NoticePolicy::Due(int64_t nowMs)
{
    if (!m_held || WaitMs(nowMs) > 0)
        return std::nullopt;
    const NoticeKind kind = *m_held;
    m_held.reset();
    return Offer(kind, nowMs);
}

int64_t NoticePolicy::WaitMs(int64_t nowMs) const
{
    if (!m_held)
        return -1;
    if (!m_lastShown)
        return 0;
    const int64_t left = *m_lastShown + m_gap - nowMs;
    return left > 0 ? left : 0;
}

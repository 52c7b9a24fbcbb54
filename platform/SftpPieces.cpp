// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SftpPieces.h"

#include <algorithm>

namespace platform {

SftpPieces::Match SftpPieces::take(uint32_t id, Piece &piece)
{
    if (m_waiting.empty() || id < m_waiting.front().id)
        return m_waiting.empty() ? Match::Unknown : Match::Stale;
    // OpenSSH answers in order: the first waiting piece, almost always.
    const auto it =
        std::find_if(m_waiting.begin(), m_waiting.end(), [id](const Piece &p) { return p.id == id; });
    if (it == m_waiting.end())
        return Match::Unknown;
    piece = *it;
    m_waiting.erase(it);
    return Match::Piece;
}

void SftpPieces::arrived(const Piece &piece, uint64_t size)
{
    const uint64_t end = piece.offset + size;
    if (size == 0)
        return;
    if (piece.offset > m_contiguous) {
        uint64_t &known = m_islands[piece.offset];
        known = std::max(known, end);
        return;
    }
    m_contiguous = std::max(m_contiguous, end);
    while (!m_islands.empty() && m_islands.begin()->first <= m_contiguous) {
        m_contiguous = std::max(m_contiguous, m_islands.begin()->second);
        m_islands.erase(m_islands.begin());
    }
}

} // namespace platform

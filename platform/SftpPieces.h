// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>

namespace platform {

// The requests of one SFTP transfer still waiting for their answers, in the
// order they went out (ids rise along it), and for a read how far its bytes
// have arrived without a gap. Servers may answer out of order and read short;
// an answer with an id older than every waiting one belongs to a request
// given up on earlier.
class SftpPieces {
public:
    struct Piece {
        uint32_t id = 0;
        uint64_t offset = 0;
        uint32_t length = 0;
    };
    enum class Match { Piece, Stale, Unknown };

    explicit SftpPieces(uint64_t start = 0) : m_contiguous(start) {}

    void asked(const Piece &piece) { m_waiting.push_back(piece); }
    size_t waiting() const { return m_waiting.size(); }
    bool empty() const { return m_waiting.empty(); }
    // Takes the waiting piece an answer's id names.
    Match take(uint32_t id, Piece &piece);
    // `size` bytes of a read piece arrived at its offset; the end of the bytes
    // with no gap before it moves on over what arrived earlier beyond it.
    void arrived(const Piece &piece, uint64_t size);
    uint64_t contiguous() const { return m_contiguous; }

private:
    std::deque<Piece> m_waiting;
    std::map<uint64_t, uint64_t> m_islands; // arrived beyond the gap: start -> end
    uint64_t m_contiguous;
};

} // namespace platform

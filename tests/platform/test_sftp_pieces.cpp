// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SftpPieces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::SftpPieces;

namespace {

struct Answer {
    uint32_t id;
    uint64_t size; // bytes the server sent for the piece
};

struct Case {
    const char *name;
    std::vector<Answer> answers;
    uint64_t contiguous; // after every answer
};

} // namespace

// Four pieces of 10 bytes from offset 100, answered in different orders and
// lengths: the bytes without a gap end where the first missing byte is.
TEST(SftpPieces, TheBytesWithoutAGapEndAtTheFirstMissingByte)
{
    const std::vector<Case> cases = {
        {"in order", {{1, 10}, {2, 10}, {3, 10}, {4, 10}}, 140},
        {"reversed", {{4, 10}, {3, 10}, {2, 10}, {1, 10}}, 140},
        {"first missing", {{2, 10}, {3, 10}, {4, 10}}, 100},
        {"a short one leaves a gap", {{1, 10}, {2, 4}, {3, 10}, {4, 10}}, 114},
        {"end of file short", {{1, 10}, {2, 10}, {3, 10}, {4, 3}}, 133},
        {"middle missing, rest out of order", {{4, 10}, {1, 10}, {3, 10}}, 110},
    };
    for (const Case &c : cases) {
        SftpPieces pieces(100);
        for (uint32_t id = 1; id <= 4; ++id)
            pieces.asked({id, 100 + 10 * (id - 1), 10});
        for (const Answer &a : c.answers) {
            SftpPieces::Piece piece;
            ASSERT_EQ(pieces.take(a.id, piece), SftpPieces::Match::Piece) << c.name << " " << a.id;
            EXPECT_EQ(piece.offset, 100 + 10 * (a.id - 1)) << c.name;
            pieces.arrived(piece, a.size);
        }
        EXPECT_EQ(pieces.contiguous(), c.contiguous) << c.name;
        EXPECT_EQ(pieces.waiting(), 4 - c.answers.size()) << c.name;
    }
}

TEST(SftpPieces, TheRestOfAShortReadAskedAgainClosesTheGapAndOldOrUnknownIdsAreTold)
{
    SftpPieces pieces(0);
    pieces.asked({7, 0, 10});
    pieces.asked({8, 10, 10});
    SftpPieces::Piece piece;
    ASSERT_EQ(pieces.take(8, piece), SftpPieces::Match::Piece);
    pieces.arrived(piece, 10);
    EXPECT_EQ(pieces.take(8, piece), SftpPieces::Match::Unknown) << "answered already";
    ASSERT_EQ(pieces.take(7, piece), SftpPieces::Match::Piece);
    pieces.arrived(piece, 6);
    EXPECT_EQ(pieces.contiguous(), 6u);
    pieces.asked({9, 6, 4}); // the rest of piece 7
    EXPECT_EQ(pieces.take(6, piece), SftpPieces::Match::Stale);
    EXPECT_EQ(pieces.take(12, piece), SftpPieces::Match::Unknown);
    ASSERT_EQ(pieces.take(9, piece), SftpPieces::Match::Piece);
    pieces.arrived(piece, 4);
    EXPECT_EQ(pieces.contiguous(), 20u);
    EXPECT_TRUE(pieces.empty());
}

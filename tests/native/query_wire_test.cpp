// The queue name query's replies and the translation of a print server's
// port names into LPR queues. The packets sent are checked byte by byte by
// the lab's test print server (tests/wine/lab/queue_query_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/query_wire.h"

namespace {

using discovery::QueryPiece;

std::vector<std::string> Queues(const std::string& answer) {
  const char* queues[64];
  int count = discovery::QueueNamesFromAnswer(reinterpret_cast<const std::uint8_t*>(answer.data()),
                                              answer.size(), queues, 64);
  return std::vector<std::string>(queues, queues + count);
}

TEST(QueryWire, ReplyHeaderIsCheckedAgainstTheDatagram) {
  const std::uint8_t reply[] = {0, 2, 0, 1, 0x01, 0x00, 0, 3, 'a', 'b', 'c'};
  QueryPiece piece = {};
  ASSERT_TRUE(discovery::ReadQueryReply(reply, sizeof(reply), &piece));
  EXPECT_EQ(std::to_string(piece.type) + " " + std::to_string(piece.more) + " " +
                std::to_string(piece.offset) + " " +
                std::string(reinterpret_cast<const char*>(piece.data), piece.length),
            "2 1 256 abc");

  // Claiming more data than arrived, or too short for a header at all.
  EXPECT_FALSE(discovery::ReadQueryReply(reply, sizeof(reply) - 1, &piece));
  EXPECT_FALSE(discovery::ReadQueryReply(reply, 7, &piece));
  const std::uint8_t empty_piece[] = {0, 3, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(discovery::ReadQueryReply(empty_piece, sizeof(empty_piece), &piece));
  EXPECT_EQ(piece.length, 0);
}

TEST(QueryWire, PortNamesBecomeQueuesInServerOrder) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Queues(std::string("\x01LPT1\0COM1\0", 11)), (V{"lp_p1", "lp_s1"}));
  // Case is ignored, a queue may repeat, and runs of zero bytes are gaps.
  EXPECT_EQ(Queues(std::string("\x01prn\0\0\0Printer\0", 16)), (V{"lp", "lp"}));
  EXPECT_EQ(Queues(std::string("\x01pio2\0sio\0com2\0PRN1\0", 21)),
            (V{"lp_p2", "lp_s1", "lp_s2", "lp"}));
  // Whole names only: neither prefixes nor longer names match.
  EXPECT_EQ(Queues(std::string("\x01LPT12\0LP\0COM\0", 14)), V{});
  // The first byte is never a name, even when it looks like one.
  EXPECT_EQ(Queues("PRN"), V{});
  EXPECT_EQ(Queues(std::string("\x01") + "SIO"), V{"lp_s1"});  // last name without its zero
  EXPECT_EQ(Queues(""), V{});
}

}  // namespace

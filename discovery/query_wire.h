// The print server's queue name query on the wire: the request packet, the
// check of a reply, and the translation of the server's port names into
// LPR queue names. Platform-free; the socket side lives in query.h.
#pragma once
#include <cstddef>
#include <cstdint>

namespace discovery {

inline constexpr std::size_t kQueryPacketSize = 88;
inline constexpr std::size_t kQueryReplyMax = 576;
inline constexpr std::size_t kQueryReplyHeader = 8;
inline constexpr std::uint16_t kQueryFirst = 1;
inline constexpr std::uint16_t kQueryNext = 2;
inline constexpr std::uint16_t kQueryClose = 3;
inline constexpr std::uint16_t kQueryDefaultPort = 19541;
inline constexpr char kPortNameCommand[] = "GET PORT_NAME";

// Type 1, second word 1, the command (at most 79 characters, zero-padded to
// 80 bytes), offset 0, fixed word 512; 16-bit fields big-endian.
void BuildQueryPacket(std::uint8_t packet[kQueryPacketSize], const char* command);
void SetQueryType(std::uint8_t packet[kQueryPacketSize], std::uint16_t type);
void SetQueryOffset(std::uint8_t packet[kQueryPacketSize], std::uint16_t offset);
std::uint16_t QueryType(const std::uint8_t packet[kQueryPacketSize]);

// One piece of the server's answer, pointing into the received datagram.
struct QueryPiece {
  std::uint16_t type;
  std::uint16_t more;
  std::uint16_t offset;
  const std::uint8_t* data;
  std::uint16_t length;
};

// Reads a reply's header. False for a datagram too short for its header or
// for the data length it claims: such a reply cannot be the piece asked for.
bool ReadQueryReply(const std::uint8_t* datagram, std::size_t size, QueryPiece* piece);

// The LPR queue that a server port name stands for (case ignored), or null.
const char* QueueNameForPort(const char* port_name, std::size_t length);

// The assembled answer to "GET PORT_NAME" turned into queue names, in the
// server's order, a queue repeated when two ports map to it. The first byte
// is not a name; zero bytes separate names. Returns how many were stored in
// `queues` (at most `max`).
int QueueNamesFromAnswer(const std::uint8_t* answer, std::size_t size, const char** queues,
                         int max);

// Offered when the server names no port the monitor knows.
inline constexpr const char* kDefaultQueues[] = {"lp", "lp_p1", "lp_p2", "lp_s1", "sp"};

}  // namespace discovery

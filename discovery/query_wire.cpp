#include "discovery/query_wire.h"

#include "core/text.h"

namespace discovery {
namespace {

constexpr std::size_t kCommandAt = 4;
constexpr std::size_t kCommandSize = 80;
constexpr std::size_t kOffsetAt = 84;

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

std::uint16_t Get16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

struct PortQueue {
  const char* port;
  const char* queue;
};

// Searched in order: the first match wins.
constexpr PortQueue kPortQueues[] = {
    {"PRN", "lp"},      {"LPT", "lp"},      {"LPT1", "lp_p1"}, {"LPT2", "lp_p2"},
    {"COM1", "lp_s1"},  {"COM2", "lp_s2"},  {"prn1", "lp"},    {"PIO1", "lp_p1"},
    {"PIO2", "lp_p2"},  {"SIO", "lp_s1"},   {"Printer", "lp"},
};

}  // namespace

void BuildQueryPacket(std::uint8_t packet[kQueryPacketSize], const char* command) {
  for (std::size_t i = 0; i < kQueryPacketSize; ++i) packet[i] = 0;
  Put16(packet, kQueryFirst);
  Put16(packet + 2, 1);
  for (std::size_t i = 0; i + 1 < kCommandSize && command[i] != '\0'; ++i)
    packet[kCommandAt + i] = static_cast<std::uint8_t>(command[i]);
  Put16(packet + 86, 512);
}

void SetQueryType(std::uint8_t packet[kQueryPacketSize], std::uint16_t type) { Put16(packet, type); }

void SetQueryOffset(std::uint8_t packet[kQueryPacketSize], std::uint16_t offset) {
  Put16(packet + kOffsetAt, offset);
}

std::uint16_t QueryType(const std::uint8_t packet[kQueryPacketSize]) { return Get16(packet); }

bool ReadQueryReply(const std::uint8_t* datagram, std::size_t size, QueryPiece* piece) {
  if (size < kQueryReplyHeader) return false;
  piece->type = Get16(datagram);
  piece->more = Get16(datagram + 2);
  piece->offset = Get16(datagram + 4);
  piece->length = Get16(datagram + 6);
  piece->data = datagram + kQueryReplyHeader;
  return piece->length <= size - kQueryReplyHeader;
}

const char* QueueNameForPort(const char* port_name, std::size_t length) {
  for (const PortQueue& row : kPortQueues) {
    if (core::TextLength(row.port) == length && core::EqualNoCaseN(row.port, port_name, length))
      return row.queue;
  }
  return nullptr;
}

int QueueNamesFromAnswer(const std::uint8_t* answer, std::size_t size, const char** queues,
                         int max) {
  int count = 0;
  std::size_t at = 1;
  while (at < size && count < max) {
    if (answer[at] == 0) {
      ++at;
      continue;
    }
    std::size_t start = at;
    while (at < size && answer[at] != 0) ++at;
    const char* queue = QueueNameForPort(reinterpret_cast<const char*>(answer + start), at - start);
    if (queue != nullptr) queues[count++] = queue;
  }
  return count;
}

}  // namespace discovery

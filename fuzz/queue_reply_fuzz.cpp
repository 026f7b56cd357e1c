// A print server's reply to the queue name query, as a datagram and as an
// assembled answer: the header check never reads past the datagram, a piece
// it accepts lies inside it, and every queue name offered is one of the monitor's own.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "discovery/query_wire.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto datagram = std::make_unique<std::uint8_t[]>(size);
  if (size != 0) std::memcpy(datagram.get(), data, size);
  discovery::QueryPiece piece{};
  if (discovery::ReadQueryReply(datagram.get(), size, &piece))
    fuzz::Check(piece.data >= datagram.get() && piece.data + piece.length <= datagram.get() + size);
  constexpr int kMax = 64;
  const char* queues[kMax];
  const int count = discovery::QueueNamesFromAnswer(datagram.get(), size, queues, kMax);
  fuzz::Check(count >= 0 && count <= kMax);
  // Names come from the monitor's own table, never from the reply.
  const auto* begin = reinterpret_cast<const char*>(datagram.get());
  for (int i = 0; i < count; ++i) fuzz::Check(queues[i] < begin || queues[i] >= begin + size);
  return 0;
}

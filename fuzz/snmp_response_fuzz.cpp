// DecodeSnmpResponse on arbitrary bytes (a heap block of exactly their
// size, as is each name and value buffer, so ASan sees any access past one);
// a reply that decodes is then built again from its names and decoded.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "discovery/snmp.h"
#include "fuzz/fuzz_support.h"

using namespace discovery;

namespace {

constexpr int kSlots = 5;

// Whatever the message, every text the caller may print stays terminated.
int Decode(fuzz::SnmpSlots& slots, const std::uint8_t* data, std::size_t size) {
  const int result = DecodeSnmpResponse(data, size, slots.table.data());
  fuzz::Check(slots.Terminated());
  for (int i = 0; i < kSlots; ++i) fuzz::Check(slots.table[i].value_length == 0);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SnmpSlots reply(kSlots);
  if (Decode(reply, data, size) != 0) return 0;
  // The decoded names, built into a reply, decode the same: the encoder
  // takes every identifier the decoder writes, and writes it back exactly.
  for (SnmpBinding& slot : reply.table) slot.value = nullptr, slot.value_type = kSnmpNullType;
  auto built = std::make_unique<std::uint8_t[]>(kSnmpMaxMessageBytes);
  const int n = BuildSnmpRequest(built.get(), kSnmpMaxMessageBytes, "p", reply.table.data(),
                                 kSnmpGetResponse);
  fuzz::SnmpSlots again(kSlots);
  fuzz::Check(n > 0 && Decode(again, built.get(), static_cast<std::size_t>(n)) == 0);
  fuzz::Check(again.table[0].request_id == reply.table[0].request_id);
  for (int i = 0; i < kSlots; ++i)
    fuzz::Check(std::strcmp(again.Name(i), reply.Name(i)) == 0);
  return 0;
}

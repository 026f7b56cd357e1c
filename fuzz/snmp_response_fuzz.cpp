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
// Reply slots as the search prepares them: zero-filled.
struct ReplySlots {
  std::unique_ptr<char[]> names[kSlots];
  std::unique_ptr<std::uint8_t[]> values[kSlots];
  SnmpBinding table[kSlots + 1] = {};
  ReplySlots() {
    for (int i = 0; i < kSlots; ++i) {
      names[i] = std::make_unique<char[]>(kSnmpTextSize);
      values[i] = std::make_unique<std::uint8_t[]>(kSnmpTextSize);
      table[i] = {names[i].get(), values[i].get(), 0, kSnmpNullType, 0};
    }
  }
  // Whatever the message, every text the caller may print stays terminated.
  int Decode(const std::uint8_t* data, std::size_t size) {
    const int result = DecodeSnmpResponse(data, size, table);
    for (int i = 0; i < kSlots; ++i) {
      fuzz::Check(std::memchr(names[i].get(), 0, kSnmpTextSize) != nullptr);
      fuzz::Check(std::memchr(values[i].get(), 0, kSnmpTextSize) != nullptr);
      fuzz::Check(table[i].value_length == 0);
    }
    return result;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReplySlots reply;
  if (reply.Decode(data, size) != 0) return 0;
  // The decoded names, built into a reply, decode the same: the encoder
  // takes every identifier the decoder writes, and writes it back exactly.
  for (SnmpBinding& slot : reply.table) slot.value = nullptr, slot.value_type = kSnmpNullType;
  auto built = std::make_unique<std::uint8_t[]>(kSnmpMaxMessageBytes);
  const int n =
      BuildSnmpRequest(built.get(), kSnmpMaxMessageBytes, "p", reply.table, kSnmpGetResponse);
  ReplySlots again;
  fuzz::Check(n > 0 && again.Decode(built.get(), static_cast<std::size_t>(n)) == 0);
  fuzz::Check(again.table[0].request_id == reply.table[0].request_id);
  for (int i = 0; i < kSlots; ++i)
    fuzz::Check(std::strcmp(again.names[i].get(), reply.names[i].get()) == 0);
  return 0;
}

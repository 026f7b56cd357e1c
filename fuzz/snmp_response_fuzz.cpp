// DecodeSnmpResponse on arbitrary bytes; and the same bytes read as lines
// (community, then names) built into a message with the GetResponse type,
// which must decode back to the names it was built from.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "discovery/snmp.h"

namespace {

using discovery::kSnmpTextSize;

constexpr int kSlots = 5;
// Names beyond the fifth make the build fail, so one more is enough.
constexpr int kMaxNames = kSlots + 1;
constexpr std::size_t kMaxLine = 1200;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Reply slots as the search prepares them: zero-filled buffers of exactly
// kSnmpTextSize bytes each, so that ASan sees a write past one.
struct ReplySlots {
  std::unique_ptr<char[]> names[kSlots];
  std::unique_ptr<std::uint8_t[]> values[kSlots];
  discovery::SnmpBinding table[kSlots + 1] = {};

  explicit ReplySlots(int count) {
    for (int i = 0; i < count; ++i) {
      names[i] = std::make_unique<char[]>(kSnmpTextSize);
      values[i] = std::make_unique<std::uint8_t[]>(kSnmpTextSize);
      table[i] = {names[i].get(), values[i].get(), 0, discovery::kSnmpNullType, 0};
    }
  }
  void CheckTerminated(int count) const {
    for (int i = 0; i < count; ++i) {
      Check(std::memchr(names[i].get(), 0, kSnmpTextSize) != nullptr);
      Check(std::memchr(values[i].get(), 0, kSnmpTextSize) != nullptr);
      Check(table[i].value_length == 0);
    }
  }
};

void Decode(const std::uint8_t* data, std::size_t size) {
  ReplySlots slots(kSlots);
  discovery::DecodeSnmpResponse(data, size, slots.table);
  slots.CheckTerminated(kSlots);
}

// Whether the decoder gives this name back as it was written: at least
// two decimal components without leading zeros, a first one of 0, 1 or 2
// (below 2 with a second below 40), short enough for the name buffer.
bool Canonical(const char* name) {
  std::size_t length = std::strlen(name);
  if (length == 0 || length >= kSnmpTextSize) return false;
  int components = 0;
  std::uint64_t first = 0;
  for (const char* p = name;; ++p) {
    const char* start = p;
    std::uint64_t value = 0;
    while (*p >= '0' && *p <= '9') value = value * 10 + static_cast<std::uint64_t>(*p++ - '0');
    if (p == start || (p - start > 1 && *start == '0') || p - start > 10) return false;
    if (components == 0) first = value;
    if (components == 1 && (first > 2 || (first < 2 && value >= 40))) return false;
    ++components;
    if (*p == '\0') break;
    if (*p != '.') return false;
  }
  return components >= 2;
}

void BuildAndDecode(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> lines[1 + kMaxNames];
  int count = 0;
  std::size_t at = 0;
  while (count < 1 + kMaxNames && (at < size || count == 0)) {
    std::size_t end = at;
    while (end < size && data[end] != '\n') ++end;
    std::size_t length = end - at < kMaxLine ? end - at : kMaxLine;
    lines[count] = std::make_unique<char[]>(length + 1);
    for (std::size_t i = 0; i < length; ++i)
      lines[count][i] = data[at + i] != 0 ? static_cast<char>(data[at + i]) : '.';
    ++count;
    at = end + 1;
  }
  const char* community = lines[0].get();
  const int names = count - 1;
  discovery::SnmpBinding request[kMaxNames + 1] = {};
  for (int i = 0; i < names; ++i)
    request[i] = {lines[1 + i].get(), nullptr, 0, discovery::kSnmpNullType, 0};
  request[0].request_id = size > 0 ? data[0] : 0;

  auto out = std::make_unique<std::uint8_t[]>(discovery::kSnmpMaxMessageBytes);
  int n = discovery::BuildSnmpRequest(out.get(), discovery::kSnmpMaxMessageBytes, community,
                                      request, discovery::kSnmpGetResponse);
  std::size_t community_length = std::strlen(community);
  if (community_length == 0 || community_length > discovery::kSnmpMaxCommunity ||
      names > kSlots) {
    Check(n == -1);
    return;
  }
  if (n < 0) return;  // a name that cannot be encoded
  Check(static_cast<std::size_t>(n) <= discovery::kSnmpMaxMessageBytes);

  const int expected = names > 0 ? names : 1;
  ReplySlots reply(expected);
  Check(discovery::DecodeSnmpResponse(out.get(), static_cast<std::size_t>(n), reply.table) == 0);
  reply.CheckTerminated(expected);
  Check(reply.table[0].request_id == request[0].request_id);
  for (int i = 0; i < names; ++i) {
    Check(reply.table[i].value_type == discovery::kSnmpNullType);
    if (Canonical(request[i].name)) Check(std::strcmp(reply.names[i].get(), request[i].name) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Decode(data, size);
  BuildAndDecode(data, size);
  return 0;
}

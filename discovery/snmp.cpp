#include "discovery/snmp.h"

#include "core/text.h"

namespace discovery {
namespace {

enum Tag : std::uint8_t {
  kInteger = 0x02,
  kOctetString = 0x04,
  kNull = 0x05,
  kObjectIdentifier = 0x06,
  kSequence = 0x30,
  kIpAddress = 0x40,
  kCounter = 0x41,
  kGauge = 0x42,
  kTimeTicks = 0x43,
};

// A component longer than this without '.' is taken for garbage, not a number.
constexpr int kMaxComponentChars = 1024;

// The capacities of the stages are worked out so that a valid encoding
// always fits; the writer's bound only keeps a wrong one in bounds.
struct BerWriter : core::ByteWriter {
  // A definite length of `form` bytes: 1 short, 2 with 0x81, 3 with 0x82.
  void Length(std::size_t value, std::size_t form) {
    if (form == 2) Byte(0x81);
    if (form == 3) {
      Byte(0x82);
      Byte(static_cast<std::uint32_t>(value >> 8));
    }
    Byte(static_cast<std::uint32_t>(value));
  }
  // Base 128, most significant group first, top bit on all but the last.
  void SubIdentifier(std::uint32_t value) {
    int shift = 28;
    while (shift > 0 && (value >> shift) == 0) shift -= 7;
    for (; shift > 0; shift -= 7) Byte(0x80 | ((value >> shift) & 0x7F));
    Byte(value & 0x7F);
  }
};

std::size_t ShortestForm(std::size_t length) { return length < 128 ? 1 : length < 256 ? 2 : 3; }

// Bounded: a community without a terminator in reach is refused, not scanned.
std::size_t CommunityLength(const char* community) {
  std::size_t n = 0;
  while (n <= kSnmpMaxCommunity && community[n] != '\0') ++n;
  return n;
}

// Dotted decimal text in which a number is only written whole: a cut text
// is a prefix of the full one that ends at a component, never inside one.
struct DottedText {
  char* out;
  std::size_t size;
  std::size_t at = 0;
  bool full = false;

  // The number and a '.'; the last dot is taken off by Finish.
  void Component(std::uint32_t value) {
    char digits[10];
    std::size_t n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    // The dot's place takes the terminator if this turns out to be the last.
    if (full || at + n + 1 > size) {
      full = true;
      return;
    }
    while (n > 0) out[at++] = digits[--n];
    out[at++] = '.';
  }
  void Finish() {
    if (size == 0) return;
    if (at > 0) --at;
    out[at] = '\0';
  }
};

void WriteDecimal(char* out, std::uint32_t value) {
  core::TextWriter writer{out, kSnmpTextSize - 1};
  writer.Number(value);
  out[writer.at] = '\0';
}

std::size_t Min(std::size_t a, std::size_t b) { return a < b ? a : b; }

}  // namespace

int NextOidComponent(const char*& cursor, std::uint32_t& number) {
  const char* text = cursor;
  int end = 0;
  while (text[end] != '.' && text[end] != '\0') {
    if (++end == kMaxComponentChars) return -1;
  }
  // Only digits: a letter would otherwise end up as some unrelated
  // sub-identifier and the agent would answer for a different object.
  std::uint64_t value = 0;
  for (int i = 0; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (value > 0xFFFFFFFFu) return -1;
  }
  number = static_cast<std::uint32_t>(value);
  if (text[end] == '\0') return 0;
  cursor = text + end + 1;
  return 1;
}

bool EncodeBinding(const SnmpBinding& slot, SnmpEncodedBinding& out) {
  if (slot.name == nullptr) return false;
  if (slot.value_length > kSnmpMaxValueBytes) return false;
  if (slot.value_length > 0 && slot.value == nullptr) return false;

  // One byte of slack, so that a name one byte too long is seen as such.
  std::uint8_t name[kSnmpMaxNameBytes + 1];
  BerWriter content{{name, sizeof(name)}};
  const char* cursor = slot.name;
  std::uint32_t number = 0;
  int more = NextOidComponent(cursor, number);
  if (more < 0) return false;
  const std::uint64_t first = std::uint64_t{number} * 40;
  if (more > 0) {
    more = NextOidComponent(cursor, number);
    if (more < 0) return false;
    if (first + number > 0xFFFFFFFFu) return false;
    content.SubIdentifier(static_cast<std::uint32_t>(first + number));
    while (more > 0 && !content.overflow) {
      more = NextOidComponent(cursor, number);
      if (more < 0) return false;
      content.SubIdentifier(number);
    }
  }
  if (content.overflow || content.at > kSnmpMaxNameBytes) return false;

  const std::size_t value_bytes = 2 + slot.value_length;
  const std::size_t binding = 1 + ShortestForm(content.at) + content.at + value_bytes;
  BerWriter w{{out.bytes, sizeof(out.bytes)}};
  w.Byte(kSequence);
  w.Length(binding, ShortestForm(binding));
  w.Byte(kObjectIdentifier);
  w.Length(content.at, ShortestForm(content.at));
  w.Bytes(name, content.at);
  w.Byte(static_cast<std::uint32_t>(slot.value_type));
  w.Byte(slot.value_length);
  w.Bytes(slot.value, slot.value_length);
  if (w.overflow) return false;
  out.length = w.at;
  return true;
}

bool EncodeBindingList(const SnmpBinding* slots, SnmpBindingList& out) {
  if (slots == nullptr) return false;
  int count = 0;
  while (slots[count].name != nullptr) {
    if (++count > kSnmpMaxBindings) return false;
  }
  // The bindings go in after room for the largest header; once their total
  // is known they move down behind the header that it calls for.
  constexpr std::size_t kRoom = 4;
  BerWriter w{{out.bytes + kRoom, sizeof(out.bytes) - kRoom}};
  SnmpEncodedBinding binding;
  for (int i = 0; i < count; ++i) {
    if (!EncodeBinding(slots[i], binding)) return false;
    w.Bytes(binding.bytes, binding.length);
  }
  if (w.overflow) return false;
  const std::size_t total = w.at;
  const std::size_t header = 1 + ShortestForm(total);
  for (std::size_t i = 0; i < total; ++i) out.bytes[header + i] = out.bytes[kRoom + i];
  BerWriter h{{out.bytes, header}};
  h.Byte(kSequence);
  h.Length(total, ShortestForm(total));
  out.length = header + total;
  return true;
}

bool WrapPdu(const SnmpBindingList& list, std::uint8_t request_id, std::uint8_t pdu_type,
             SnmpPdu& out) {
  if (list.length > sizeof(list.bytes)) return false;
  // The form follows the list alone, so a list of 116 to 118 bytes gets the
  // 0x81 form for a length that would fit in one byte. Still valid BER.
  const std::size_t form = list.length < 116 ? 1 : list.length < 244 ? 2 : 3;
  BerWriter w{{out.bytes, sizeof(out.bytes)}};
  w.Byte(pdu_type);
  w.Length(list.length + 9, form);
  const std::uint8_t fields[9] = {kInteger, 1, request_id, kInteger, 1, 0, kInteger, 1, 0};
  w.Bytes(fields, sizeof(fields));
  w.Bytes(list.bytes, list.length);
  if (w.overflow) return false;
  out.length = w.at;
  return true;
}

std::size_t WrapMessage(const SnmpPdu& pdu, const char* community, std::uint8_t* out,
                        std::size_t out_size) {
  if (community == nullptr || out == nullptr || pdu.length > sizeof(pdu.bytes)) return 0;
  const std::size_t community_length = CommunityLength(community);
  if (community_length == 0 || community_length > kSnmpMaxCommunity) return 0;
  const std::size_t content = pdu.length + community_length + 5;
  const std::size_t total = 1 + ShortestForm(content) + content;
  if (total > out_size) return 0;
  BerWriter w{{out, out_size}};
  w.Byte(kSequence);
  w.Length(content, ShortestForm(content));
  w.Byte(kInteger);
  w.Byte(1);
  w.Byte(0);
  w.Byte(kOctetString);
  w.Byte(static_cast<std::uint32_t>(community_length));
  w.Bytes(reinterpret_cast<const std::uint8_t*>(community), community_length);
  w.Bytes(pdu.bytes, pdu.length);
  return w.at;
}

int BuildSnmpRequest(std::uint8_t* out, std::size_t out_size, const char* community,
                     const SnmpBinding* slots, std::uint8_t pdu_type) {
  // WrapMessage refuses a bad community; nothing is written before it.
  if (slots == nullptr) return -1;
  SnmpBindingList list;
  if (!EncodeBindingList(slots, list)) return -1;
  SnmpPdu pdu;
  if (!WrapPdu(list, slots[0].request_id, pdu_type, pdu)) return -1;
  const std::size_t length = WrapMessage(pdu, community, out, out_size);
  return length == 0 ? -1 : static_cast<int>(length);
}

// ---------------------------------------------------------------------------
// Decoding. Every reader gets the count of received bytes left after its
// position; the lengths inside the message only ever shorten a read.

SnmpDecoded DecodeLength(const std::uint8_t* at, std::size_t remaining) {
  if (remaining == 0) return {0, 0};
  if (at[0] < 0x80) return {at[0], 1};
  if (at[0] == 0x81 && remaining >= 2) return {at[1], 2};
  if (at[0] == 0x82 && remaining >= 3) return {static_cast<std::uint32_t>(at[1]) << 8 | at[2], 3};
  return {0, 0};
}

SnmpDecoded DecodeUnsigned(const std::uint8_t* at, std::size_t remaining) {
  const SnmpDecoded length = DecodeLength(at, remaining);
  const std::size_t count = Min(length.value, remaining - length.consumed);
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value << 8 | at[length.consumed + i];
  return {value, length.consumed + count};
}

std::size_t DecodeOidText(const std::uint8_t* at, std::size_t remaining, char* out,
                          std::size_t out_size) {
  DottedText text{out, out_size};
  if (remaining == 0) {
    text.Finish();
    return 0;
  }
  const SnmpDecoded length = DecodeLength(at + 1, remaining - 1);
  const std::size_t start = 1 + length.consumed;
  const std::size_t count = Min(length.value, remaining - start);
  // A sub-identifier is read as however many bytes carry the top bit, and
  // then one more; 5-byte ones (2^28 and above) come out exactly, and an
  // overlong run keeps its low 32 bits rather than being refused. One left
  // unfinished at the end of the content is dropped.
  std::uint32_t value = 0;
  bool first = true;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = at[start + i];
    value = value << 7 | (b & 0x7F);
    if (b & 0x80) continue;
    if (first) {
      const std::uint32_t x = value / 40 < 2 ? value / 40 : 2;
      text.Component(x);
      text.Component(value - 40 * x);
      first = false;
    } else {
      text.Component(value);
    }
    value = 0;
  }
  text.Finish();
  return start + count;
}

int DecodeSnmpResponse(const std::uint8_t* message, std::size_t length, SnmpBinding* slots) {
  if (message == nullptr || slots == nullptr) return -1;
  std::size_t at = 0;
  auto left = [&] { return length - at; };
  auto tag_is = [&](std::uint8_t tag) { return at < length && message[at] == tag; };
  auto skip_length = [&] { at += DecodeLength(message + at, left()).consumed; };
  auto integer = [&] {
    const SnmpDecoded n = DecodeUnsigned(message + at, left());
    at += n.consumed;
    return n.value;
  };

  if (!tag_is(kSequence)) return -1;
  ++at;
  skip_length();
  if (!tag_is(kInteger)) return -1;
  ++at;
  if (integer() != 0) return -1;  // only version 1, which is sent as 0
  if (!tag_is(kOctetString)) return -1;
  ++at;
  // The community is not compared with the one sent: an agent answering
  // under another community is still a printer worth listing.
  const SnmpDecoded community = DecodeLength(message + at, left());
  at += community.consumed;
  at += Min(community.value, left());
  if (!tag_is(kSnmpGetResponse)) return -1;
  ++at;
  skip_length();
  if (!tag_is(kInteger)) return -1;
  ++at;
  slots[0].request_id = static_cast<std::uint8_t>(integer());
  if (!tag_is(kInteger)) return -1;
  ++at;
  const std::uint32_t error_status = integer();
  if (!tag_is(kInteger)) return -1;
  ++at;
  integer();
  if (error_status != 0) return static_cast<int>(error_status);
  if (!tag_is(kSequence)) return -1;
  ++at;
  const SnmpDecoded list = DecodeLength(message + at, left());
  at += list.consumed;

  // The list's own length bounds the loop as the sender meant it; the
  // received bytes bound every read. Each binding takes at least its tag
  // byte and there is one pass per slot, so the loop always ends.
  std::int64_t remaining = list.value;
  for (SnmpBinding* slot = slots; slot->name != nullptr && remaining > 0 && at < length; ++slot) {
    // The binding's SEQUENCE tag is not checked and its length not used:
    // the name and value that follow carry their own.
    const std::size_t binding_start = at;
    ++at;
    if (at < length) {
      const std::uint8_t b = message[at];
      at += Min(b < 0x80 ? 1 : 1 + (b & 0x7F), left());
    }
    if (tag_is(kObjectIdentifier))
      at += DecodeOidText(message + at, left(), slot->name, kSnmpTextSize);
    if (at >= length) break;

    const std::uint8_t tag = message[at];
    slot->value_type = tag;
    char* text = reinterpret_cast<char*>(slot->value);
    switch (tag) {
      case kInteger:
      case kCounter:
      case kGauge:
      case kTimeTicks: {
        ++at;
        WriteDecimal(text, integer());
        break;
      }
      case kOctetString: {
        ++at;
        const SnmpDecoded n = DecodeLength(message + at, left());
        at += n.consumed;
        const std::size_t received = Min(n.value, left());
        if (n.value == 0) {
          core::CopyText(text, kSnmpTextSize, "NULL");
        } else {
          // Raw bytes, possibly binary (a MAC address); a longer string is
          // cut to the buffer and still terminated.
          const std::size_t kept = Min(received, kSnmpTextSize - 1);
          for (std::size_t i = 0; i < kept; ++i) slot->value[i] = message[at + i];
          slot->value[kept] = 0;
        }
        at += received;
        break;
      }
      case kNull:
        at += Min(2, left());
        break;
      case kObjectIdentifier:
        at += DecodeOidText(message + at, left(), text, kSnmpTextSize);
        break;
      case kIpAddress: {
        ++at;
        const SnmpDecoded n = DecodeLength(message + at, left());
        at += n.consumed;
        const std::size_t received = Min(n.value, left());
        DottedText dotted{text, kSnmpTextSize};
        for (std::size_t i = 0; i < received; ++i) dotted.Component(message[at + i]);
        dotted.Finish();
        at += received;
        break;
      }
      case kSequence:
        ++at;
        skip_length();
        break;
      default:
        // Not understood, so not consumed; the next slot starts here.
        break;
    }
    remaining -= static_cast<std::int64_t>(at - binding_start);
  }
  return 0;
}

}  // namespace discovery

// SNMPv1 messages as the printer search needs them: GetNextRequests whose
// bindings carry NULL values, and GetResponses decoded into text. Plain
// functions over byte buffers: no sockets, no state, no Windows header.
#pragma once
#include <cstddef>
#include <cstdint>

namespace discovery {

// Size of every name and value buffer of a reply slot.
inline constexpr std::size_t kSnmpTextSize = 256;
// A request carries at most this many bindings.
inline constexpr int kSnmpMaxBindings = 5;
// Longest encoded object identifier a request may carry.
inline constexpr std::size_t kSnmpMaxNameBytes = 500;

inline constexpr std::uint8_t kSnmpGetNextRequest = 0xA1;
inline constexpr std::uint8_t kSnmpGetResponse = 0xA2;
inline constexpr std::int32_t kSnmpNullType = 5;

// One variable binding. A slot table is an array of these ended by a slot
// whose name is null.
//  - request: `name` is the dotted identifier to ask for ("1.3.6.1.2.1.1.1");
//    `value`/`value_length`/`value_type` the value to send (length 0: a
//    NULL value of tag `value_type`); `request_id` of the first slot is sent.
//  - reply: `name` and `value` are caller-owned buffers of kSnmpTextSize
//    bytes, zero-filled; decoding writes the reply's identifier and value as
//    text (see DecodeSnmpResponse), sets `value_type` to the value's tag and
//    the first slot's `request_id` to the low byte of the reply's id.
struct SnmpBinding {
  char* name;
  std::uint8_t* value;
  std::uint32_t value_length;
  std::int32_t value_type;
  std::uint8_t request_id;
};

// Writes the request message into `out` and returns its length; -1 when
// the community is empty or longer than 100 characters, the table holds
// more than kSnmpMaxBindings bindings, a binding cannot be encoded, or the
// message does not fit `out_size`. Nothing is written on failure.
int BuildSnmpRequest(std::uint8_t* out, std::size_t out_size, const char* community,
                     const SnmpBinding* slots, std::uint8_t pdu_type);

// Decodes a GetResponse of `length` bytes into the slots. -1 for a message
// that is not an SNMPv1 GetResponse; the error-status when it is not 0
// (only the first slot's request id is then set); 0 when the bindings were
// decoded, one per slot in order, extra bindings ignored. Never reads past
// `length` nor writes past a slot's buffers, whatever the lengths inside
// the message claim: texts that do not fit are cut, and a reply cut short
// inside its bindings gives what was received (the value bytes present, a
// number from the bytes present).
int DecodeSnmpResponse(const std::uint8_t* message, std::size_t length, SnmpBinding* slots);

// ---------------------------------------------------------------------------
// Building blocks of the two calls above, each usable on its own.

inline constexpr std::size_t kSnmpMaxCommunity = 100;
// A request value is written with a one-byte length, so it stays below 128
// bytes; a longer one makes its binding fail.
inline constexpr std::size_t kSnmpMaxValueBytes = 127;

// Largest encodings that the limits above allow. Every header (tag and
// length field) takes at most 4 bytes.
inline constexpr std::size_t kSnmpMaxBindingBytes =
    4 + 4 + kSnmpMaxNameBytes + 2 + kSnmpMaxValueBytes;
inline constexpr std::size_t kSnmpMaxListBytes =
    4 + static_cast<std::size_t>(kSnmpMaxBindings) * kSnmpMaxBindingBytes;
// request-id, error-status and error-index take 9 bytes.
inline constexpr std::size_t kSnmpMaxPduBytes = 4 + 9 + kSnmpMaxListBytes;
// version takes 3 bytes, the community's tag and length 2.
inline constexpr std::size_t kSnmpMaxMessageBytes = 4 + 5 + kSnmpMaxCommunity + kSnmpMaxPduBytes;

// One encoding stage: `length` bytes of `bytes` are used. Stages live on
// the stack (BuildSnmpRequest needs about 8 KB of it); nothing here
// allocates.
template <std::size_t N>
struct SnmpBytes {
  std::uint8_t bytes[N];
  std::size_t length;
};
using SnmpEncodedBinding = SnmpBytes<kSnmpMaxBindingBytes>;
using SnmpBindingList = SnmpBytes<kSnmpMaxListBytes>;
using SnmpPdu = SnmpBytes<kSnmpMaxPduBytes>;

// Takes the next component of a dotted identifier at `cursor` into
// `number`: 1 and the cursor past the '.' when more follow, 0 for the last
// one (the cursor is then left at it), -1 when no '.' or end comes within
// 1024 characters, or the component is not a decimal number below 2^32. An
// empty component is 0.
int NextOidComponent(const char*& cursor, std::uint32_t& number);

// SEQUENCE { OBJECT IDENTIFIER name, value } of one slot. False for a null
// name, a component that NextOidComponent refuses, first two components
// whose combined sub-identifier 40*X + Y passes 2^32 - 1, a name above
// kSnmpMaxNameBytes encoded bytes, or a value above kSnmpMaxValueBytes.
// A name of one component has no second to combine with and is encoded
// empty.
bool EncodeBinding(const SnmpBinding& slot, SnmpEncodedBinding& out);

// The SEQUENCE of the bindings of `slots` up to the ending slot. False when
// there are more than kSnmpMaxBindings or one of them fails.
bool EncodeBindingList(const SnmpBinding* slots, SnmpBindingList& out);

// PDU header, request-id, error-status 0, error-index 0, then the list.
// The header's length form follows the list's size (below 116 bytes short,
// below 244 the 0x81 form, else 0x82), which is not always the shortest.
// False when `list.length` passes its capacity.
bool WrapPdu(const SnmpBindingList& list, std::uint8_t request_id, std::uint8_t pdu_type,
             SnmpPdu& out);

// SEQUENCE { version 0, community, PDU } into `out`; returns its length, or
// 0 with nothing written when the community is empty or longer than
// kSnmpMaxCommunity, or the message does not fit `out_size`.
std::size_t WrapMessage(const SnmpPdu& pdu, const char* community, std::uint8_t* out,
                        std::size_t out_size);

// A decoded number and how many bytes it took.
struct SnmpDecoded {
  std::uint32_t value;
  std::size_t consumed;
};

// A BER length field at `at`, of which `remaining` bytes were received:
// short form, 0x81 or 0x82. Any other first byte, or a field cut off by
// the end of the data, gives 0 with nothing consumed.
SnmpDecoded DecodeLength(const std::uint8_t* at, std::size_t remaining);

// The length field at `at` and the big-endian content after it as an
// unsigned number (its low 32 bits: the leading 0 byte of a 5-byte INTEGER
// drops out). Content cut off by the end of the data counts only as far as
// it was received.
SnmpDecoded DecodeUnsigned(const std::uint8_t* at, std::size_t remaining);

// The OBJECT IDENTIFIER whose tag is at `at` as dotted text in `out`
// ("1.3.6.1.2.1.1.1.0"); returns the bytes taken (tag, length field and
// content, as far as received). The text is cut after the last component
// that fits `out_size` and always terminated. A sub-identifier of any
// length gives its low 32 bits, so 5-byte ones (2^28 up to 2^32 - 1) come
// out exact; one left unfinished at the end of the content is dropped.
std::size_t DecodeOidText(const std::uint8_t* at, std::size_t remaining, char* out,
                          std::size_t out_size);

}  // namespace discovery

#include "discovery/snmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

using namespace discovery;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Cat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::size_t Shortest(std::size_t n) { return n < 128 ? 1 : n < 256 ? 2 : 3; }
Bytes LengthField(std::size_t n, std::size_t form) {
  const auto low = static_cast<std::uint8_t>(n), high = static_cast<std::uint8_t>(n >> 8);
  return form == 1 ? Bytes{low} : form == 2 ? Bytes{0x81, low} : Bytes{0x82, high, low};
}
// Replies come from this encoder, never from the one under test.
Bytes Tlv(std::uint8_t tag, const Bytes& c) {
  return Cat({{tag}, LengthField(c.size(), Shortest(c.size())), c});
}
const Bytes kSysDescr0{0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00};
Bytes Bind(const Bytes& v, const Bytes& name = kSysDescr0) { return Tlv(0x30, Cat({name, v})); }
Bytes Reply(const std::vector<Bytes>& bindings, std::uint8_t error_status = 0,
            std::uint8_t version = 0, std::uint8_t type = kSnmpGetResponse) {
  return Tlv(0x30, Cat({Tlv(0x02, {version}), Tlv(0x04, Of("public")),
                        Tlv(type, Cat({Tlv(0x02, {0x01, 0x2A}), Tlv(0x02, {error_status}),
                                      Tlv(0x02, {0}), Tlv(0x30, Cat(bindings))}))}));
}

// The message, too, is a heap block of exactly its size.
struct ReplySlots : fuzz::SnmpSlots {
  using SnmpSlots::SnmpSlots;
  int Decode(const Bytes& message) {
    auto copy = std::make_unique<std::uint8_t[]>(message.size());
    std::copy(message.begin(), message.end(), copy.get());
    const int result = DecodeSnmpResponse(copy.get(), message.size(), table.data());
    EXPECT_TRUE(Terminated());
    return result;
  }
};
// A request of NULL bindings for `names`, built into all of `out`.
int Build(Bytes& out, const std::string& community, std::vector<std::string> names,
          std::uint8_t type = kSnmpGetNextRequest, std::uint8_t request_id = 0) {
  std::vector<SnmpBinding> slots;
  for (std::string& n : names) slots.push_back({n.data(), nullptr, 0, kSnmpNullType, request_id});
  slots.push_back({});
  return BuildSnmpRequest(out.data(), out.size(), community.c_str(), slots.data(), type);
}
std::string NameOfBytes(std::size_t bytes) {  // "1.3.1.1...", one byte a component
  std::string name = "1.3";
  for (std::size_t i = 1; i < bytes; ++i) name += ".1";
  return name;
}

}  // namespace

TEST(SnmpRequest, SearchRequestAndRefusals) {
  const Bytes expected = Cat({{0x30, 0x60, 0x02, 0x01, 0x00, 0x04, 0x06}, Of("mevola"),
                              {0xA1, 0x53, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00},
                              {0x30, 0x48, 0x30, 0x0B, 0x06, 0x07, 0x2B, 6, 1, 2, 1, 1, 1, 5, 0},
                              {0x30, 0x0D, 0x06, 0x09, 0x2B, 6, 1, 2, 1, 4, 0x14, 1, 1, 5, 0},
                              {0x30, 0x0B, 0x06, 0x07, 0x2B, 6, 1, 2, 1, 1, 2, 5, 0},
                              {0x30, 0x0D, 0x06, 0x09, 0x2B, 6, 1, 2, 1, 2, 2, 1, 6, 5, 0},
                              {0x30, 0x0E, 0x06, 0x0A, 0x2B, 6, 1, 2, 1, 0x19, 3, 2, 1, 3, 5, 0}});
  const std::vector<std::string> search = {"1.3.6.1.2.1.1.1", "1.3.6.1.2.1.4.20.1.1",
      "1.3.6.1.2.1.1.2", "1.3.6.1.2.1.2.2.1.6", "1.3.6.1.2.1.25.3.2.1.3"};
  Bytes out(98), short_by_one(97, 0xEE), big(2048, 0xEE);
  ASSERT_EQ(Build(out, "mevola", search), 98);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(Build(short_by_one, "mevola", search), -1);
  EXPECT_EQ(Build(big, std::string(101, 'c'), search), -1);
  EXPECT_EQ(Build(big, "", search), -1);
  EXPECT_EQ(Build(big, "public", {"1.3.1", "1.3.2", "1.3.3", "1.3.4", "1.3.5", "1.3.6"}), -1);
  EXPECT_EQ(Cat({short_by_one, big}), Bytes(97 + 2048, 0xEE));  // nothing written on failure
  EXPECT_EQ(Build(big, std::string(100, 'c'), search, kSnmpGetResponse, 0x77), 98 + 94 + 1);
  EXPECT_EQ(Bytes(&big[108], &big[113]), (Bytes{0xA2, 0x53, 0x02, 0x01, 0x77}));  // type, id
}

TEST(SnmpRequest, EachLevelChoosesItsLengthForm) {
  std::set<std::size_t> seen[3];  // message content, list, list content
  for (std::size_t bytes = 1; bytes <= 300; ++bytes) {
    Bytes out(2048);
    const int n = Build(out, "c", {NameOfBytes(bytes)});
    // Each length field, read in the form its first byte announces, must
    // hold what follows it: message, then PDU, then list.
    std::size_t at = 1;
    for (int level = 0; level < 3; ++level) {
      const std::size_t form = out[at] < 0x80 ? 1 : out[at] - 0x7Fu;
      const std::size_t size = static_cast<std::size_t>(n) - at - form, list = size - 9;
      ASSERT_EQ(Bytes(&out[at], &out[at + form]), LengthField(size, form)) << level;
      // The PDU's form follows the list's size, not the length it holds.
      const std::size_t want = level != 1 ? Shortest(size) : list < 116 ? 1 : list < 244 ? 2 : 3;
      ASSERT_EQ(form, want) << level << ": " << size;
      seen[level].insert(level != 1 ? size : list);
      at += form + (level == 0 ? 7 : 10);
    }
  }
  for (std::size_t n : {127, 128, 255, 256}) EXPECT_TRUE(seen[0].count(n) && seen[2].count(n)) << n;
  for (std::size_t n : {115, 116, 243, 244}) EXPECT_TRUE(seen[1].count(n)) << n;
}

TEST(SnmpRequest, NamesEncodeOrAreRefused) {
  Bytes value(128);
  struct { std::string name; Bytes head; std::uint32_t value_length = 0; } cases[] = {
      {"1.3.127.128", {0x30, 8, 0x06, 4, 0x2B, 0x7F, 0x81, 0x00}},
      {"1.3.4294967295", {0x30, 10, 0x06, 6, 0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
      {"2.999", {0x30, 6, 0x06, 2, 0x88, 0x37}},
      {NameOfBytes(124), {0x30, 0x81, 128, 0x06, 124}},
      {NameOfBytes(128), {0x30, 0x81, 133, 0x06, 0x81, 128}},
      {NameOfBytes(500), {0x30, 0x82, 0x01, 0xFA, 0x06, 0x82, 0x01, 0xF4}},
      {"1.3", {0x30, 0x81, 0x84, 0x06, 0x01, 0x2B, 0x04, 0x7F}, 127},  // values: one-byte length
      // Refused:
      {"1.3", {}, 128}, {NameOfBytes(501), {}}, {"1.3.4294967296", {}}, {"1.3.x", {}}};
  for (auto& c : cases) {
    SnmpEncodedBinding out;
    const SnmpBinding slot{c.name.data(), value.data(), c.value_length, 0x04, 0};
    ASSERT_EQ(EncodeBinding(slot, out), !c.head.empty()) << c.name.substr(0, 20);
    EXPECT_EQ(Bytes(out.bytes, out.bytes + std::min(c.head.size(), out.length)), c.head);
  }
}

TEST(SnmpReply, ValuesBecomeTextEvenWhenCutAnywhere) {
  EXPECT_EQ(DecodeLength(Bytes{0x82, 0x01, 0x05}.data(), 3).value, 261u);
  // 255 characters of identifier are kept whole; more are cut after the last
  // whole component that fits, here before one that would fit without its dot.
  const Bytes full = Tlv(0x06, Cat({{0x2B}, Bytes(126, 1)}));
  const Bytes longer = Tlv(0x06, Cat({{0x2B}, Bytes(124, 1), {0x87, 0x68, 1}}));  // length 81 80
  const struct { Bytes value; std::string text, name_text = "1.3.6.1.2.1.1.1.0";
                 Bytes name = kSysDescr0; } cases[] = {
      {Tlv(0x04, {}), "NULL"},
      {Tlv(0x40, {0xC0, 0xA8, 0x00, 0x0A}), "192.168.0.10", "2.1", {0x06, 0x01, 0x51}},
      {Tlv(0x02, {0xFF, 0xFF, 0xFF, 0xFE}), "4294967294"},
      {Tlv(0x43, {0x00, 0xFF, 0xFF, 0xFF, 0xFE}), "4294967294"},
      {Tlv(0x04, {'L', 'P', 0x00, 'X'}), std::string("LP\0X", 4)},
      {Tlv(0x06, {0x81, 0x34, 3, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), "2.100.3.4294967295"},
      {Tlv(0x06, {0x2B, 6, 0x81}), "1.3.6"},  // the last sub-identifier unfinished
      {Tlv(0x04, Bytes(261, 'x')), std::string(255, 'x'), NameOfBytes(127), full},  // 82 01 05
      {longer, NameOfBytes(125), NameOfBytes(125), longer},
      {Tlv(0x05, {}), ""},
      {Tlv(0x44, {1, 2, 3}), ""}};  // not understood: only its tag kept
  std::vector<Bytes> bindings;
  for (const auto& c : cases) bindings.push_back(Bind(c.value, c.name));
  const Bytes reply = Reply(bindings);
  // Up to the list's tag (byte 29) the reply is refused; after it a cut
  // reply gives what was received, every text terminated.
  for (std::size_t n = 0; n <= reply.size(); ++n) {
    ReplySlots r(std::size(cases));
    ASSERT_EQ(r.Decode(Bytes(reply.begin(), reply.begin() + n)), n <= 29 ? -1 : 0) << n;
    for (std::size_t i = 0; n == reply.size() && i < std::size(cases); ++i) {
      const std::string& text = cases[i].text;
      EXPECT_EQ(r.Name(i), cases[i].name_text) << i;
      EXPECT_EQ(std::string(r.Value(i), text.size() + 1), text + '\0') << i;
      EXPECT_EQ(r.table[i].value_type, cases[i].value[0]) << i;
    }
  }
}

TEST(SnmpReply, MalformedAndErrorReplies) {
  const Bytes binding = Bind(Tlv(0x04, Of("LaserJet")));
  ReplySlots r(2);
  EXPECT_EQ(r.Decode(Reply({binding}, 0, 1)), -1);
  EXPECT_EQ(r.Decode(Reply({binding}, 0, 0, kSnmpGetNextRequest)), -1);
  EXPECT_EQ(r.Decode(Reply({binding}, 2)), 2);
  EXPECT_EQ(r.table[0].request_id, 0x2A);
  EXPECT_EQ(std::string(r.Name(0)) + r.Value(0), "");
  ASSERT_EQ(r.Decode(Reply({binding, Bind(Tlv(0x02, {7})), binding})), 0);
  EXPECT_EQ(std::string(r.Value(0)) + r.Value(1), "LaserJet7");
  const Bytes cut = Reply({binding});  // short of its end, decoded over the whole text
  ASSERT_EQ(r.Decode(Bytes(cut.begin(), cut.end() - 4)), 0);
  EXPECT_STREQ(r.Value(0), "Lase");
}

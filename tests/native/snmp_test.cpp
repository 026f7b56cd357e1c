#include "discovery/snmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace discovery;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Hex(const char* text) {
  Bytes out;
  for (const char* p = text; *p != '\0'; p += p[2] == ' ' ? 3 : 2)
    out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
  return out;
}

// A test-side BER encoder for replies: shortest length forms throughout.
Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  const std::size_t n = content.size();
  const auto low = static_cast<std::uint8_t>(n), high = static_cast<std::uint8_t>(n >> 8);
  const Bytes length = n < 128 ? Bytes{low} : n < 256 ? Bytes{0x81, low} : Bytes{0x82, high, low};
  return Cat({{tag}, length, content});
}
Bytes Bind(const Bytes& name, const Bytes& value) { return Tlv(0x30, Cat({name, value})); }
Bytes Reply(const std::vector<Bytes>& bindings, std::uint8_t error_status = 0,
            std::uint8_t version = 0, std::uint8_t pdu = 0xA2) {
  return Tlv(0x30, Cat({Tlv(0x02, {version}), Tlv(0x04, Of("public")),
                        Tlv(pdu, Cat({Tlv(0x02, {0x01, 0x2A}), Tlv(0x02, {error_status}),
                                      Tlv(0x02, {0}), Tlv(0x30, Cat(bindings))}))}));
}

const Bytes kSysDescr0{0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00};

// Reply slots as the search prepares them, each buffer a heap block of
// exactly kSnmpTextSize bytes so that ASan sees any write past it.
struct ReplySlots {
  explicit ReplySlots(std::size_t count) : slots(count + 1) {
    for (std::size_t i = 0; i < count; ++i) {
      names.emplace_back(new char[kSnmpTextSize]());
      values.emplace_back(new std::uint8_t[kSnmpTextSize]());
      slots[i] = {names[i].get(), values[i].get(), 0, kSnmpNullType, 0};
    }
    slots[count] = {};
  }
  int Decode(const Bytes& message) {
    // Exactly the received size, so that a read past it is caught.
    auto copy = std::make_unique<std::uint8_t[]>(message.size());
    if (!message.empty()) std::memcpy(copy.get(), message.data(), message.size());
    return DecodeSnmpResponse(copy.get(), message.size(), slots.data());
  }
  std::string Name(std::size_t i) const { return Terminated(names[i].get()); }
  std::string Value(std::size_t i) const {
    return Terminated(reinterpret_cast<const char*>(values[i].get()));
  }
  static std::string Terminated(const char* text) {
    EXPECT_NE(std::memchr(text, 0, kSnmpTextSize), nullptr) << "not terminated";
    return std::string(text, strnlen(text, kSnmpTextSize));
  }

  std::vector<std::unique_ptr<char[]>> names;
  std::vector<std::unique_ptr<std::uint8_t[]>> values;
  std::vector<SnmpBinding> slots;
};

// A request table of NULL bindings, owning its names.
struct Table {
  explicit Table(std::vector<std::string> texts) : names(std::move(texts)) {
    for (std::string& n : names) slots.push_back({n.data(), nullptr, 0, kSnmpNullType, 0});
    slots.push_back({});
  }
  Table(const Table&) = delete;
  SnmpBinding* data() { return slots.data(); }
  SnmpBinding& operator[](std::size_t i) { return slots[i]; }

  std::vector<std::string> names;
  std::vector<SnmpBinding> slots;
};

// "1.3" followed by ".1" until the encoded name has `bytes` bytes.
std::string NameOfBytes(std::size_t bytes) {
  std::string name = "1.3";
  for (std::size_t i = 1; i < bytes; ++i) name += ".1";
  return name;
}

Bytes Head(const Bytes& b, std::size_t n) {
  return Bytes(b.begin(), b.begin() + std::min(n, b.size()));
}

Bytes Encode(const std::string& name) {
  auto slots = Table({name});
  SnmpEncodedBinding out;
  if (!EncodeBinding(slots[0], out)) return {};
  return Bytes(out.bytes, out.bytes + out.length);
}

}  // namespace

TEST(SnmpRequest, SearchRequestIsExactlyTheKnownBytes) {
  const Bytes expected = Cat({
      Hex("30 60 02 01 00 04 06"), Of("mevola"), Hex("A1 53 02 01 00 02 01 00 02 01 00 30 48"),
      Hex("30 0B 06 07 2B 06 01 02 01 01 01 05 00"),
      Hex("30 0D 06 09 2B 06 01 02 01 04 14 01 01 05 00"),
      Hex("30 0B 06 07 2B 06 01 02 01 01 02 05 00"),
      Hex("30 0D 06 09 2B 06 01 02 01 02 02 01 06 05 00"),
      Hex("30 0E 06 0A 2B 06 01 02 01 19 03 02 01 03 05 00"),
  });
  ASSERT_EQ(expected.size(), 98u);
  auto slots = Table({"1.3.6.1.2.1.1.1", "1.3.6.1.2.1.4.20.1.1", "1.3.6.1.2.1.1.2",
                      "1.3.6.1.2.1.2.2.1.6", "1.3.6.1.2.1.25.3.2.1.3"});
  std::uint8_t out[2048];
  int n = BuildSnmpRequest(out, sizeof(out), "mevola", slots.data(), kSnmpGetNextRequest);
  ASSERT_EQ(n, 98);
  EXPECT_EQ(Bytes(out, out + n), expected);

  // The whole message fits exactly; one byte less and nothing is written.
  std::uint8_t tight[98];
  EXPECT_EQ(BuildSnmpRequest(tight, 98, "mevola", slots.data(), kSnmpGetNextRequest), 98);
  std::memset(out, 0xEE, sizeof(out));
  EXPECT_EQ(BuildSnmpRequest(out, 97, "mevola", slots.data(), kSnmpGetNextRequest), -1);
  EXPECT_EQ(out[0], 0xEE);
}

TEST(SnmpRequest, EachLevelChoosesItsLengthForm) {
  // Every list size from 1 to 3 bindings of growing names, which passes
  // each threshold of the list, the PDU and the message.
  std::vector<std::size_t> seen;
  for (std::size_t count = 1; count <= 3; ++count) {
    for (std::size_t bytes = 1; bytes <= 300; ++bytes) {
      std::vector<std::string> names(count, NameOfBytes(bytes));
      auto slots = Table(names);
      SnmpBindingList list;
      ASSERT_TRUE(EncodeBindingList(slots.data(), list));
      ASSERT_EQ(list.bytes[0], 0x30);
      const std::size_t header = list.bytes[1] < 0x80 ? 2 : list.bytes[1] == 0x81 ? 3 : 4;
      const std::size_t total = list.length - header;
      ASSERT_EQ(header, total < 128 ? 2u : total < 256 ? 3u : 4u) << total;
      ASSERT_EQ(list.bytes[header - 1], total & 0xFF);

      SnmpPdu pdu;
      ASSERT_TRUE(WrapPdu(list, 7, kSnmpGetNextRequest, pdu));
      const std::size_t form = list.length < 116 ? 1 : list.length < 244 ? 2 : 3;
      ASSERT_EQ(pdu.length, 1 + form + 9 + list.length) << list.length;
      if (form > 1) {
        ASSERT_EQ(pdu.bytes[1], form == 2 ? 0x81 : 0x82) << list.length;
      }
      ASSERT_EQ(pdu.bytes[form], (list.length + 9) & 0xFF) << list.length;
      ASSERT_EQ(pdu.bytes[form + 3], 7);
      seen.push_back(list.length);

      const std::string community(1 + bytes % 100, 'c');
      std::uint8_t out[2048];
      int n = BuildSnmpRequest(out, sizeof(out), community.c_str(), slots.data(), 0xA1);
      ASSERT_GT(n, 0);
      const std::size_t content = pdu.length + community.size() + 5;
      const std::size_t message_form = content < 128 ? 1 : content < 256 ? 2 : 3;
      ASSERT_EQ(static_cast<std::size_t>(n), 1 + message_form + content);
      ASSERT_EQ(out[message_form], content & 0xFF);
    }
  }
  for (std::size_t boundary : {115, 116, 243, 244})
    EXPECT_NE(std::find(seen.begin(), seen.end(), boundary), seen.end()) << boundary;

  // A list of 116 bytes: PDU content 125 still gets the 0x81 form.
  auto slots = Table({NameOfBytes(108)});
  SnmpBindingList list;
  ASSERT_TRUE(EncodeBindingList(slots.data(), list));
  ASSERT_EQ(list.length, 116u);
  SnmpPdu pdu;
  ASSERT_TRUE(WrapPdu(list, 0, 0xA1, pdu));
  EXPECT_EQ(Bytes(pdu.bytes, pdu.bytes + 3), (Bytes{0xA1, 0x81, 125}));
}

TEST(SnmpRequest, RefusesWhatItCannotSend) {
  auto five = Table({"1.3.1", "1.3.2", "1.3.3", "1.3.4", "1.3.5"});
  auto six = Table({"1.3.1", "1.3.2", "1.3.3", "1.3.4", "1.3.5", "1.3.6"});
  std::uint8_t out[2048];
  std::memset(out, 0xEE, sizeof(out));
  const std::string c100(100, 'c'), c101(101, 'c');
  EXPECT_GT(BuildSnmpRequest(out, sizeof(out), c100.c_str(), five.data(), 0xA1), 0);
  EXPECT_EQ(Head(Bytes(out, out + 8), 8), (Bytes{0x30, 0x81, 158, 0x02, 0x01, 0x00, 0x04, 100}));
  std::memset(out, 0xEE, sizeof(out));
  EXPECT_EQ(BuildSnmpRequest(out, sizeof(out), c101.c_str(), five.data(), 0xA1), -1);
  EXPECT_EQ(BuildSnmpRequest(out, sizeof(out), "", five.data(), 0xA1), -1);
  EXPECT_EQ(BuildSnmpRequest(out, sizeof(out), "public", six.data(), 0xA1), -1);
  auto bad = Table({"1.3.1", "1.3.x"});
  EXPECT_EQ(BuildSnmpRequest(out, sizeof(out), "public", bad.data(), 0xA1), -1);
  EXPECT_EQ(out[0], 0xEE) << "wrote on failure";

  // Request values go out with a one-byte length.
  std::uint8_t value[128] = {};
  SnmpBinding slot{const_cast<char*>("1.3.6"), value, 127, 0x04, 0};
  SnmpEncodedBinding binding;
  ASSERT_TRUE(EncodeBinding(slot, binding));
  EXPECT_EQ(Bytes(binding.bytes + binding.length - 129, binding.bytes + binding.length - 127),
            (Bytes{0x04, 127}));
  slot.value_length = 128;
  EXPECT_FALSE(EncodeBinding(slot, binding));
}

TEST(SnmpRequest, NameLengthsAndSubIdentifiers) {
  // A name of 123 bytes still has one-byte headers; from 124 the binding
  // length, from 128 the name length too takes the 0x81 form.
  EXPECT_EQ(Head(Encode(NameOfBytes(123)), 4), (Bytes{0x30, 127, 0x06, 123}));
  EXPECT_EQ(Head(Encode(NameOfBytes(124)), 5), (Bytes{0x30, 0x81, 128, 0x06, 124}));
  EXPECT_EQ(Head(Encode(NameOfBytes(128)), 6), (Bytes{0x30, 0x81, 133, 0x06, 0x81, 128}));
  Bytes b500 = Encode(NameOfBytes(500));
  EXPECT_EQ(Head(b500, 8), (Bytes{0x30, 0x82, 0x01, 0xFA, 0x06, 0x82, 0x01, 0xF4}));
  EXPECT_EQ(b500.size(), 4u + 4 + 500 + 2);
  EXPECT_TRUE(Encode(NameOfBytes(501)).empty());
  EXPECT_TRUE(Encode(NameOfBytes(5000)).empty());

  auto name_of = [](const std::string& oid) {
    Bytes b = Encode(oid);
    return b.size() < 6 ? Bytes{} : Bytes(b.begin() + 4, b.end() - 2);
  };
  EXPECT_EQ(name_of("1.3.127.128"), (Bytes{0x2B, 0x7F, 0x81, 0x00}));
  EXPECT_EQ(name_of("1.3.16383.16384"), (Bytes{0x2B, 0xFF, 0x7F, 0x81, 0x80, 0x00}));
  EXPECT_EQ(name_of("1.3.2097151.2097152"),
            (Bytes{0x2B, 0xFF, 0xFF, 0x7F, 0x81, 0x80, 0x80, 0x00}));
  EXPECT_EQ(name_of("1.3.268435455.268435456"),
            (Bytes{0x2B, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x80, 0x80, 0x80, 0x00}));
  EXPECT_EQ(name_of("1.3.4294967295"), (Bytes{0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(name_of("2.999"), (Bytes{0x88, 0x37}));
  EXPECT_EQ(name_of("1.3.6."), (Bytes{0x2B, 0x06, 0x00}));  // an empty component is 0
  EXPECT_EQ(name_of("1.3.4294967296"), Bytes{});
  EXPECT_EQ(name_of("1.3.-1"), Bytes{});
}

TEST(SnmpRequest, ComponentRunsAreBounded) {
  std::uint32_t n = 99;
  const char* cursor = "";
  EXPECT_EQ(NextOidComponent(cursor, n), 0);
  EXPECT_EQ(n, 0u);
  const std::string ok = std::string(1022, '0') + "7.5";  // 1023 characters before the dot
  cursor = ok.c_str();
  EXPECT_EQ(NextOidComponent(cursor, n), 1);
  EXPECT_EQ(n, 7u);
  EXPECT_STREQ(cursor, "5");
  for (const std::string& bad : {std::string(1024, '0') + ".5", std::string(1024, '0')}) {
    cursor = bad.c_str();
    EXPECT_EQ(NextOidComponent(cursor, n), -1);
  }
  Table request({"1." + std::string(1024, '0')});
  std::uint8_t out[2048];
  EXPECT_EQ(BuildSnmpRequest(out, sizeof(out), "public", request.data(), 0xA1), -1);
}

TEST(SnmpReply, ValuesBecomeText) {
  ReplySlots r(9);
  Bytes reply = Reply({
      Bind(kSysDescr0, Tlv(0x04, {})),
      Bind({0x06, 0x01, 0x51}, Tlv(0x40, {0xC0, 0xA8, 0x00, 0x0A})),
      Bind(kSysDescr0, Tlv(0x02, {0xFF, 0xFF, 0xFF, 0xFE})),
      Bind(kSysDescr0, Tlv(0x43, {0x00, 0xFF, 0xFF, 0xFF, 0xFE})),
      Bind(kSysDescr0, Tlv(0x04, {'L', 'P', 0x00, 'X'})),
      Bind(kSysDescr0, Tlv(0x06, {0x2B, 0x06, 0x01, 0x04, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F})),
      Bind(kSysDescr0, Tlv(0x05, {})),
      Bind({0x06, 0x00}, Tlv(0x41, {})),
      // Opaque is not decoded nor consumed; the loop still ends.
      Bind(kSysDescr0, Tlv(0x44, {1, 2, 3})),
  });
  ASSERT_EQ(r.Decode(reply), 0);
  EXPECT_EQ(r.slots[0].request_id, 0x2A);
  EXPECT_EQ(r.Name(0), "1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(r.slots[0].value_type, 0x04);
  EXPECT_EQ(Bytes(r.values[0].get(), r.values[0].get() + 6), Of(std::string("NULL\0\0", 6)));
  EXPECT_EQ(r.Name(1), "2.1");
  EXPECT_EQ(r.Value(1), "192.168.0.10");
  EXPECT_EQ(r.slots[1].value_type, 0x40);
  EXPECT_EQ(r.Value(2), "4294967294");
  EXPECT_EQ(r.Value(3), "4294967294");
  EXPECT_EQ(r.slots[3].value_type, 0x43);
  EXPECT_EQ(Bytes(r.values[4].get(), r.values[4].get() + 5), (Bytes{'L', 'P', 0, 'X', 0}));
  EXPECT_EQ(r.Value(5), "1.3.6.1.4.1.4294967295");  // 5-byte sub-identifier
  EXPECT_EQ(r.Value(6), "");
  EXPECT_EQ(r.slots[6].value_type, 0x05);
  EXPECT_EQ(r.Name(7), "");
  EXPECT_EQ(r.Value(7), "0");
  EXPECT_EQ(r.slots[8].value_type, 0x44);
  EXPECT_EQ(r.Value(8), "");
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(r.slots[i].value_length, 0u);
}

TEST(SnmpReply, LengthAndNumberFields) {
  const std::uint8_t form82[] = {0x82, 0x01, 0x05}, form83[] = {0x83, 0x01, 0x00, 0x00};
  EXPECT_EQ(DecodeLength(form82, 3).value, 261u);
  EXPECT_EQ(DecodeLength(form82, 3).consumed, 3u);
  EXPECT_EQ(DecodeLength(form82, 2).consumed, 0u);  // cut off: nothing taken
  EXPECT_EQ(DecodeLength(form83, 4).consumed, 0u);
  const std::uint8_t claims_four[] = {0x04, 0x01, 0x02};
  EXPECT_EQ(DecodeUnsigned(claims_four, 3).value, 0x0102u);
  EXPECT_EQ(DecodeUnsigned(claims_four, 3).consumed, 3u);
}

TEST(SnmpReply, RefusedAndErrorReplies) {
  const Bytes binding = Bind(kSysDescr0, Tlv(0x04, Of("LaserJet")));
  ReplySlots r(2);
  EXPECT_EQ(r.Decode(Reply({binding}, 0, 1)), -1);        // SNMPv2c
  EXPECT_EQ(r.Decode(Reply({binding}, 0, 0, 0xA0)), -1);  // a GetRequest
  Bytes set = Reply({binding});
  set[0] = 0x31;
  EXPECT_EQ(r.Decode(set), -1);
  EXPECT_EQ(r.Decode({}), -1);
  EXPECT_EQ(r.Name(0), "");

  EXPECT_EQ(r.Decode(Reply({binding}, 2)), 2);
  EXPECT_EQ(r.slots[0].request_id, 0x2A);
  EXPECT_EQ(r.Name(0), "");
  EXPECT_EQ(r.Value(0), "");
  EXPECT_EQ(r.slots[0].value_type, kSnmpNullType);

  // An empty list fills nothing; more bindings than slots fill every slot.
  EXPECT_EQ(r.Decode(Reply({})), 0);
  EXPECT_EQ(r.Name(0), "");
  ASSERT_EQ(r.Decode(Reply({binding, Bind(kSysDescr0, Tlv(0x02, {7})),
                            Bind(kSysDescr0, Tlv(0x02, {8}))})),
            0);
  EXPECT_EQ(r.Value(0), "LaserJet");
  EXPECT_EQ(r.Value(1), "7");
}

TEST(SnmpReply, EveryTruncationStaysInBounds) {
  const Bytes reply = Reply({
      Bind(kSysDescr0, Tlv(0x04, Of(std::string(150, 'd')))),
      Bind(kSysDescr0, Tlv(0x40, {10, 0, 0, 1})),
      Bind(kSysDescr0, Tlv(0x06, {0x2B, 0x06, 0x01, 0x82, 0x80, 0x01})),
      Bind(kSysDescr0, Tlv(0x43, {0x01, 0x02, 0x03})),
      Bind(kSysDescr0, Tlv(0x04, {})),
  });
  // Everything up to the bindings list's tag is needed; after it a cut
  // reply gives what was received.
  const std::size_t list_tag = 28;
  ASSERT_EQ(reply[list_tag], 0x30);
  ASSERT_EQ(reply[list_tag - 3], 0x02);
  for (std::size_t n = 0; n <= reply.size(); ++n) {
    ReplySlots r(5);
    int result = r.Decode(Bytes(reply.begin(), reply.begin() + n));
    ASSERT_EQ(result, n <= list_tag ? -1 : 0) << n;
    for (std::size_t i = 0; i < 5; ++i) r.Name(i), r.Value(i);
  }
  ReplySlots r(5);
  ASSERT_EQ(r.Decode(reply), 0);
  EXPECT_EQ(r.Value(0), std::string(150, 'd'));
  EXPECT_EQ(r.Value(2), "1.3.6.1.32769");
  EXPECT_EQ(r.Value(3), "66051");
  EXPECT_EQ(r.Value(4), "NULL");
}

TEST(SnmpReply, LyingLengthsAndLongTextsAreCut) {
  ReplySlots r(3);
  // Outer lengths in the 0x82 form that claim far more than was sent.
  Bytes head = {0x30, 0x82, 0xFF, 0xFF, 0x02, 0x01, 0x00, 0x04, 0x01, 'p', 0xA2, 0x82, 0xFF,
                0xF0, 0x02, 0x01, 0x05, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x82, 0xFF, 0x00};
  ASSERT_EQ(r.Decode(Cat({head, {0x30, 0x82, 0x10, 0x00}, kSysDescr0, {0x04, 0x82, 0x01, 0x00},
                          Of("short")})),
            0);
  EXPECT_EQ(r.slots[0].request_id, 5);
  EXPECT_EQ(r.Name(0), "1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(r.Value(0), "short");
  ASSERT_EQ(r.Decode(Cat({head, {0x30, 0x10}, kSysDescr0, {0x40, 0x04, 0xC0, 0xA8}})), 0);
  EXPECT_EQ(r.Value(0), "192.168");

  // 300 bytes of string: 255 kept and terminated. An identifier whose
  // text is exactly 255 characters is kept whole; a longer one stops after
  // the last whole component that fits.
  Bytes oid{0x2B};
  std::string oid_text = "1.3";
  for (int i = 0; i < 50; ++i) oid.insert(oid.end(), {0x87, 0x68}), oid_text += ".1000";
  oid.push_back(9), oid_text += ".9";
  ASSERT_EQ(oid_text.size(), 255u);
  Bytes longer{0x2B, 10};
  std::string longer_cut = "1.3.10";
  for (int i = 0; i < 70; ++i) longer.insert(longer.end(), {0x87, 0x68});
  for (int i = 0; i < 49; ++i) longer_cut += ".1000";  // the 50th would need 256
  ASSERT_EQ(r.Decode(Reply({Bind(Tlv(0x06, oid), Tlv(0x04, Bytes(300, 'x'))),
                            Bind(Tlv(0x06, longer), Tlv(0x06, longer))})),
            0);
  EXPECT_EQ(r.Value(0), std::string(255, 'x'));
  EXPECT_EQ(r.Name(0), oid_text);
  EXPECT_EQ(r.Name(1), longer_cut);
  EXPECT_EQ(r.Value(1), longer_cut);
}

TEST(SnmpCodec, RequestBuiltAsResponseDecodesToItsNames) {
  const std::vector<std::string> names = {"1.3.6.1.2.1.1.1.0", "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.3.0",
                                          "2.100.3", "0.39.268435456", "1.3.6.1.4.1.4294967295"};
  auto request = Table(names);
  request[0].request_id = 0x77;
  std::uint8_t out[2048];
  int n = BuildSnmpRequest(out, sizeof(out), "mevola", request.data(), kSnmpGetResponse);
  ASSERT_GT(n, 0);
  ReplySlots r(5);
  ASSERT_EQ(r.Decode(Bytes(out, out + n)), 0);
  EXPECT_EQ(r.slots[0].request_id, 0x77);
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(r.Name(i), names[i]);
    EXPECT_EQ(r.slots[i].value_type, kSnmpNullType);
  }
}

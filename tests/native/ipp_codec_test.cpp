#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/text.h"
#include "ipp/codec.h"

using namespace ipp;
using Bytes = std::string;  // octets, always put together here by hand

namespace {

// ISO 8859-1, except that byte 0x81 is "u with diaeresis" as in code page 437: shows that the
// injected conversion is used. The terminator is counted, as MultiByteToWideChar counts it.
int OemToUtf16(const char* text, std::uint16_t* out, int capacity) {
  int n = 0;
  for (; text[n] != '\0' && n < capacity; ++n) out[n] = text[n] == '\x81' ? 0xFC : text[n] & 0xFF;
  if (n < capacity) out[n++] = 0;
  return n;
}
int Utf16ToOem(const std::uint16_t* text, int count, char* out, int capacity) {
  int n = std::min(count, capacity);
  for (int i = 0; i < n; ++i) out[i] = text[i] == 0xFC ? '\x81' : text[i] < 0x100 ? text[i] : '?';
  return n;
}
const Codepage kOem{OemToUtf16, Utf16ToOem};

Bytes U16(std::uint32_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
Bytes U32(std::uint32_t v) { return U16(v >> 16) + U16(v); }
// One attribute as encoded; name "" makes an additional value.
Bytes Attr(char tag, const Bytes& name, const Bytes& value) {
  return tag + U16(name.size()) + name + U16(value.size()) + value;
}
Bytes Int(const Bytes& name, std::uint32_t v) { return Attr(0x23, name, U32(v)); }
Bytes Head(int op, std::uint32_t id) { return U16(0x0100) + U16(op) + U32(id) + "\1"; }
const Bytes kStart = Attr(0x47, "attributes-charset", "utf-8") +
                     Attr(0x48, "attributes-natural-language", "en-us") +
                     Attr(0x45, "printer-uri", "ipp://printer/ipp");
const Bytes kState =
    Attr(0x44, "requested-attributes", "printer-state") + Attr(0x44, "", "printer-state-reasons");
// The decoder needs no operation attributes: a response of printer attributes only.
Bytes Response(std::uint16_t status, const Bytes& attributes, const Bytes& end = "\3") {
  return U16(0x0101) + U16(status) + U32(9) + "\4" + attributes + end;
}

// A port with its IPP block, as the monitor has one while it talks to a printer.
struct IppCodec : testing::Test {
  core::IppBlock ipp{};
  core::PortEntry entry{};
  std::string user, document;
  char model[kMakeAndModelSize] = "";
  std::uint8_t out[2048];

  IppCodec() {
    entry.block = &ipp;
    core::CopyText(ipp.URL, sizeof(ipp.URL), "ipp://printer/ipp");
    core::CopyText(ipp.Language, sizeof(ipp.Language), "en-us");
    ipp.request_id = 1;
  }
  void Names(const std::string& u, const std::string& d) {
    entry.user_name = (user = u).data();
    entry.document_name = (document = d).data();
  }
  Bytes Query(int mode) { return Out(BuildGetPrinterAttributes(&entry, mode, out, 1024, &kOem)); }
  Bytes PrintJob() { return Out(BuildPrintJob(&entry, out, sizeof(out), &kOem)); }
  Bytes Out(std::size_t n) { return Bytes(reinterpret_cast<char*>(out), n); }
  void Decode(const Bytes& body) {  // exactly sized: ASan sees any over-read
    std::vector<std::uint8_t> exact(body.begin(), body.end());
    DecodeIppResponse(&entry, exact.data(), static_cast<std::uint32_t>(exact.size()), &kOem);
  }
};

}  // namespace

TEST_F(IppCodec, The172ByteExampleThenModesNamesAndJobSheets) {
  ASSERT_EQ((Head(0x000B, 1) + kStart + kState + "\3").size(), 172u);
  EXPECT_EQ(Query(2), Head(0x000B, 1) + kStart + kState + "\3");
  ipp.request_id = 0xFFFFFFFE;  // ids are shared by both requests, and wrap
  EXPECT_EQ(PrintJob(), Head(0x0002, 0xFFFFFFFE) + kStart + "\2\3") << "no names at all";
  Names("M\x81ller", "Report \x81.doc");
  ipp.JobSheets = 1;
  const Bytes name = Attr(0x42, "requesting-user-name", "M\xC3\xBCller");
  EXPECT_EQ(Query(1), Head(0x000B, 0xFFFFFFFF) + kStart + name + kState +
                          Attr(0x44, "", "printer-is-accepting-jobs") + "\3");
  EXPECT_EQ(Query(0), Head(0x000B, 0) + kStart + name +
                          Attr(0x44, "requested-attributes", "printer-make-and-model") + "\3");
  EXPECT_EQ(Query(3) + Query(-1), "") << "unknown modes";
  EXPECT_EQ(PrintJob(), Head(0x0002, 1) + kStart + name +
                            Attr(0x42, "job-name", "Report \xC3\xBC.doc") +
                            Attr(0x42, "document-name", "Report \xC3\xBC.doc") + "\2" +
                            Attr(0x44, "job-sheets", "standard") + "\3");
  Names("", "");           // an empty name is no name
  ipp.Language[0] = '\0';  // printers refuse an empty language: say English
  EXPECT_EQ(Query(2), Head(0x000B, 2) + kStart + kState + "\3");
}

TEST_F(IppCodec, FullFieldsAndLongNamesStayInBounds) {
  // Every field filled to its last byte, unterminated, and names beyond 255 octets.
  for (char& c : ipp.URL) c = 'u';
  for (char& c : ipp.Language) c = 'l';
  Names(std::string(400, 'n'), std::string(400, 'n'));
  ipp.JobSheets = 1;
  EXPECT_EQ(Query(1).size(), kGetPrinterAttributesMax);
  EXPECT_EQ(PrintJob().size(), kPrintJobMax);
  out[kPrintJobMax - 1] = 0x7F;
  EXPECT_EQ(BuildPrintJob(&entry, out, kPrintJobMax - 1, &kOem), 0u);
  EXPECT_EQ(out[kPrintJobMax - 1], 0x7F) << "wrote past the size it was given";
  Names(std::string(300, '\x81'), "");  // no room for a two-byte character in the 255th octet
  EXPECT_EQ(Query(1).size(), kGetPrinterAttributesMax - 1);
}

TEST_F(IppCodec, StatusStateReasonsAndIntegers) {
  auto state = [&](std::uint16_t status, const std::vector<std::uint32_t>& states) {
    Bytes attributes;
    for (std::uint32_t s : states) attributes += Int("printer-state", s);
    entry.send_error = 55;
    Decode(Response(status, attributes));
    return entry.send_error;
  };
  EXPECT_EQ(state(2, {5}), 104u);
  EXPECT_EQ(state(1, {4, 3}), 0u);
  EXPECT_EQ(state(0, {3, 4}), 103u);
  EXPECT_EQ(state(0, {}), 55u);
  entry.printer_status = 0x1234;
  EXPECT_EQ(state(3, {3}), 3u);
  EXPECT_EQ(entry.printer_status, 0x1234u) << "nothing read after a failing status";

  ipp.severity = 0xFFFF;  // reasons add up, from nothing
  Decode(Response(0, Attr(0x44, "printer-state-reasons", "media-jam-error") +
                         Attr(0x44, "", "toner-low-report") +
                         Attr(0x44, "", "cover-open-warning")));
  EXPECT_EQ(entry.printer_status, 0x8u | 0x20000u | 0x400000u);
  EXPECT_EQ(ipp.severity, 8 | 2 | 4);
  // Keywords that only look like reasons once cut or read as C text; a nameless value right
  // after a group delimiter belongs to nothing.
  Decode(Response(0, Attr(0x44, "printer-state-reasons", "none") +
                         Attr(0x44, "", std::string(57, 'a') + "-errorzz") +
                         Attr(0x44, "", Bytes("media-jam-error\0x", 17)) + Attr(0x44, "", "") +
                         "\4" + Attr(0x44, "", "media-empty-error")));
  EXPECT_EQ(entry.printer_status, 0u);
  EXPECT_EQ(ipp.severity, core::kSeverityBitNone);

  Decode(Response(0, Attr(0x22, "Printer-Is-Accepting-Jobs", "\1") + Int("job-id", 93)));
  EXPECT_EQ(ipp.accepting, 1u);
  EXPECT_EQ(ipp.job_id, 93u);
  EXPECT_EQ(entry.job_id, 0u) << "the spooler's job id is not the printer's";
  // An extended tag: four bytes after 0x7F, then name and value as usual.
  Decode(Response(0, "\x7F" + U32(0x121) + Int("job-id", 5).substr(1) + Int("printer-state", 4)));
  EXPECT_EQ(ipp.job_id, 0u) << "a type of its own, not an integer";
  EXPECT_EQ(entry.send_error, 103u);
  // The out-of-band "unsupported" value (tag 0x10) inside a group is a value
  // like any other, not the start of a new group.
  Decode(Response(0, Attr(0x10, "printer-state-message", "") + Int("printer-state", 5)));
  EXPECT_EQ(entry.send_error, 104u);
}

TEST_F(IppCodec, MakeAndModelByCharset) {
  ipp.make_and_model = model;
  auto text = [&](const Bytes& charset, char tag, const Bytes& value) {
    Decode(Response(
        0, Attr(0x47, "attributes-charset", charset) + Attr(tag, "printer-make-and-model", value)));
    return std::string(model);
  };
  EXPECT_EQ(text("UTF-8", 0x41, "L \xC3\xBC \xE2\x82\xAC \xF0\x9F\x96\xA8 \xC3"), "L \x81 ? ?? ?")
      << "outside the code page, a pair of units, a cut sequence";
  EXPECT_EQ(text("Shift_JIS", 0x41, "\x83\x76"), "\x83\x76");
  EXPECT_EQ(text("iso-8859-1", 0x41, "caf\xE9"), "caf\xE9") << "unknown: as it is";
  EXPECT_EQ(text("euc-jp", 0x41, "\xA4\xA2"), "");
  EXPECT_EQ(text("csUnicode", 0x41, Bytes{0, 'H', 0, '\xFC', 0x20, '\xAC', 0}), "H\x81?");
  EXPECT_EQ(text("utf-8", 0x35, Bytes{0, 2, 'e', 'n', 0, 3, 'A', 'B', 'C'}), "ABC");
  EXPECT_EQ(text("utf-8", 0x35, Bytes{0, 2, 'e', 'n', 0, 4, 'A', 'B', 'C'}), "") << "lengths lie";
  EXPECT_EQ(text("utf-8", 0x44, "k\xC3\xBC"), "k\xC3\xBC") << "keywords are bytes";
  const std::string big(3000, 'x');
  EXPECT_EQ(text("us-ascii", 0x41, big), big.substr(0, kMakeAndModelSize - 1));
  EXPECT_EQ(text("utf-8", 0x41, big).size(), kMakeAndModelSize / 2 - 1);
  // Before any charset, the UTF-8 that the request asked for. The value ends the body, so
  // the sequence cut there must not be read on.
  Decode(Response(0, Attr(0x41, "printer-make-and-model", "\xC3\xBC\xC3"), ""));
  EXPECT_EQ(std::string(model), "\x81?");
  ipp.make_and_model = nullptr;
  Decode(Response(0, Attr(0x41, "printer-make-and-model", "X")));
}

TEST_F(IppCodec, CutInsideAnElementIsAnError) {
  Bytes body = Response(0, "", "");
  std::vector<std::size_t> ends = {8, body.size()};
  for (const Bytes& b : {Int("printer-state", 3), Attr(0x44, "printer-state-reasons", "none"),
                         Attr(0x44, "", "paused-report"),
                         "\x7F" + U32(0x121) + Int("job-id", 5).substr(1)})
    ends.push_back((body += b).size());
  for (std::size_t n = 0; n < body.size(); ++n) {
    entry.send_error = 0;
    Decode(body.substr(0, n));
    ASSERT_EQ(entry.send_error, std::count(ends.begin(), ends.end(), n) ? 0u : 102u) << n;
  }
}

TEST(StateReasons, SeverityAndStatusOfAKeyword) {
  const std::tuple<const char*, std::uint32_t, int> cases[] = {
      {"media-jam-error", 0x8, 8}, {"toner-low-report", 0x20000, 2}, {"media-jam", 0, 0},
      {"NONE", 0, 1}, {"Media-Jam-warning", 0x8, 4}, {"media-jam-ERROR", 0x8, 0}, {"paused", 0, 0},
      {"paused-error", 0x80, 8}, {"output-area-full-error", 0x800, 8},
      {"stopping-warning", 0x100000, 4}, {"toner-empty-error", 0x40000, 8},
      {"media-needed-error", 0x10, 8}, {"connecting-to-device-report", 0, 2},
      {"com.example-x-error", 0, 8}, {"-error", 0, 8}, {"", 0, 0}};
  for (auto [keyword, status, severity] : cases) {
    std::uint16_t got = 0xFFFF;
    EXPECT_EQ(MapStateReason(keyword, &got), status) << keyword;
    EXPECT_EQ(got, severity) << keyword;
  }
}

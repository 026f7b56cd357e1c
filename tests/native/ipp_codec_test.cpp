#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ipp/codec.h"
#include "monitor/text.h"

using namespace ipp;

namespace {

using Bytes = std::vector<std::uint8_t>;

// ISO 8859-1, except that byte 0x81 is "u with diaeresis" as in code page
// 437: tells whether the injected conversion was used at all.
int OemToUtf16(const char* text, std::uint16_t* out, int capacity) {
  int n = 0;
  for (; text[n] != '\0' && n < capacity; ++n)
    out[n] = text[n] == '\x81' ? 0xFC : static_cast<std::uint8_t>(text[n]);
  if (n < capacity) out[n++] = 0;  // counted, as MultiByteToWideChar does
  return n;
}
int Utf16ToOem(const std::uint16_t* text, int count, char* out, int capacity) {
  int n = 0;
  for (; n < count && n < capacity; ++n)
    out[n] = text[n] == 0xFC ? '\x81' : text[n] < 0x100 ? static_cast<char>(text[n]) : '?';
  return n;
}
const Codepage kOem{OemToUtf16, Utf16ToOem};

Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Tail(const Bytes& b, std::size_t from) { return Bytes(b.begin() + from, b.end()); }
Bytes Cat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// One attribute as encoded; name "" makes an additional value.
Bytes Attr(std::uint8_t tag, const std::string& name, const Bytes& value) {
  return Cat(
      {{tag, static_cast<std::uint8_t>(name.size() >> 8), static_cast<std::uint8_t>(name.size())},
       Of(name),
       {static_cast<std::uint8_t>(value.size() >> 8), static_cast<std::uint8_t>(value.size())},
       value});
}
Bytes Attr(std::uint8_t tag, const std::string& name, const std::string& value) {
  return Attr(tag, name, Of(value));
}
Bytes Int(const std::string& name, std::uint32_t v) {
  return Attr(0x23, name,
              Bytes{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                    static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}

const Bytes kPrinterGroup{0x04};

Bytes Response(std::uint16_t status, const std::vector<Bytes>& parts,
               const std::string& charset = "utf-8") {
  Bytes head{
      1, 1,   static_cast<std::uint8_t>(status >> 8), static_cast<std::uint8_t>(status), 0, 0, 0,
      9, 0x01};
  return Cat({head,
              Attr(0x47, "attributes-charset", charset),
              Attr(0x48, "attributes-natural-language", "en"),
              kPrinterGroup,
              Cat(parts),
              {0x03}});
}

struct Port {
  monitor::IppBlock ipp{};
  monitor::PortEntry entry{};
  std::string user, document;
  char model[kMakeAndModelSize];

  Port() {
    entry.block = &ipp;
    monitor::CopyText(ipp.URL, sizeof(ipp.URL), "ipp://printer/ipp");
    monitor::CopyText(ipp.Language, sizeof(ipp.Language), "en-us");
    ipp.request_id = 1;
  }
  void Names(const char* u, const char* d) {
    user = u ? u : "";
    document = d ? d : "";
    entry.user_name = u ? user.data() : nullptr;
    entry.document_name = d ? document.data() : nullptr;
  }
  Bytes Query(int mode) {
    Bytes out(1024);
    out.resize(BuildGetPrinterAttributes(&entry, mode, out.data(), out.size(), &kOem));
    return out;
  }
  Bytes PrintJob() {
    Bytes out(2048);
    out.resize(BuildPrintJob(&entry, out.data(), out.size(), &kOem));
    return out;
  }
  void Decode(const Bytes& body) {  // exactly sized: ASan sees any over-read
    DecodeIppResponse(&entry, body.data(), static_cast<std::uint32_t>(body.size()), &kOem);
  }
};

const Bytes kStart = Cat({Attr(0x47, "attributes-charset", "utf-8"),
                          Attr(0x48, "attributes-natural-language", "en-us"),
                          Attr(0x45, "printer-uri", "ipp://printer/ipp")});

}  // namespace

TEST(IppRequests, GetPrinterAttributesMode2IsThe172ByteExample) {
  Port p;
  Bytes expected = Cat({{0x01, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x01},
                        kStart,
                        Attr(0x44, "requested-attributes", "printer-state"),
                        Attr(0x44, "", "printer-state-reasons"),
                        {0x03}});
  ASSERT_EQ(expected.size(), 172u);
  EXPECT_EQ(p.Query(2), expected);
}

TEST(IppRequests, ModesNamesAndJobSheets) {
  Port p;
  p.Names("M\x81ller", nullptr);
  Bytes user = Attr(0x42, "requesting-user-name", "M\xC3\xBCller");
  EXPECT_EQ(Tail(p.Query(1), 9), Cat({kStart,
                                      user,
                                      Attr(0x44, "requested-attributes", "printer-state"),
                                      Attr(0x44, "", "printer-state-reasons"),
                                      Attr(0x44, "", "printer-is-accepting-jobs"),
                                      {0x03}}));
  EXPECT_EQ(
      Tail(p.Query(0), 9),
      Cat({kStart, user, Attr(0x44, "requested-attributes", "printer-make-and-model"), {0x03}}));
  EXPECT_TRUE(p.Query(3).empty());

  p.Names("bob", "Report \x81.doc");
  p.ipp.JobSheets = 1;
  EXPECT_EQ(p.PrintJob(), Cat({{0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x01},
                               kStart,
                               Attr(0x42, "requesting-user-name", "bob"),
                               Attr(0x42, "job-name", "Report \xC3\xBC.doc"),
                               Attr(0x42, "document-name", "Report \xC3\xBC.doc"),
                               {0x02},
                               Attr(0x44, "job-sheets", "standard"),
                               {0x03}}));
  p.Names("", nullptr);  // an empty name is no name
  p.ipp.JobSheets = 0;
  EXPECT_EQ(Tail(p.PrintJob(), 9), Cat({kStart, {0x02, 0x03}}));
  p.ipp.Language[0] = '\0';  // printers refuse an empty language
  Bytes query = p.Query(2);
  EXPECT_EQ(Bytes(query.begin() + 9, query.begin() + 9 + kStart.size()), kStart);
}

TEST(IppRequests, RequestIdsGrowAcrossBothRequests) {
  Port p;
  p.ipp.request_id = 0xFFFFFFFE;
  std::vector<std::uint32_t> ids;
  for (const Bytes& r : {p.Query(1), p.PrintJob(), p.Query(2)})
    ids.push_back(static_cast<std::uint32_t>(r[4] << 24 | r[5] << 16 | r[6] << 8 | r[7]));
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{0xFFFFFFFE, 0xFFFFFFFF, 0}));
  EXPECT_EQ(p.ipp.request_id, 1u);
}

TEST(IppRequests, LongNamesAndFullFieldsStayInBounds) {
  Port p;
  std::string umlauts(300, '\x81');  // 127 two-byte characters fill 254 of 255 octets
  p.Names(umlauts.c_str(), nullptr);
  std::string cut;
  for (int i = 0; i < 127; ++i) cut += "\xC3\xBC";
  EXPECT_EQ(Tail(p.Query(2), 9).size(), 172u - 9 + Attr(0x42, "requesting-user-name", cut).size());

  // Every field filled to its last byte, unterminated: never read past.
  for (char& c : p.ipp.URL) c = 'u';
  for (char& c : p.ipp.Language) c = 'l';
  std::string name(400, 'n');
  p.Names(name.c_str(), name.c_str());
  p.ipp.JobSheets = 1;
  EXPECT_EQ(p.Query(1).size(), kGetPrinterAttributesMax);
  EXPECT_EQ(p.PrintJob().size(), kPrintJobMax);
  Bytes out(kPrintJobMax, 0x7F);
  EXPECT_EQ(BuildPrintJob(&p.entry, out.data(), kPrintJobMax - 1, &kOem), 0u);
  EXPECT_EQ(out.back(), 0x7F) << "wrote past the size it was given";
}

// ---------------------------------------------------------------------------
// Responses

TEST(IppResponses, StatusCodesAndPrinterState) {
  Port p;
  p.Decode(Bytes{1, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(p.entry.send_error, 102u);
  p.entry.printer_status = 0x1234;
  p.Decode(Response(0x0402, {Int("printer-state", 3)}));
  EXPECT_EQ(p.entry.send_error, 0x0402u);
  EXPECT_EQ(p.entry.printer_status, 0x1234u) << "nothing read after a failing status";

  auto state = [&](std::vector<std::uint32_t> states) {
    std::vector<Bytes> parts;
    for (std::uint32_t s : states) parts.push_back(Int("printer-state", s));
    p.entry.send_error = 55;
    p.Decode(Response(0x0001, parts));
    return p.entry.send_error;
  };
  EXPECT_EQ(state({3}), 0u);
  EXPECT_EQ(state({5}), 104u);
  EXPECT_EQ(state({4, 3}), 0u);
  EXPECT_EQ(state({3, 4}), 103u);
  EXPECT_EQ(state({}), 55u);

  p.Decode(Response(
      0, {Attr(0x22, "Printer-Is-Accepting-Jobs", Bytes{1}), Attr(0x21, "job-id", Bytes{0, 93})}));
  EXPECT_EQ(p.ipp.accepting, 1u);
  EXPECT_EQ(p.ipp.job_id, 93u);
  EXPECT_EQ(p.entry.job_id, 0u) << "the spooler's job id is not the printer's";
}

TEST(IppResponses, EveryStateReasonCounts) {
  Port p;
  p.entry.printer_status = 0xFFFFFFFF;
  p.ipp.severity = 0xFFFF;
  p.Decode(Response(0, {Attr(0x44, "printer-state-reasons", "media-jam-error"),
                        Attr(0x44, "", "toner-low-report"), Attr(0x44, "", "cover-open-warning")}));
  EXPECT_EQ(p.entry.printer_status, 0x8u | 0x20000u | 0x400000u);
  EXPECT_EQ(p.ipp.severity, 8 | 2 | 4);
  // A nameless value right after a group delimiter belongs to nothing.
  p.Decode(Response(
      0,
      {Attr(0x44, "printer-state-reasons", "none"), {0x04}, Attr(0x44, "", "media-empty-error")}));
  EXPECT_EQ(p.entry.printer_status, 0u);
  EXPECT_EQ(p.ipp.severity, kSeverityBitNone);
}

TEST(IppResponses, MakeAndModelByCharset) {
  Port p;
  auto model = [&](const std::string& charset, std::uint8_t tag, const Bytes& value) {
    monitor::CopyText(p.model, sizeof(p.model), "old");
    p.ipp.make_and_model = p.model;
    p.Decode(Response(0, {Attr(tag, "printer-make-and-model", value)}, charset));
    return std::string(p.model);
  };
  EXPECT_EQ(model("UTF-8", 0x41, Of("L \xC3\xBC \xE2\x82\xAC \xF0\x9F\x96\xA8 \xC3")),
            "L \x81 ? ?? ?")
      << "outside the code page, a pair of units, a cut sequence";
  EXPECT_EQ(model("us-ascii", 0x41, Of("L \xC3\xBC")), "L \xC3\xBC");
  EXPECT_EQ(model("Shift_JIS", 0x41, Of("\x83\x76")), "\x83\x76");
  EXPECT_EQ(model("iso-8859-1", 0x41, Of("caf\xE9")), "caf\xE9") << "unknown: as it is";
  EXPECT_EQ(model("euc-jp", 0x41, Of("\xA4\xA2")), "");
  EXPECT_EQ(model("csUnicode", 0x41, Bytes{0, 'H', 0, 0xFC, 0x20, 0xAC, 0}), "H\x81?");
  EXPECT_EQ(model("utf-8", 0x35, Bytes{0, 2, 'e', 'n', 0, 3, 'A', 'B', 'C'}), "ABC");
  EXPECT_EQ(model("utf-8", 0x35, Bytes{0, 2, 'e', 'n', 0, 4, 'A', 'B', 'C'}), "")
      << "lengths that lie";
  EXPECT_EQ(model("utf-8", 0x44, Of("k\xC3\xBC")), "k\xC3\xBC") << "keywords are bytes";
  std::string big(3000, 'x');
  EXPECT_EQ(model("us-ascii", 0x41, Of(big)), big.substr(0, kMakeAndModelSize - 1));
  EXPECT_EQ(model("utf-8", 0x41, Of(big)).size(), kMakeAndModelSize / 2 - 1);

  // Before any charset, the UTF-8 that the request asked for.
  p.Decode(Cat({{1, 1, 0, 0, 0, 0, 0, 1, 0x04}, Attr(0x41, "printer-make-and-model", "\xC3\xBC")}));
  EXPECT_EQ(std::string(p.model), "\x81");
  p.ipp.make_and_model = nullptr;
  p.Decode(Response(0, {Attr(0x41, "printer-make-and-model", "X")}));
}

TEST(IppResponses, CutInsideAnElementIsAnError) {
  Bytes body = Response(0, {});
  body.pop_back();
  std::vector<std::size_t> ends = {8, 9, 9 + 28, 9 + 28 + 34, body.size()};
  for (const Bytes& b : {Int("printer-state", 3), Attr(0x44, "printer-state-reasons", "none"),
                         Attr(0x44, "", "paused-report")}) {
    body.insert(body.end(), b.begin(), b.end());
    ends.push_back(body.size());
  }
  for (std::size_t n = 8; n < body.size(); ++n) {
    Port p;
    p.Decode(Bytes(body.begin(), body.begin() + n));
    bool boundary = std::find(ends.begin(), ends.end(), n) != ends.end();
    ASSERT_EQ(p.entry.send_error, boundary ? 0u : 102u) << n;
  }
}

TEST(IppResponses, HostileLengthsTagsAndKeywords) {
  Port p;
  p.Decode(Bytes{1, 1, 0, 0, 0, 0, 0, 1, 0x04, 0x44, 0xFF, 0xFF, 'a'});
  EXPECT_EQ(p.entry.send_error, 102u);
  p.entry.send_error = 0;
  p.Decode(Bytes{1, 1, 0, 0, 0, 0, 0, 1, 0x04, 0x44, 0, 1, 'a', 0xFF, 0xFF, 'b'});
  EXPECT_EQ(p.entry.send_error, 102u);

  // An extended tag: four bytes after 0x7F, then name and value as usual.
  p.Decode(Response(
      0, {Attr(0x21, "job-id", Bytes{9, 9, 9, 0, 0, 0, 7}),
          Cat({{0x7F, 0, 0, 1, 0x21}, Tail(Int("job-id", 5), 1)}), Int("printer-state", 4)}));
  EXPECT_EQ(p.ipp.job_id, 0u) << "a type of its own, not an integer";
  EXPECT_EQ(p.entry.send_error, 103u);

  // Keywords that would only look like reasons once cut or read as C text.
  p.Decode(
      Response(0, {Attr(0x44, "printer-state-reasons", std::string(60, 'a') + "-errorzz"),
                   Attr(0x44, "", Of(std::string("media-jam-error\0x", 17))), Attr(0x44, "", "")}));
  EXPECT_EQ(p.ipp.severity, 0);
  EXPECT_EQ(p.entry.printer_status, 0u);
}

TEST(StateReasons, SeverityAndStatusOfAKeyword) {
  struct {
    const char* keyword;
    std::uint32_t status;
    std::uint16_t severity;
  } cases[] = {
      {"media-jam-error", 0x8, 8},
      {"toner-low-report", 0x20000, 2},
      {"media-jam", 0, 0},
      {"NONE", 0, 1},
      {"Media-Jam-warning", 0x8, 4},
      {"media-jam-ERROR", 0x8, 0},
      {"paused", 0, 0},
      {"paused-error", 0x80, 8},
      {"output-area-full-error", 0x800, 8},
      {"stopping-warning", 0x100000, 4},
      {"toner-empty-error", 0x40000, 8},
      {"media-needed-error", 0x10, 8},
      {"connecting-to-device-report", 0, 2},
      {"com.example-x-error", 0, 8},
      {"-error", 0, 8},
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    std::uint16_t severity = 0xFFFF;
    EXPECT_EQ(MapStateReason(c.keyword, &severity), c.status) << c.keyword;
    EXPECT_EQ(severity, c.severity) << c.keyword;
  }
}

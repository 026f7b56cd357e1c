#include "ipp/codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/text.h"

using namespace ipp;
using monitor::IppBlock;
using monitor::PortEntry;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A stand-in for the OEM code page: ISO 8859-1, except that byte 0x81 is
// "u with diaeresis" as in code page 437, so a test can tell whether the
// injected conversion was used at all.
int OemToUtf16(const char* text, std::uint16_t* out, int capacity) {
  int n = 0;
  for (; text[n] != '\0' && n < capacity; ++n) {
    auto b = static_cast<std::uint8_t>(text[n]);
    out[n] = b == 0x81 ? 0xFC : b;
  }
  if (n < capacity) out[n++] = 0;  // counted, as MultiByteToWideChar does
  return n;
}

int Utf16ToOem(const std::uint16_t* text, int count, char* out, int capacity) {
  int n = 0;
  for (; n < count && n < capacity; ++n) {
    std::uint16_t u = text[n];
    out[n] = u == 0xFC ? '\x81' : u < 0x100 ? static_cast<char>(u) : '?';
  }
  return n;
}

const Codepage kOem{OemToUtf16, Utf16ToOem};

Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct Port {
  IppBlock ipp{};
  PortEntry entry{};
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
  Bytes GetPrinterAttributes(int mode, std::size_t size = 1024) {
    Bytes out(size);
    out.resize(BuildGetPrinterAttributes(&entry, mode, out.data(), size, &kOem));
    return out;
  }
  Bytes PrintJob(std::size_t size = 2048) {
    Bytes out(size);
    out.resize(BuildPrintJob(&entry, out.data(), size, &kOem));
    return out;
  }
  void Decode(const Bytes& body) {
    DecodeIppResponse(&entry, body.data(), static_cast<std::uint32_t>(body.size()), &kOem);
  }
};

// One attribute as it is encoded; name "" makes an additional value.
Bytes Attr(std::uint8_t tag, const std::string& name, const Bytes& value) {
  Bytes out{tag, static_cast<std::uint8_t>(name.size() >> 8), static_cast<std::uint8_t>(name.size())};
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(static_cast<std::uint8_t>(value.size() >> 8));
  out.push_back(static_cast<std::uint8_t>(value.size()));
  out.insert(out.end(), value.begin(), value.end());
  return out;
}
Bytes Attr(std::uint8_t tag, const std::string& name, const std::string& value) {
  return Attr(tag, name, Of(value));
}
Bytes Int(std::uint8_t tag, const std::string& name, std::uint32_t v) {
  return Attr(tag, name, Bytes{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}

// A response: header, operation group with the charset, then the parts.
Bytes Response(std::uint16_t status, const std::vector<Bytes>& parts,
               const std::string& charset = "utf-8") {
  Bytes out{1, 1, static_cast<std::uint8_t>(status >> 8), static_cast<std::uint8_t>(status), 0, 0, 0, 9, 0x01};
  for (const Bytes& b : {Attr(0x47, "attributes-charset", charset),
                         Attr(0x48, "attributes-natural-language", "en")})
    out.insert(out.end(), b.begin(), b.end());
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  out.push_back(0x03);
  return out;
}

const Bytes kPrinterGroup{0x04};

}  // namespace

// ---------------------------------------------------------------------------
// Requests

TEST(IppRequests, GetPrinterAttributesMode2IsThe172ByteExample) {
  Port p;
  Bytes expected = {0x01, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x01};
  for (const Bytes& b : {Attr(0x47, "attributes-charset", "utf-8"),
                         Attr(0x48, "attributes-natural-language", "en-us"),
                         Attr(0x45, "printer-uri", "ipp://printer/ipp"),
                         Attr(0x44, "requested-attributes", "printer-state"),
                         Attr(0x44, "", "printer-state-reasons")})
    expected.insert(expected.end(), b.begin(), b.end());
  expected.push_back(0x03);
  ASSERT_EQ(expected.size(), 172u);
  EXPECT_EQ(p.GetPrinterAttributes(2), expected);
}

TEST(IppRequests, ModesAndUserName) {
  Port p;
  p.Names("M\x81ller", nullptr);
  Bytes mode1 = p.GetPrinterAttributes(1);
  Bytes user = Attr(0x42, "requesting-user-name", "M\xC3\xBCller");
  Bytes tail = Attr(0x44, "requested-attributes", "printer-state");
  for (const Bytes& b : {Attr(0x44, "", "printer-state-reasons"),
                         Attr(0x44, "", "printer-is-accepting-jobs"), Bytes{0x03}})
    tail.insert(tail.end(), b.begin(), b.end());
  user.insert(user.end(), tail.begin(), tail.end());
  ASSERT_GE(mode1.size(), user.size());
  EXPECT_EQ(Bytes(mode1.end() - user.size(), mode1.end()), user);

  Bytes mode0 = p.GetPrinterAttributes(0);
  Bytes model = Attr(0x44, "requested-attributes", "printer-make-and-model");
  model.push_back(0x03);
  EXPECT_EQ(Bytes(mode0.end() - model.size(), mode0.end()), model);

  p.Names("", nullptr);
  EXPECT_EQ(p.GetPrinterAttributes(2).size(), 172u) << "an empty user name is no user name";
  EXPECT_TRUE(p.GetPrinterAttributes(3).empty());
}

TEST(IppRequests, PrintJobLayout) {
  Port p;
  p.Names("bob", "Report \x81.doc");
  p.ipp.JobSheets = 1;
  Bytes job = p.PrintJob();
  Bytes expected = {0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x01};
  for (const Bytes& b : {Attr(0x47, "attributes-charset", "utf-8"),
                         Attr(0x48, "attributes-natural-language", "en-us"),
                         Attr(0x45, "printer-uri", "ipp://printer/ipp"),
                         Attr(0x42, "requesting-user-name", "bob"),
                         Attr(0x42, "job-name", "Report \xC3\xBC.doc"),
                         Attr(0x42, "document-name", "Report \xC3\xBC.doc"), Bytes{0x02},
                         Attr(0x44, "job-sheets", "standard"), Bytes{0x03}})
    expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(job, expected);

  p.Names(nullptr, nullptr);
  p.ipp.JobSheets = 0;
  Bytes bare = p.PrintJob();
  ASSERT_GE(bare.size(), 2u);
  EXPECT_EQ(bare.size(), 9 + 28 + 37 + 33 + 2u);
  EXPECT_EQ(Bytes(bare.end() - 2, bare.end()), (Bytes{0x02, 0x03}));
}

TEST(IppRequests, RequestIdsGrowAcrossBothRequests) {
  Port p;
  p.ipp.request_id = 0xFFFFFFFE;
  std::vector<std::uint32_t> ids;
  for (const Bytes& r : {p.GetPrinterAttributes(1), p.PrintJob(), p.GetPrinterAttributes(2)})
    ids.push_back(static_cast<std::uint32_t>(r[4] << 24 | r[5] << 16 | r[6] << 8 | r[7]));
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{0xFFFFFFFE, 0xFFFFFFFF, 0}));
  EXPECT_EQ(p.ipp.request_id, 1u);
}

TEST(IppRequests, LongNamesAreCutWholeCharactersWithinNameMax) {
  Port p;
  // 300 two-byte characters: 127 of them fill 254 of the 255 octets.
  std::string umlauts(300, '\x81');
  p.Names(umlauts.c_str(), nullptr);
  Bytes r = p.GetPrinterAttributes(2);
  Bytes name = Attr(0x42, "requesting-user-name", std::string(127 * 2, '\0'));
  std::size_t at = 9 + 28 + 37 + 33;
  ASSERT_GT(r.size(), at + name.size());
  EXPECT_EQ(r[at + 23], 0);
  EXPECT_EQ(r[at + 24], 254);
  for (std::size_t i = 0; i < 254; i += 2) {
    ASSERT_EQ(r[at + 25 + i], 0xC3);
    ASSERT_EQ(r[at + 26 + i], 0xBC);
  }
  EXPECT_EQ(r[at + 25 + 254], 0x44) << "the next attribute follows at once";
}

TEST(IppRequests, LargestRequestsAndBuffersTooSmall) {
  Port p;
  for (std::size_t i = 0; i + 1 < sizeof(p.ipp.URL); ++i) p.ipp.URL[i] = 'u';
  for (std::size_t i = 0; i + 1 < sizeof(p.ipp.Language); ++i) p.ipp.Language[i] = 'l';
  std::string name(400, 'n');
  p.Names(name.c_str(), name.c_str());
  p.ipp.JobSheets = 1;
  EXPECT_EQ(p.GetPrinterAttributes(1).size(), kGetPrinterAttributesMax);
  Bytes job = p.PrintJob();
  EXPECT_EQ(job.size(), kPrintJobMax);

  for (std::size_t size : {kPrintJobMax - 1, std::size_t{100}, std::size_t{0}}) {
    Bytes out(kPrintJobMax + 1, 0x7F);
    EXPECT_EQ(BuildPrintJob(&p.entry, out.data(), size, &kOem), 0u);
    for (std::size_t i = size; i < out.size(); ++i) ASSERT_EQ(out[i], 0x7F) << i;
  }
  // Every field filled to its last byte, unterminated: never read past.
  for (char& c : p.ipp.URL) c = 'u';
  for (char& c : p.ipp.Language) c = 'l';
  p.ipp.request_id = 2;
  EXPECT_EQ(p.PrintJob(), job);
}

TEST(IppRequests, EmptyLanguageStillNamesOne) {
  Port p;
  p.ipp.Language[0] = '\0';
  Bytes r = p.GetPrinterAttributes(2);
  Bytes language = Attr(0x48, "attributes-natural-language", "en-us");
  EXPECT_EQ(Bytes(r.begin() + 37, r.begin() + 37 + language.size()), language);
}

// ---------------------------------------------------------------------------
// Responses

TEST(IppResponses, ShortOrFailedResponses) {
  Port p;
  p.entry.printer_status = 0x1234;
  p.Decode(Bytes{1, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(p.entry.send_error, 102u);
  DecodeIppResponse(&p.entry, nullptr, 100, &kOem);
  EXPECT_EQ(p.entry.send_error, 102u);

  // A status of 3 or more is the code; the attributes are not looked at.
  p.entry.send_error = 0;
  p.Decode(Response(0x0402, {kPrinterGroup, Int(0x23, "printer-state", 3)}));
  EXPECT_EQ(p.entry.send_error, 0x0402u);
  EXPECT_EQ(p.entry.printer_status, 0x1234u);

  // Successful with something ignored: read on; no printer-state leaves the code.
  p.entry.send_error = 77;
  p.Decode(Response(0x0001, {kPrinterGroup, Int(0x21, "job-id", 93)}));
  EXPECT_EQ(p.entry.send_error, 77u);
  EXPECT_EQ(p.ipp.job_id, 93u);
  EXPECT_EQ(p.entry.job_id, 0u) << "the spooler's job id is not the printer's";
  EXPECT_EQ(p.entry.printer_status, 0u);
}

TEST(IppResponses, PrinterStateAndAcceptingJobs) {
  Port p;
  auto state = [&](std::vector<std::uint32_t> states) {
    std::vector<Bytes> parts{kPrinterGroup};
    for (std::uint32_t s : states) parts.push_back(Int(0x23, "printer-state", s));
    p.entry.send_error = 55;
    p.Decode(Response(0, parts));
    return p.entry.send_error;
  };
  EXPECT_EQ(state({3}), 0u);
  EXPECT_EQ(state({4}), 103u);
  EXPECT_EQ(state({5}), 104u);
  EXPECT_EQ(state({4, 3}), 0u) << "the last state counts";
  EXPECT_EQ(state({9}), 55u);

  p.Decode(Response(0, {kPrinterGroup, Attr(0x22, "printer-is-accepting-jobs", Bytes{1})}));
  EXPECT_EQ(p.ipp.accepting, 1u);
  p.Decode(Response(0, {kPrinterGroup, Attr(0x22, "Printer-Is-Accepting-Jobs", Bytes{0})}));
  EXPECT_EQ(p.ipp.accepting, 0u);
}

TEST(IppResponses, EveryStateReasonCountsAdditionalValuesIncluded) {
  Port p;
  p.entry.printer_status = 0xFFFFFFFF;
  p.ipp.severity = 0xFFFF;
  p.Decode(Response(0, {kPrinterGroup, Attr(0x44, "printer-state-reasons", "media-jam-error"),
                        Attr(0x44, "", "toner-low-report"), Attr(0x44, "", "cover-open-warning"),
                        Int(0x23, "printer-state", 5)}));
  EXPECT_EQ(p.entry.printer_status, 0x8u | 0x20000u | 0x400000u);
  EXPECT_EQ(p.ipp.severity, 8 | 2 | 4);

  p.Decode(Response(0, {kPrinterGroup, Attr(0x44, "printer-state-reasons", "none")}));
  EXPECT_EQ(p.entry.printer_status, 0u);
  EXPECT_EQ(p.ipp.severity, kSeverityBitNone);

  // A nameless value right after a group delimiter belongs to no attribute.
  p.Decode(Response(0, {kPrinterGroup, Attr(0x44, "printer-state-reasons", "none"),
                        Bytes{0x04}, Attr(0x44, "", "media-empty-error")}));
  EXPECT_EQ(p.entry.printer_status, 0u);
  EXPECT_EQ(p.ipp.severity, kSeverityBitNone);
}

TEST(IppResponses, MakeAndModelByCharset) {
  Port p;
  auto model = [&](const std::string& charset, std::uint8_t tag, const Bytes& value) {
    monitor::CopyText(p.model, sizeof(p.model), "old");
    p.ipp.make_and_model = p.model;
    p.Decode(Response(0, {kPrinterGroup, Attr(tag, "printer-make-and-model", value)}, charset));
    return std::string(p.model);
  };
  EXPECT_EQ(model("utf-8", 0x41, Of("Laser \xC3\xBC 5")), "Laser \x81 5");
  EXPECT_EQ(model("UTF-8", 0x41, Of("\xE2\x82\xAC \xF0\x9F\x96\xA8 \xC3")), "? ?? ?")
      << "a character outside the code page, a pair of units, a cut sequence";
  EXPECT_EQ(model("us-ascii", 0x41, Of("Laser \xC3\xBC")), "Laser \xC3\xBC");
  EXPECT_EQ(model("Shift_JIS", 0x41, Of("\x83\x76\x83\x8A")), "\x83\x76\x83\x8A");
  EXPECT_EQ(model("iso-8859-1", 0x41, Of("caf\xE9")), "caf\xE9") << "unknown: as it is";
  EXPECT_EQ(model("iso-2022-jp", 0x41, Of("\x1B$B")), "");
  EXPECT_EQ(model("euc-jp", 0x41, Of("\xA4\xA2")), "");
  EXPECT_EQ(model("csUnicode", 0x41, Bytes{0, 'H', 0, 0xFC, 0x20, 0xAC, 0}), "H\x81?");
  // With a language: lengths inside the value, or empty text if they lie.
  Bytes with_language{0, 2, 'e', 'n', 0, 3, 'A', 'B', 'C'};
  EXPECT_EQ(model("utf-8", 0x35, with_language), "ABC");
  with_language[5] = 4;
  EXPECT_EQ(model("utf-8", 0x35, with_language), "");
  EXPECT_EQ(model("utf-8", 0x36, Bytes{0xFF, 0xFF, 'e'}), "");
  // Keywords are bytes; the unknown value of an out-of-band tag is empty.
  EXPECT_EQ(model("utf-8", 0x44, Of("k\xC3\xBC")), "k\xC3\xBC");
  EXPECT_EQ(model("utf-8", 0x12, Bytes{}), "");

  std::string big(3000, 'x');
  EXPECT_EQ(model("us-ascii", 0x41, Of(big)), std::string(kMakeAndModelSize - 1, 'x'));
  EXPECT_EQ(model("utf-8", 0x41, Of(big)).size(), kMakeAndModelSize / 2 - 1);

  // No charset at all: taken as the UTF-8 the request asked for.
  Bytes bare{1, 1, 0, 0, 0, 0, 0, 1, 0x04};
  Bytes attr = Attr(0x41, "printer-make-and-model", "\xC3\xBC");
  bare.insert(bare.end(), attr.begin(), attr.end());
  p.Decode(bare);
  EXPECT_EQ(std::string(p.model), "\x81");

  // Without the buffer the value is passed over.
  p.ipp.make_and_model = nullptr;
  p.entry.send_error = 0;
  p.Decode(Response(0, {kPrinterGroup, Attr(0x41, "printer-make-and-model", "X")}));
  EXPECT_EQ(p.entry.send_error, 0u);
}

TEST(IppResponses, CutAnywhereInsideAnElementIsAnError) {
  Bytes head = Response(0, {kPrinterGroup});
  head.pop_back();
  Bytes body = head;
  // Ends of the header, the group tag, charset, language and printer group.
  std::vector<std::size_t> ends = {8, 9, 9 + 28, 9 + 28 + 34, 9 + 28 + 34 + 1};
  for (const Bytes& b : {Int(0x23, "printer-state", 3), Attr(0x44, "printer-state-reasons", "none"),
                         Attr(0x44, "", "paused-report")}) {
    body.insert(body.end(), b.begin(), b.end());
    ends.push_back(body.size());
  }
  body.push_back(0x03);
  for (std::size_t n = 8; n <= body.size(); ++n) {
    SCOPED_TRACE(n);
    Port p;
    p.entry.send_error = 0;
    Bytes cut(body.begin(), body.begin() + n);  // exactly sized: ASan sees any over-read
    p.Decode(cut);
    bool boundary = std::find(ends.begin(), ends.end(), n) != ends.end() || n == body.size();
    ASSERT_EQ(p.entry.send_error, boundary ? 0u : 102u);
  }
}

TEST(IppResponses, HostileLengthsAndKeywords) {
  Port p;
  Bytes huge_name{1, 1, 0, 0, 0, 0, 0, 1, 0x04, 0x44, 0xFF, 0xFF, 'a'};
  p.Decode(huge_name);
  EXPECT_EQ(p.entry.send_error, 102u);
  p.entry.send_error = 0;
  Bytes huge_value{1, 1, 0, 0, 0, 0, 0, 1, 0x04, 0x44, 0, 1, 'a', 0xFF, 0xFF, 'b'};
  p.Decode(huge_value);
  EXPECT_EQ(p.entry.send_error, 102u);

  // Integers of any length: all bytes, the high ones shifted out.
  p.entry.send_error = 0;
  p.Decode(Response(0, {kPrinterGroup, Attr(0x21, "job-id", Bytes{9, 9, 9, 0, 0, 0, 7})}));
  EXPECT_EQ(p.ipp.job_id, 7u);
  EXPECT_EQ(p.entry.send_error, 0u);

  // An extended tag is four bytes after 0x7F, then name and value follow.
  Bytes extension{0x7F, 0, 0, 0x01, 0x21};
  Bytes rest = Attr(0x21, "job-id", Bytes{0, 0, 0, 5});
  extension.insert(extension.end(), rest.begin() + 1, rest.end());
  p.Decode(Response(0, {kPrinterGroup, extension, Int(0x23, "printer-state", 4)}));
  EXPECT_EQ(p.ipp.job_id, 0u) << "a type of its own, not an integer";
  EXPECT_EQ(p.entry.send_error, 103u);

  // Keywords that only look like reasons once cut or read as C text.
  std::string long_reason = std::string(60, 'a') + "-errorzz";
  p.Decode(Response(0, {kPrinterGroup, Attr(0x44, "printer-state-reasons", long_reason),
                        Attr(0x44, "", Of(std::string("media-jam-error\0x", 17))),
                        Attr(0x44, "", "")}));
  EXPECT_EQ(p.ipp.severity, 0);
  EXPECT_EQ(p.entry.printer_status, 0u);
}

TEST(StateReasons, SeverityAndStatusOfAKeyword) {
  struct Case {
    const char* keyword;
    std::uint32_t status;
    std::uint16_t severity;
  } cases[] = {
      {"media-jam-error", 0x8, 8},
      {"toner-low-report", 0x20000, 2},
      {"media-jam", 0, 0},
      {"none", 0, 1},
      {"NONE", 0, 1},
      {"Media-Jam-warning", 0x8, 4},
      {"media-jam-ERROR", 0x8, 0},
      {"paused", 0, 0},
      {"cover-open-bogus", 0x400000, 0},
      {"connecting-to-device-report", 0, 2},
      {"com.example-thing-error", 0, 8},
      {"-error", 0, 8},
      {"media-jam-", 0x8, 0},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword);
    std::uint16_t severity = 0xFFFF;
    EXPECT_EQ(MapStateReason(c.keyword, &severity), c.status);
    EXPECT_EQ(severity, c.severity);
  }
}

TEST(StateReasons, TheWholeTable) {
  // Values as in winspool.h.
  const std::uint32_t error = 0x2, paper_jam = 0x8, paper_out = 0x10, offline = 0x80,
                      bin_full = 0x800, toner_low = 0x20000, no_toner = 0x40000,
                      intervention = 0x100000, door_open = 0x400000;
  struct Row {
    const char* reason;
    std::uint32_t status;
  } rows[] = {
      {"other", error},
      {"media-needed", paper_out},
      {"media-jam", paper_jam},
      {"paused", offline},
      {"shutdown", error},
      {"connecting-to-device", 0},
      {"timed-out", error},
      {"stopping", intervention},
      {"stopped-partly", 0},
      {"toner-low", toner_low},
      {"toner-empty", no_toner},
      {"spool-area-full", 0},
      {"cover-open", door_open},
      {"interlock-open", error},
      {"door-open", door_open},
      {"input-tray-missing", error},
      {"media-low", 0},
      {"media-empty", paper_out},
      {"output-tray-missing", error},
      {"output-area-almost-full", 0},
      {"output-area-full", bin_full},
      {"marker-supply-low", 0},
      {"marker-supply-empty", error},
      {"marker-waste-almost-full", 0},
      {"marker-waste-full", error},
      {"fuser-over-temp", error},
      {"fuser-under-temp", error},
      {"opc-near-eol", 0},
      {"opc-life-over", 0},
      {"developer-low", 0},
      {"developer-empty", 0},
      {"interpreter-resource-unavailable", 0},
  };
  for (const Row& row : rows) {
    std::uint16_t severity = 0;
    EXPECT_EQ(MapStateReason((std::string(row.reason) + "-error").c_str(), &severity), row.status)
        << row.reason;
    EXPECT_EQ(severity, kSeverityBitError);
  }
}

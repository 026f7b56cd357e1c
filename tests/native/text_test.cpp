#include "core/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

using namespace core;

TEST(ConvertEscapes, LineBreaksBecomeCrLfTabsShortenTheTextLoneBackslashesStay) {
  const std::tuple<std::string, const char*, int> cases[] = {
      {"one\\ntwo\\nthree", "one\r\ntwo\r\nthree", 3}, {"plain", "plain", 1},
      {"a\\tb", "a\tb", 1}, {"\\t\\t", "\t\t", 1}, {"x\\t", "x\t", 1}, {"\\n\\t", "\r\n\t", 2},
      {"C:\\path", "C:\\path", 1}, {"end\\", "end\\", 1},
      {"\\\\n", "\\\r\n", 2}};  // no way to write a literal backslash-n
  for (const auto& [text, converted, lines] : cases) {
    std::string buffer = text + '\0';
    EXPECT_EQ(ConvertEscapes(buffer.data(), text.size()), lines) << text;
    EXPECT_STREQ(buffer.c_str(), converted) << text;
  }
}

TEST(ParseNumber, DigitsOfTheBaseUpToTheFirstOutsideItNothingElseAndWrapping) {
  const std::tuple<const char*, int, std::int32_t> cases[] = {
      {"1F", 16, 31}, {"ff", 16, 255}, {"631", 10, 631}, {"", 10, 0},
      {"19", 8, 1}, {"9z", 8, 0} /* the parse ends before the letter is seen */, {"1", 1, 0},
      {"12 ", 10, -1}, {"-5", 10, -1}, {"0x10", 16, -1}, {"10", 0, -1},
      {"4294967296", 10, 0}, {"FFFFFFFF", 16, -1},
      {"99999999999999999999", 10, static_cast<std::int32_t>(1661992959u)}};
  for (auto [text, base, value] : cases) EXPECT_EQ(ParseNumber(text, base), value) << text;
}

// A reworded INI text is filled in only when its one conversion fits the
// insert; anything else is shown as it stands, never formatted with an
// argument of the wrong type.
TEST(FormatText, FillsOnlyAConversionThatFitsTheInsert) {
  const struct { const char* format; TextInsert insert; const char* want; } rows[] = {
      {"code %04x", NumberInsert(0x402), "code 0402"},
      {"%X|", NumberInsert(0xBEEF), "BEEF|"},
      {"%#x|", NumberInsert(0xBEEF), "0xbeef|"},
      {"[%-6u]", NumberInsert(42), "[42    ]"},
      {"[%+5.3d]", NumberInsert(7), "[ +007]"},
      {"%d", NumberInsert(0xFFFFFFFB), "-5"},
      {"%hd %%", NumberInsert(0x1FFFF), "-1 %"},
      {"%c!", NumberInsert('A'), "A!"},
      {"[%6.2s]", TextInsertOf("port"), "[    po]"},
      {"100%% \"%s\"", TextInsertOf("P1"), "100% \"P1\""},
      // Shown as they stand:
      {"Refused: %s", NumberInsert(0x400), "Refused: %s"},
      {"code %04x", TextInsertOf("x"), "code %04x"},
      {"%ls", TextInsertOf("wide"), "%ls"},
      {"%S %C %p %n", NumberInsert(1), "%S %C %p %n"},
      {"%s and %s", TextInsertOf("a"), "%s and %s"},
      {"%*d", NumberInsert(5), "%*d"},
      {"%999d", NumberInsert(5), "%999d"},
      {"%.100s", TextInsertOf("a"), "%.100s"},
      {"code %x", TextInsert{}, "code %x"},
      {"no conversion %%", NumberInsert(1), "no conversion %%"},
      {"trailing %", NumberInsert(1), "trailing %"},
  };
  for (const auto& row : rows) {
    char out[64];
    FormatText(out, sizeof(out), row.format, row.insert);
    EXPECT_STREQ(out, row.want) << row.format;
  }
  char small[5];
  FormatText(small, sizeof(small), "%08x", NumberInsert(1));
  EXPECT_STREQ(small, "0000");
  char wide[128];
  FormatText(wide, sizeof(wide), "%99.99d", NumberInsert(1));
  EXPECT_EQ(std::string(wide), std::string(98, '0') + "1");
}

// Long library names are cut to fit the name buffers.
TEST(MonitorName, TakenFromTheLibraryFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\WINDOWS\\SYSTEM\\Vexamon.dll", "Vexa Network Printer Port"},
      {"Z:\\build\\VEXAMON.DLL", "VEXA Network Printer Port"}, {"Vexamon.dll", ""},
      {"C:\\mon.dll", " Network Printer Port"},
      {"C:\\ZR-MDL0000000000mon.dll", "ZR-MDL0000000000 Network Printer Port"},
      {"C:\\AVeryLongPrinterVendorNamemon.dll", "AVeryLongPrinter Network Printer Port"}};
  for (auto [path, expected] : cases) {
    char name[kMonitorNameSize];
    std::memset(name, 'x', sizeof(name));
    MonitorNameFromPath(path, name);
    EXPECT_STREQ(name, expected) << path;
  }
}

TEST(TextCopies, NeverWritePastTheBuffer) {
  char small[4];
  CopyText(small, sizeof(small), "abcdef");
  EXPECT_STREQ(small, "abc");
  char buffer[8] = "abc";
  AppendText(buffer, sizeof(buffer), "defghij");
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_TRUE(EqualNoCase("LPT1:", "lpt1:"));
  EXPECT_FALSE(EqualNoCase("LPT1", "LPT1:"));
}

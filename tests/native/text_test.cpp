#include "core/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace core;

namespace {

std::string Converted(std::string text, int* lines = nullptr) {
  std::string buffer = text + '\0';
  int n = ConvertEscapes(buffer.data(), text.size());
  if (lines) *lines = n;
  return std::string(buffer.c_str());
}

}  // namespace

TEST(ConvertEscapes, LineBreaksBecomeCrLfAndAreCounted) {
  int lines = 0;
  EXPECT_EQ(Converted("one\\ntwo\\nthree", &lines), "one\r\ntwo\r\nthree");
  EXPECT_EQ(lines, 3);
  EXPECT_EQ(Converted("plain", &lines), "plain");
  EXPECT_EQ(lines, 1);
}

TEST(ConvertEscapes, TabsShortenTheText) {
  EXPECT_EQ(Converted("a\\tb"), "a\tb");
  EXPECT_EQ(Converted("\\t\\t"), "\t\t");
  EXPECT_EQ(Converted("x\\t"), "x\t");
  EXPECT_EQ(Converted("\\n\\t"), "\r\n\t");
}

TEST(ConvertEscapes, LoneBackslashesStay) {
  EXPECT_EQ(Converted("C:\\path"), "C:\\path");
  EXPECT_EQ(Converted("end\\"), "end\\");
  EXPECT_EQ(Converted("\\\\n"), "\\\r\n");  // no way to write a literal backslash-n
}

TEST(ParseNumber, DigitsOfTheBase) {
  EXPECT_EQ(ParseNumber("1F", 16), 31);
  EXPECT_EQ(ParseNumber("ff", 16), 255);
  EXPECT_EQ(ParseNumber("631", 10), 631);
  EXPECT_EQ(ParseNumber("", 10), 0);
}

TEST(ParseNumber, StopsAtTheFirstDigitOutsideTheBase) {
  EXPECT_EQ(ParseNumber("19", 8), 1);
  EXPECT_EQ(ParseNumber("9z", 8), 0);  // the parse ends before the letter is seen
  EXPECT_EQ(ParseNumber("1", 1), 0);
}

TEST(ParseNumber, RejectsAnythingButDigits) {
  EXPECT_EQ(ParseNumber("12 ", 10), -1);
  EXPECT_EQ(ParseNumber("-5", 10), -1);
  EXPECT_EQ(ParseNumber("0x10", 16), -1);
  EXPECT_EQ(ParseNumber("10", 0), -1);
}

TEST(ParseNumber, WrapsSilentlyOnOverflow) {
  EXPECT_EQ(ParseNumber("4294967296", 10), 0);
  EXPECT_EQ(ParseNumber("FFFFFFFF", 16), -1);
  EXPECT_EQ(ParseNumber("99999999999999999999", 10), static_cast<std::int32_t>(1661992959u));
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

TEST(MonitorName, TakenFromTheLibraryFileName) {
  char name[kMonitorNameSize];
  MonitorNameFromPath("C:\\WINDOWS\\SYSTEM\\Vexamon.dll", name);
  EXPECT_STREQ(name, "Vexa Network Printer Port");
  MonitorNameFromPath("Z:\\build\\VEXAMON.DLL", name);
  EXPECT_STREQ(name, "VEXA Network Printer Port");
  MonitorNameFromPath("Vexamon.dll", name);
  EXPECT_STREQ(name, "");
  MonitorNameFromPath("C:\\mon.dll", name);
  EXPECT_STREQ(name, " Network Printer Port");
}

TEST(MonitorName, LongLibraryNamesAreCutToFitTheBuffers) {
  char name[kMonitorNameSize];
  std::memset(name, 'x', sizeof(name));
  MonitorNameFromPath("C:\\ZR-MDL0000000000mon.dll", name);
  EXPECT_STREQ(name, "ZR-MDL0000000000 Network Printer Port");
  MonitorNameFromPath("C:\\AVeryLongPrinterVendorNamemon.dll", name);
  EXPECT_EQ(std::strlen(name), kMonitorNameSize - 1);
  EXPECT_STREQ(name, "AVeryLongPrinter Network Printer Port");
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

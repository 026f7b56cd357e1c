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

TEST(CountConversions, CountsRealConversionsOnly) {
  const std::pair<const char*, int> cases[] = {
      {"code %04x", 1}, {"100%% sure %s", 1}, {"%s and %s", 2}, {"trailing %", 0}, {"none", 0}};
  for (auto [format, count] : cases) EXPECT_EQ(CountConversions(format), count) << format;
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

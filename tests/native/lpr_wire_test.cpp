#include "transport/lpr_wire.h"

#include <gtest/gtest.h>

#include <string>

using namespace transport;

TEST(LprWire, ControlFileOfJobSevenIsThirtyBytes) {
  char out[64];
  ASSERT_EQ(ControlFileLength("h", "u", "d"), 30u);
  std::size_t n = BuildControlFile(out, "h", "u", "d", 7);
  EXPECT_EQ(std::string(out, n), "Hh\nPu\nJd\nfdfA007h\nUdfA007h\nNd\n");
}

TEST(LprWire, LengthFormulaMatchesWhatIsWritten) {
  std::string big(64, 'x');
  const char* hosts[] = {"", "printhost", big.c_str()};
  for (const char* host : hosts)
    for (const char* user : {"", "alice"})
      for (const char* doc : {"", "Quarterly report.doc"}) {
        std::string out(ControlFileLength(host, user, doc) + 1, '\x7f');
        std::size_t n = BuildControlFile(out.data(), host, user, doc, 12345);
        EXPECT_EQ(n, ControlFileLength(host, user, doc));
        EXPECT_EQ(out.back(), '\x7f') << "wrote past the length it announced";
      }
}

TEST(LprWire, CommandsOfTheHeader) {
  char out[kSubcommandSize];
  EXPECT_EQ(std::string(out, ReceiveJobCommand(out, "lp")), "\x02lp\n");
  EXPECT_EQ(std::string(out, ControlFileCommand(out, 30, 7, "h")), "\x02" "30 cfA007h\n");
  std::uint32_t size = 1000;
  EXPECT_EQ(std::string(out, DataFileCommand(out, &size, 7, "h")), "\x03" "1000 dfA007h\n");
  EXPECT_EQ(std::string(out, DataFileCommand(out, nullptr, 12345, "h")),
            "\x03" "125899906843000 dfA345h\n");
  size = 0;
  EXPECT_EQ(std::string(out, DataFileCommand(out, &size, 1000, "h")), "\x03" "0 dfA000h\n");
  size = 0xFFFFFFFF;
  std::string host(64, 'n');
  std::size_t n = DataFileCommand(out, &size, 999, host.c_str());
  EXPECT_EQ(std::string(out, n), "\x03" "4294967295 dfA999" + host + "\n");
  EXPECT_LT(n, kSubcommandSize);
}

// A line break in a name would end its line and start a command of its own.
TEST(LprWire, ControlCharactersInNamesNeverReachTheWire) {
  const char* document = "report\nMroot@host\nlevil";
  const char* user = "al\rice\x7f";
  char out[128];
  std::size_t n = BuildControlFile(out, "h\tx", user, document, 7);
  ASSERT_EQ(n, ControlFileLength("h\tx", user, document));
  EXPECT_EQ(std::string(out, n),
            "Hh_x\nPal_ice_\nJreport_Mroot@host_levil\nfdfA007h_x\nUdfA007h_x\n"
            "Nreport_Mroot@host_levil\n");
  EXPECT_EQ(std::string(out, ReceiveJobCommand(out, "lp\n\x01q")), "\x02lp__q\n");
  EXPECT_EQ(std::string(out, ControlFileCommand(out, 30, 7, "h\n")), "\x02" "30 cfA007h_\n");
}

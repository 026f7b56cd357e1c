#include "core/url.h"

#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

using core::IppBlock;

namespace {

bool Parse(const std::string& url, IppBlock* b) {
  *b = IppBlock{};
  core::CopyText(b->URL, sizeof(b->URL), url.c_str());
  return core::ParseUrl(b);
}

}  // namespace

TEST(UrlParse, SchemesGiveTheirDefaultPorts) {
  IppBlock b;
  ASSERT_TRUE(Parse("ipp://printer.local/printers/q", &b));
  EXPECT_STREQ(b.host, "printer.local");
  EXPECT_STREQ(b.path, "/printers/q");
  EXPECT_EQ(b.port, 631u);
  ASSERT_TRUE(Parse("HTTP://10.1.2.3", &b));
  EXPECT_STREQ(b.host, "10.1.2.3");
  EXPECT_STREQ(b.path, "/");
  EXPECT_EQ(b.port, 80u);
  EXPECT_EQ(b.transport_index, 0u);
}

TEST(UrlParse, ExplicitPort) {
  IppBlock b;
  ASSERT_TRUE(Parse("ipp://127.0.0.1:8631/printers/raw", &b));
  EXPECT_STREQ(b.host, "127.0.0.1");
  EXPECT_EQ(b.port, 8631u);
  EXPECT_STREQ(b.path, "/printers/raw");
}

TEST(UrlParse, RefusesWhatCannotBeReached) {
  IppBlock b;
  EXPECT_FALSE(Parse("lpd://host/q", &b));
  EXPECT_FALSE(Parse("https://host/q", &b));
  EXPECT_FALSE(Parse("ipp:/host", &b));
  EXPECT_FALSE(Parse("ipp://", &b));
  EXPECT_FALSE(Parse("ipp:///path", &b));
  EXPECT_FALSE(Parse("ipp://host:/q", &b));
  EXPECT_FALSE(Parse("ipp://host:0/q", &b));
  EXPECT_FALSE(Parse("ipp://host:http/q", &b));
  EXPECT_FALSE(Parse("ipp://host:65536/q", &b));
  EXPECT_FALSE(Parse("ipp://:631/q", &b));
  EXPECT_FALSE(Parse("", &b));
  // Nothing of a refused URL is left to connect to: no cut host, no port.
  for (const char* url : {"ipp://printer:99999/q", "ipp://printer:-5/q", "ipp://[::1]:631/q",
                          "ipp://pr inter/q", "ipp://printer\n/q"}) {
    EXPECT_FALSE(Parse(url, &b)) << url;
    EXPECT_EQ(std::string(b.host) + b.path, "") << url;
    EXPECT_EQ(b.port, 0u) << url;
  }
}

TEST(UrlParse, OverLongPartsAreRefusedNotCut) {
  IppBlock b;
  EXPECT_TRUE(Parse("ipp://" + std::string(64, 'h') + "/q", &b));
  EXPECT_FALSE(Parse("ipp://" + std::string(65, 'h') + "/q", &b));
  EXPECT_TRUE(Parse("ipp://h/" + std::string(31, 'p'), &b));
  EXPECT_FALSE(Parse("ipp://h/" + std::string(32, 'p'), &b));
  // The whole URL field filled, without a terminator inside the host part.
  EXPECT_FALSE(Parse("ipp://" + std::string(250, 'h'), &b));
}

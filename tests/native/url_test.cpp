#include "core/url.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "core/text.h"

using core::IppBlock;

// Host, port and path; the scheme's port when none is given. Over-long parts
// are refused, not cut.
TEST(UrlParse, PartsOrRefusal) {
  const std::string h64(64, 'h'), path = "/" + std::string(31, 'p');  // both full
  const std::tuple<std::string, std::string> cases[] = {
      {"ipp://printer.local/printers/q", "printer.local 631 /printers/q"},
      {"HTTP://10.1.2.3", "10.1.2.3 80 /"},
      {"ipp://127.0.0.1:8631/printers/raw", "127.0.0.1 8631 /printers/raw"},
      {"ipp://" + h64 + "/q", h64 + " 631 /q"}, {"ipp://h" + path, "h 631 " + path},
      {"lpd://host/q", ""}, {"https://host/q", ""}, {"ipp:/host", ""}, {"ipp://", ""},
      {"ipp:///path", ""}, {"ipp://host:/q", ""}, {"ipp://host:0/q", ""},
      {"ipp://host:http/q", ""}, {"ipp://host:65536/q", ""}, {"ipp://:631/q", ""}, {"", ""},
      {"ipp://" + h64 + "h/q", ""}, {"ipp://h" + path + "p", ""},
      {"ipp://printer:99999/q", ""}, {"ipp://printer:-5/q", ""}, {"ipp://[::1]:631/q", ""},
      {"ipp://pr inter/q", ""}, {"ipp://printer\n/q", ""},
      // The whole URL field filled, without a terminator inside the host part.
      {"ipp://" + std::string(250, 'h'), ""}};
  for (const auto& [url, parts] : cases) {
    IppBlock b{};
    b.transport_index = 7;
    core::CopyText(b.URL, sizeof(b.URL), url.c_str());
    const bool parsed = core::ParseUrl(&b);
    EXPECT_EQ(parsed ? std::string(b.host) + " " + std::to_string(b.port) + " " + b.path : "",
              parts) << url;
    EXPECT_TRUE(!parsed || b.transport_index == 0) << url;
    // Nothing of a refused URL is left to connect to: no cut host, no port.
    EXPECT_TRUE(parsed || (b.host[0] == '\0' && b.path[0] == '\0' && b.port == 0)) << url;
  }
}

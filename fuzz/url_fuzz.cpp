// ParseUrl on any "URL" value the registry may hold: what it accepts names a
// host and a port that can be used as they are, and what it refuses leaves
// nothing to connect to.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/url.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  core::IppBlock block{};
  const std::size_t n = size < sizeof(block.URL) - 1 ? size : sizeof(block.URL) - 1;
  std::memcpy(block.URL, data, n);
  const bool ok = core::ParseUrl(&block);
  fuzz::Check(std::memchr(block.host, 0, sizeof(block.host)) != nullptr);
  fuzz::Check(std::memchr(block.path, 0, sizeof(block.path)) != nullptr);
  if (ok) {
    fuzz::Check(core::IsHostName(block.host));
    fuzz::Check(block.port >= 1 && block.port <= 65535);
    fuzz::Check(block.path[0] == '/');
  } else {
    fuzz::Check(block.host[0] == '\0' && block.path[0] == '\0' && block.port == 0);
  }
  return 0;
}

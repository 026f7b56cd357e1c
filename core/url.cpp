#include "core/url.h"

#include "core/text.h"

namespace core {

bool ParseUrl(IppBlock* block) {
  block->host[0] = '\0';
  block->path[0] = '\0';
  block->transport_index = 0;
  const char* url = block->URL;

  char scheme[8] = {};
  std::size_t i = 0;
  while (i < 7 && url[i] != '\0') {
    scheme[i] = url[i];
    ++i;
    if (url[i - 1] == ':') {
      for (int k = 0; k < 2 && i < 7 && url[i] != '\0'; ++k, ++i) scheme[i] = url[i];
      break;
    }
  }
  scheme[i] = '\0';
  if (core::EqualNoCase(scheme, "http://")) {
    block->port = 80;
  } else if (core::EqualNoCase(scheme, "ipp://")) {
    block->port = 631;
  } else {
    return false;
  }

  const char* rest = url + i;
  std::size_t host_length = 0;
  while (rest[host_length] != '\0' && rest[host_length] != '/') ++host_length;
  if (host_length == 0 || host_length >= sizeof(block->host)) return false;
  const char* path = rest + host_length;
  if (core::TextLength(path) >= sizeof(block->path)) return false;
  for (std::size_t k = 0; k < host_length; ++k) block->host[k] = rest[k];
  block->host[host_length] = '\0';
  core::CopyText(block->path, sizeof(block->path), path);

  for (char* p = block->host; *p != '\0'; ++p) {
    if (*p != ':') continue;
    *p = '\0';
    std::int32_t port = core::ParseNumber(p + 1, 10);
    // ParseNumber stops at no digit in base 10 but may give -1 for text.
    if (port <= 0 || port > 65535) return false;
    block->port = static_cast<std::uint32_t>(port);
    break;
  }
  if (block->host[0] == '\0') return false;
  if (block->path[0] == '\0') core::CopyText(block->path, sizeof(block->path), "/");
  return true;
}

}  // namespace core

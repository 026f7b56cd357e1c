#include "core/url.h"

#include "core/text.h"

namespace core {

bool IsHostName(const char* host) {
  if (host[0] == '\0') return false;
  for (; *host != '\0'; ++host) {
    char c = *host;
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == '_';
    if (!allowed) return false;
  }
  return true;
}

bool ParseUrl(IppBlock* block) {
  // Nothing of a URL that fails is kept: a cut host or a default port would
  // send the job somewhere the user never named.
  block->host[0] = '\0';
  block->path[0] = '\0';
  block->port = 0;
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
  std::uint32_t port;
  if (EqualNoCase(scheme, "http://")) {
    port = 80;
  } else if (EqualNoCase(scheme, "ipp://")) {
    port = 631;
  } else {
    return false;
  }

  const char* rest = url + i;
  std::size_t authority = 0;
  while (rest[authority] != '\0' && rest[authority] != '/') ++authority;
  char host[sizeof(block->host)];
  if (authority == 0 || authority >= sizeof(host)) return false;
  const char* path = rest + authority;
  if (TextLength(path) >= sizeof(block->path)) return false;
  for (std::size_t k = 0; k < authority; ++k) host[k] = rest[k];
  host[authority] = '\0';
  for (char* p = host; *p != '\0'; ++p) {
    if (*p != ':') continue;
    *p = '\0';
    // ParseNumber gives -1 for anything but digits, a sign included.
    std::int32_t number = ParseNumber(p + 1, 10);
    if (number <= 0 || number > 65535) return false;
    port = static_cast<std::uint32_t>(number);
    break;
  }
  if (!IsHostName(host)) return false;
  CopyText(block->host, sizeof(block->host), host);
  CopyText(block->path, sizeof(block->path), path[0] != '\0' ? path : "/");
  block->port = port;
  return true;
}

}  // namespace core

namespace core {
namespace {

void CopyPrefix(char* out, std::size_t size, const char* text, std::size_t length) {
  if (size == 0) return;
  std::size_t i = 0;
  for (; i + 1 < size && i < length; ++i) out[i] = text[i];
  out[i] = '\0';
}

}  // namespace

void SplitProxySetting(const char* value, char* address, std::size_t address_size, char* port,
                       std::size_t port_size) {
  const char* proxy = value;
  for (const char* h = value; *h != '\0'; ++h) {
    if ((*h == 'H' || *h == 'h') && EqualNoCaseN(h, "HTTP=", 5)) {
      proxy = h + 5;
      break;
    }
  }
  std::size_t end = 0;
  if (proxy != value)
    while (proxy[end] != '\0' && proxy[end] != ';') ++end;
  else
    while (proxy[end] != '\0') ++end;
  std::size_t colon = 0;
  while (colon < end && proxy[colon] != ':') ++colon;
  CopyPrefix(address, address_size, proxy, colon);
  if (colon < end)
    CopyPrefix(port, port_size, proxy + colon + 1, end - colon - 1);
  else if (port_size > 0)
    port[0] = '\0';
}

bool IsDottedQuad(const char* text) {
  for (int field = 0; field < 4; ++field) {
    if (field > 0 && *text++ != '.') return false;
    int digits = 0;
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
      if (++digits > 3) return false;
      value = value * 10 + static_cast<unsigned>(*text - '0');
    }
    if (digits == 0 || value > 255) return false;
  }
  return *text == '\0';
}

}  // namespace core

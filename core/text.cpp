#include "core/text.h"

namespace core {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::size_t TextLength(const char* text) {
  std::size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

void CopyText(char* out, std::size_t size, const char* text) {
  if (size == 0) return;
  std::size_t i = 0;
  for (; i + 1 < size && text[i] != '\0'; ++i) out[i] = text[i];
  out[i] = '\0';
}

void AppendText(char* out, std::size_t size, const char* text) {
  std::size_t used = 0;
  while (used < size && out[used] != '\0') ++used;
  if (used < size) CopyText(out + used, size - used, text);
}

bool EqualNoCaseN(const char* a, const char* b, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
    if (a[i] == '\0') return true;
  }
  return true;
}

bool EqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (Lower(*a) != Lower(*b)) return false;
    if (*a == '\0') return true;
  }
}

int ConvertEscapes(char* text, std::size_t length) {
  int lines = 1;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '\\' && text[i + 1] == 'n') {
      text[i] = '\r';
      text[i + 1] = '\n';
      ++i;
      ++lines;
    }
    if (text[i] == '\\' && text[i + 1] == 't') {
      // The tail moves left, terminator included; a stale copy of the
      // terminator stays behind, so the scan never reads past `length`.
      for (std::size_t j = i + 1; text[j] != '\0'; ++j) text[j] = text[j + 1];
      text[i] = '\t';
    }
  }
  return lines;
}

std::int32_t ParseNumber(const char* text, int base) {
  if (base < 1) return -1;
  std::uint32_t value = 0;
  for (; *text != '\0'; ++text) {
    int digit = DigitValue(*text);
    if (digit < 0) return -1;
    if (digit >= base) break;
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

int CountConversions(const char* format) {
  int count = 0;
  for (; *format != '\0'; ++format) {
    if (*format != '%') continue;
    if (format[1] == '%') {
      ++format;
      continue;
    }
    if (format[1] == '\0') break;
    ++count;
  }
  return count;
}

void MonitorNameFromPath(const char* module_path, char out[kMonitorNameSize]) {
  static constexpr char kSuffix[] = " Network Printer Port";
  static constexpr std::size_t kEnding = 7;  // "mon.dll"
  static constexpr std::size_t kMaxBase = kMonitorNameSize - 1 - (sizeof(kSuffix) - 1);
  out[0] = '\0';
  const char* last = nullptr;
  for (const char* p = module_path; *p != '\0'; ++p)
    if (*p == '\\') last = p;
  if (last == nullptr) return;
  const char* file = last + 1;
  std::size_t length = TextLength(file);
  std::size_t base = length > kEnding ? length - kEnding : 0;
  // A longer library name would not fit the name buffers; its start is kept.
  if (base > kMaxBase) base = kMaxBase;
  for (std::size_t i = 0; i < base; ++i) out[i] = file[i];
  out[base] = '\0';
  AppendText(out, kMonitorNameSize, kSuffix);
}

}  // namespace core

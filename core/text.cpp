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

namespace {

struct Conversion {
  bool left = false, zero = false, alternate = false, plus = false, space = false;
  int width = 0;
  int precision = -1;
  char size = 0;  // 'h', 'l' or 0
  char type = 0;
  const char* end = nullptr;  // just past the conversion
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads up to two digits; false for three or more.
bool ReadSmallNumber(const char** at, int* value) {
  int digits = 0;
  *value = 0;
  while (IsDigit(**at)) {
    if (++digits > 2) return false;
    *value = *value * 10 + (**at - '0');
    ++*at;
  }
  return true;
}

// `at` points just past a '%'.
bool ParseConversion(const char* at, Conversion* c) {
  for (;; ++at) {
    if (*at == '-') c->left = true;
    else if (*at == '0') c->zero = true;
    else if (*at == '#') c->alternate = true;
    else if (*at == '+') c->plus = true;
    else if (*at == ' ') c->space = true;
    else break;
  }
  if (!ReadSmallNumber(&at, &c->width)) return false;
  if (*at == '.') {
    ++at;
    if (!ReadSmallNumber(&at, &c->precision)) return false;
  }
  if (*at == 'h' || *at == 'l') c->size = *at++;
  c->type = *at;
  c->end = at + 1;
  return c->type != '\0';
}

bool Fits(const Conversion& c, const TextInsert& insert) {
  switch (c.type) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'c':
      return insert.kind == TextInsert::kNumber;
    case 's':
      // "%ls" would read the text as UTF-16.
      return insert.kind == TextInsert::kText && insert.text != nullptr && c.size != 'l';
    default:
      return false;
  }
}

void Pad(TextWriter& w, int count, char c) {
  for (; count > 0; --count) w.Char(c);
}

void WriteConversion(TextWriter& w, const Conversion& c, const TextInsert& insert) {
  char body[128];  // up to 99 digits of precision; no number has more
  int length = 0;
  const char* prefix = "";
  if (c.type == 's') {
    const char* text = insert.text;
    int n = 0;
    while (text[n] != '\0' && (c.precision < 0 || n < c.precision)) ++n;
    if (!c.left) Pad(w, c.width - n, ' ');
    for (int i = 0; i < n; ++i) w.Char(text[i]);
    if (c.left) Pad(w, c.width - n, ' ');
    return;
  }
  std::uint32_t value = insert.number;
  if (c.size == 'h') value &= 0xFFFF;
  if (c.type == 'c') {
    body[length++] = static_cast<char>(value);
  } else {
    bool negative = false;
    if (c.type == 'd' || c.type == 'i') {
      std::int32_t signed_value =
          c.size == 'h' ? static_cast<std::int16_t>(value) : static_cast<std::int32_t>(value);
      negative = signed_value < 0;
      value = negative ? 0u - static_cast<std::uint32_t>(signed_value)
                       : static_cast<std::uint32_t>(signed_value);
      prefix = negative ? "-" : c.plus ? "+" : c.space ? " " : "";
    }
    bool hex = c.type == 'x' || c.type == 'X';
    const char* digits = c.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    if (hex && c.alternate && value != 0) prefix = c.type == 'X' ? "0X" : "0x";
    char reversed[16];
    int n = 0;
    do {
      reversed[n++] = digits[value % (hex ? 16 : 10)];
      value /= hex ? 16 : 10;
    } while (value != 0);
    if (c.precision == 0 && n == 1 && reversed[0] == '0') n = 0;
    for (int i = n; i < c.precision; ++i) body[length++] = '0';
    while (n > 0) body[length++] = reversed[--n];
  }
  int prefix_length = static_cast<int>(TextLength(prefix));
  int fill = c.width - length - prefix_length;
  bool zeros = c.zero && !c.left && c.precision < 0;
  if (!c.left && !zeros) Pad(w, fill, ' ');
  w.Text(prefix);
  if (zeros) Pad(w, fill, '0');
  for (int i = 0; i < length; ++i) w.Char(body[i]);
  if (c.left) Pad(w, fill, ' ');
}

}  // namespace

void FormatText(char* out, std::size_t size, const char* format, const TextInsert& insert) {
  if (size == 0) return;
  // Find the one conversion, or decide the text stands as it is.
  Conversion conversion;
  const char* at = nullptr;
  bool fits = insert.kind != TextInsert::kNone;
  for (const char* p = format; fits && *p != '\0'; ++p) {
    if (*p != '%') continue;
    if (p[1] == '%') {
      ++p;
      continue;
    }
    Conversion c;
    if (at != nullptr || !ParseConversion(p + 1, &c) || !Fits(c, insert)) {
      fits = false;
      break;
    }
    at = p;
    conversion = c;
    p = c.end - 1;
  }
  if (!fits || at == nullptr) {
    CopyText(out, size, format);
    return;
  }
  TextWriter w{out, size - 1};
  for (const char* p = format; *p != '\0'; ++p) {
    if (p == at) {
      WriteConversion(w, conversion, insert);
      p = conversion.end - 1;
    } else {
      w.Char(*p);
      if (*p == '%' && p[1] == '%') ++p;
    }
  }
  out[w.at] = '\0';
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

// Text helpers shared by every subsystem. Platform-free: the DLL has no C
// runtime, and these also run under the Linux test build and the fuzzers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace core {

std::size_t TextLength(const char* text);

// Copies at most size - 1 characters and always terminates (size > 0).
void CopyText(char* out, std::size_t size, const char* text);

// Appends as much of text as fits, keeping the terminator.
void AppendText(char* out, std::size_t size, const char* text);

// ASCII letters compared without regard to case; other bytes exactly.
bool EqualNoCase(const char* a, const char* b);
bool EqualNoCaseN(const char* a, const char* b, std::size_t count);

// Turns the two-character sequences "\n" into CR LF and "\t" into a tab, in
// place, scanning the first `length` characters. Returns the line count.
int ConvertEscapes(char* text, std::size_t length);

// Digits 0-9, a-f, A-F only; stops at the first digit not below `base`.
// Returns -1 for a base below 1 or any other character, 0 for "".
std::int32_t ParseNumber(const char* text, int base);

// What a message text's one conversion is filled with.
struct TextInsert {
  enum Kind : std::uint8_t { kNone, kNumber, kText };
  Kind kind = kNone;
  std::uint32_t number = 0;
  const char* text = nullptr;
};
inline TextInsert NumberInsert(std::uint32_t n) { return {TextInsert::kNumber, n, nullptr}; }
inline TextInsert TextInsertOf(const char* t) { return {TextInsert::kText, 0, t}; }

// Message texts come from INI files a user may reword, so a text is only
// filled in when its one conversion fits the insert: %d %i %u %x %X %c (h or l
// allowed) for a number, %s (h allowed) for a text, with the flags "-0# +",
// and a width and a precision of at most two digits each. Any other text --
// no insert, no conversion, two, the wrong type, "*" -- is copied as it
// stands. Writes at most size - 1 characters and a zero (size > 0).
void FormatText(char* out, std::size_t size, const char* format, const TextInsert& insert);

// Builds a text in a buffer of `size` characters: what does not fit is not
// written, and `overflow` says so. No terminator is added.
struct TextWriter {
  char* out;
  std::size_t size;
  std::size_t at = 0;
  bool overflow = false;

  void Char(char c) {
    if (at < size)
      out[at++] = c;
    else
      overflow = true;
  }
  void Text(const char* text) {
    while (*text != '\0') Char(*text++);
  }
  // A text field of a record: never read past the field, terminated or not.
  template <std::size_t N>
  void Field(const char (&field)[N]) {
    for (std::size_t i = 0; i + 1 < N && field[i] != '\0'; ++i) Char(field[i]);
  }
  void Number(std::uint32_t value) {
    char digits[10];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0) Char(digits[--n]);
  }
};

// Bytes into a fixed buffer, 16- and 32-bit numbers big-endian: once
// something does not fit, nothing more is written and `overflow` stays set,
// so a message is built without a size check at every step.
struct ByteWriter {
  std::uint8_t* out;
  std::size_t size;
  std::size_t at = 0;
  bool overflow = false;

  void Byte(std::uint32_t b) {
    if (at < size)
      out[at++] = static_cast<std::uint8_t>(b);
    else
      overflow = true;
  }
  void Bytes(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Byte(bytes[i]);
  }
  void U16(std::uint32_t v) {
    Byte(v >> 8 & 0xFF);
    Byte(v & 0xFF);
  }
  void U32(std::uint32_t v) {
    U16(v >> 16);
    U16(v & 0xFFFF);
  }
};

// The monitor is named after its own file: "C:\x\Vexamon.dll" gives
// "Vexa Network Printer Port". Without any "\" the name is empty.
inline constexpr std::size_t kMonitorNameSize = 38;  // 37 characters and the zero
void MonitorNameFromPath(const char* module_path, char out[kMonitorNameSize]);

}  // namespace core

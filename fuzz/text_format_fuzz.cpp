// FormatText on any INI text a user may write, with a number or a text as
// its insert, into a buffer of any size: the output stays inside the buffer
// and terminated, and a text insert is never read past its end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/text.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  // Byte 0: insert kind and output size; bytes 1-4: the number; then the
  // format, and after its first zero byte the text to insert.
  const std::size_t out_size = 1 + data[0] / 3;
  core::TextInsert insert;
  std::uint32_t number;
  std::memcpy(&number, data + 1, sizeof(number));
  const char* rest = reinterpret_cast<const char*>(data + 5);
  const std::size_t rest_size = size - 5;
  const auto* split = static_cast<const char*>(std::memchr(rest, 0, rest_size));
  const std::size_t format_size = split != nullptr ? static_cast<std::size_t>(split - rest) : rest_size;
  auto format = std::make_unique<char[]>(format_size + 1);
  std::memcpy(format.get(), rest, format_size);
  format[format_size] = '\0';
  const std::size_t text_size = split != nullptr ? rest_size - format_size - 1 : 0;
  auto text = std::make_unique<char[]>(text_size + 1);
  if (text_size != 0) std::memcpy(text.get(), split + 1, text_size);
  text[text_size] = '\0';
  switch (data[0] % 3) {
    case 0: break;
    case 1: insert = core::NumberInsert(number); break;
    default: insert = core::TextInsertOf(text.get()); break;
  }
  auto out = std::make_unique<char[]>(out_size);
  core::FormatText(out.get(), out_size, format.get(), insert);
  fuzz::Check(std::memchr(out.get(), 0, out_size) != nullptr);
  return 0;
}

// DecodeIppResponse on arbitrary bytes, and the requests built with those
// bytes as user and document names.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "ipp/codec.h"

namespace {

constexpr std::uint32_t kKnownStatus =
    0x2 | 0x8 | 0x10 | 0x80 | 0x800 | 0x20000 | 0x40000 | 0x100000 | 0x400000;

void Decode(const std::uint8_t* data, std::size_t size) {
  core::IppBlock ipp{};
  core::PortEntry port{};
  port.block = &ipp;
  // Exactly the size the monitor allocates, so ASan sees a write past it.
  auto model = std::make_unique<char[]>(ipp::kMakeAndModelSize);
  ipp.make_and_model = model.get();
  port.send_error = 0xDEAD;
  ipp::DecodeIppResponse(&port, data, static_cast<std::uint32_t>(size), &fuzz::kCodepage);
  fuzz::Check(std::memchr(model.get(), 0, ipp::kMakeAndModelSize) != nullptr);
  fuzz::Check((ipp.severity & ~0xF) == 0);
  fuzz::Check((port.printer_status & ~kKnownStatus) == 0);
}

void Build(const std::uint8_t* data, std::size_t size) {
  // The input as a zero-terminated name.
  std::size_t length = size < 600 ? size : 600;
  auto name = std::make_unique<char[]>(length + 1);
  for (std::size_t i = 0; i < length; ++i)
    name[i] = data[i] != 0 ? static_cast<char>(data[i]) : 'z';
  name[length] = '\0';

  core::IppBlock ipp{};
  core::PortEntry port{};
  port.block = &ipp;
  for (std::size_t i = 0; i + 1 < sizeof(ipp.URL); ++i) ipp.URL[i] = 'u';
  ipp.JobSheets = size & 1;
  port.user_name = name.get();
  port.document_name = size & 2 ? name.get() : nullptr;

  auto full = std::make_unique<std::uint8_t[]>(ipp::kPrintJobMax);
  std::size_t n = ipp::BuildPrintJob(&port, full.get(), ipp::kPrintJobMax, &fuzz::kCodepage);
  fuzz::Check(n > 0 && n <= ipp::kPrintJobMax);
  std::size_t small_size = size % ipp::kPrintJobMax;
  auto small = std::make_unique<std::uint8_t[]>(small_size);
  std::size_t m = ipp::BuildPrintJob(&port, small.get(), small_size, &fuzz::kCodepage);
  fuzz::Check(m == 0 || (m == n && std::memcmp(small.get() + 8, full.get() + 8, m - 8) == 0));
  auto query = std::make_unique<std::uint8_t[]>(ipp::kGetPrinterAttributesMax);
  n = ipp::BuildGetPrinterAttributes(&port, static_cast<int>(size % 3), query.get(),
                                     ipp::kGetPrinterAttributesMax, &fuzz::kCodepage);
  fuzz::Check(n > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Decode(data, size);
  Build(data, size);
  return 0;
}

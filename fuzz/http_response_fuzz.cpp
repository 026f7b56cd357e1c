// The response reader fed arbitrary bytes, once in receives as large as the
// room allows and once in small receives chosen by the first input byte;
// both must end the same. A successful body is then decoded.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "ipp/codec.h"
#include "ipp/http.h"

namespace {

struct Outcome {
  ipp::HttpStep step = ipp::HttpStep::kNeedMore;
  std::uint32_t code = 0;
  std::string body;
};

Outcome Feed(const std::uint8_t* data, std::size_t size, std::uint32_t seed, bool whole) {
  auto receive = std::make_unique<std::uint8_t[]>(ipp::kHttpBufferSize);
  auto body = std::make_unique<std::uint8_t[]>(ipp::kHttpBufferSize);
  ipp::HttpReader r;
  ipp::HttpReaderInit(&r, receive.get(), body.get());
  static constexpr std::uint32_t kLargest[] = {1, 2, 3, 7, 16, 100, 1000, 5000};
  std::uint32_t largest = kLargest[seed % 8];
  std::uint32_t state = seed * 2654435761u + 1;

  Outcome o;
  std::size_t at = 0;
  while (at < size && o.step == ipp::HttpStep::kNeedMore) {
    std::uint32_t room = 0;
    std::uint8_t* space = ipp::HttpReaderSpace(&r, &room);
    fuzz::Check(room > 0 && room <= ipp::kHttpBufferSize);
    state = state * 1103515245u + 12345u;
    std::size_t n = whole ? room : 1 + (state >> 8) % largest;
    if (n > room) n = room;
    if (n > size - at) n = size - at;
    std::memcpy(space, data + at, n);
    at += n;
    o.step = ipp::HttpReaderReceived(&r, static_cast<std::uint32_t>(n), &o.code);
  }
  std::uint32_t length = 0;
  const std::uint8_t* b = ipp::HttpReaderBody(&r, &length);
  fuzz::Check((b != nullptr) == (o.step == ipp::HttpStep::kSuccess));
  fuzz::Check(length <= ipp::kHttpBufferSize);
  if (b != nullptr) o.body.assign(reinterpret_cast<const char*>(b), length);
  fuzz::Check(o.step == ipp::HttpStep::kFailure || o.code == 0);
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint32_t seed = data[0];
  ++data;
  --size;
  Outcome whole = Feed(data, size, seed, true);
  Outcome split = Feed(data, size, seed, false);
  fuzz::Check(whole.step == split.step && whole.code == split.code && whole.body == split.body);

  if (whole.step == ipp::HttpStep::kSuccess) {
    core::IppBlock ipp{};
    core::PortEntry port{};
    port.block = &ipp;
    auto model = std::make_unique<char[]>(ipp::kMakeAndModelSize);
    ipp.make_and_model = model.get();
    auto body = std::make_unique<std::uint8_t[]>(whole.body.size());
    std::memcpy(body.get(), whole.body.data(), whole.body.size());
    ipp::DecodeIppResponse(&port, body.get(), static_cast<std::uint32_t>(whole.body.size()),
                           &fuzz::kCodepage);
    fuzz::Check(std::memchr(model.get(), 0, ipp::kMakeAndModelSize) != nullptr);
  }
  return 0;
}

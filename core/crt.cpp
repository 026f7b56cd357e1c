// The routines GCC emits calls to even in a DLL without a C runtime (block
// copies, structure clears and comparisons). Built freestanding so that the
// loops below are not turned back into calls to themselves.
#include <cstddef>

extern "C" {

void* memcpy(void* dest, const void* src, std::size_t n) {
  auto* d = static_cast<unsigned char*>(dest);
  auto* s = static_cast<const unsigned char*>(src);
  while (n--) *d++ = *s++;
  return dest;
}

void* memmove(void* dest, const void* src, std::size_t n) {
  auto* d = static_cast<unsigned char*>(dest);
  auto* s = static_cast<const unsigned char*>(src);
  if (d < s) {
    while (n--) *d++ = *s++;
  } else {
    while (n--) d[n] = s[n];
  }
  return dest;
}

void* memset(void* dest, int value, std::size_t n) {
  auto* d = static_cast<unsigned char*>(dest);
  while (n--) *d++ = static_cast<unsigned char>(value);
  return dest;
}

int memcmp(const void* a, const void* b, std::size_t n) {
  auto* x = static_cast<const unsigned char*>(a);
  auto* y = static_cast<const unsigned char*>(b);
  for (; n--; ++x, ++y)
    if (*x != *y) return *x < *y ? -1 : 1;
  return 0;
}

std::size_t strlen(const char* s) {
  std::size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // extern "C"

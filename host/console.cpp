#include "host/console.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>

namespace host::console {
namespace {

CRITICAL_SECTION g_lock;

void Write(FILE* stream, const char* format, va_list args) {
  EnterCriticalSection(&g_lock);
  std::vfprintf(stream, format, args);
  std::fputc('\n', stream);
  std::fflush(stream);
  LeaveCriticalSection(&g_lock);
}

}  // namespace

void Init() {
  InitializeCriticalSection(&g_lock);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void Out(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(stdout, format, args);
  va_end(args);
}

void Err(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(stderr, format, args);
  va_end(args);
}

}  // namespace host::console

#include "host/console.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>

#include "host/threads.h"

namespace host::console {
namespace {

CRITICAL_SECTION g_lock;

void Write(FILE* stream, int line, const char* format, va_list args) {
  EnterCriticalSection(&g_lock);
  if (line > 0) std::fprintf(stream, "[%d] ", line);
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
  Write(stdout, threads::CurrentLine(), format, args);
  va_end(args);
}

void Err(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(stderr, threads::CurrentLine(), format, args);
  va_end(args);
}

void OutFor(int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(stdout, line, format, args);
  va_end(args);
}

}  // namespace host::console

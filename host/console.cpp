#include "host/console.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "host/threads.h"

namespace host::console {
namespace {

CRITICAL_SECTION g_lock;

// A text of several lines (a box's) gets the tag on each of them.
void Write(FILE* stream, int line, const char* format, va_list args) {
  char tag[16] = "";
  if (line > 0) std::snprintf(tag, sizeof(tag), "[%d] ", line);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  EnterCriticalSection(&g_lock);
  std::fputs(tag, stream);
  for (char c : text) {
    std::fputc(c, stream);
    if (c == '\n') std::fputs(tag, stream);
  }
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

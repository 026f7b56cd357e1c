// Whole lines to stdout and stderr, each flushed at once: a session's reader
// (a test, a person) sees every line when it happens, and lines written by
// the box watcher or by background commands never land inside another line.
// A line written for a background command starts with its session line
// number, "[3] ".
#pragma once

namespace host::console {

void Init();  // binary streams: a line ends in LF only, as the tests expect
// For the calling thread's session line (host/threads.h).
void Out(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
void Err(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// For session line LINE, 0 the foreground.
void OutFor(int line, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

}  // namespace host::console

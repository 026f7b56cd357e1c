// Whole lines to stdout and stderr, each flushed at once: a session's reader
// (a test, a person) sees every line when it happens, and lines written by
// the box watcher never land inside a line of the command being run.
#pragma once

namespace host::console {

void Init();  // binary streams: a line ends in LF only, as the tests expect
void Out(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
void Err(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

}  // namespace host::console

// Which session line a thread works for. A background command of a session
// runs on a thread of its own, and so do the threads it starts and those the
// monitor starts while serving its job (the retry prompt, the job watcher):
// their output lines carry the line's number and their windows get the
// line's answers. Line 0 is the foreground, and any thread not known here.
#pragma once
#include <windows.h>

namespace host::threads {

int CurrentLine();
int LineOf(DWORD thread_id);

// Starts ROUTINE on a thread that works for LINE, or for the caller's line
// when LINE is negative; its handle, or null with the last error set.
HANDLE Start(LPTHREAD_START_ROUTINE routine, void* parameter, int line = -1);

// Makes every thread MODULE starts work for the line of the thread that
// started it. False when MODULE does not import CreateThread by name.
bool FollowThreadsOf(HMODULE module);

}  // namespace host::threads

#include "host/background.h"

#include <windows.h>

#include "host/console.h"
#include "host/print.h"
#include "host/spooler.h"
#include "host/threads.h"

namespace host::background {
namespace {

using commands::Outcome;
using commands::Status;
using Words = std::vector<std::string>;

struct Command {
  int line;
  Words words;
  answer::Reply reply;
  Runner run;
  HANDLE thread;  // null for a line refused before it started
  Status status;  // read once the thread has ended
};

// Lines sent to the background since the last Wait. Only the session's own
// thread starts and waits, so no lock: a command's thread writes only its
// status, which is read after the thread has ended.
std::vector<Command*> g_commands;

DWORD WINAPI RunCommand(LPVOID param) {
  auto* command = static_cast<Command*>(param);
  command->status = command->run(command->words, command->reply);
  answer::Forget(command->line);
  return 0;
}

bool RunsInBackground(const std::string& name) {
  return name == "print" || name == "sleep" || name == "box" || name == "prompt";
}

Outcome Launch(Command* command) {
  const Words& words = command->words;
  if (words.empty() || !RunsInBackground(words[0]))
    return commands::Usage(nullptr, std::string("only ") + kCommands + " run in the background");
  if (words[0] == "print") {
    Outcome reserved = print::Reserve(Words(words.begin() + 1, words.end()), command->line);
    if (reserved.status != Status::kOk) return reserved;
  }
  command->thread = threads::Start(RunCommand, command, command->line);
  if (command->thread) return commands::Ok();
  DWORD error = GetLastError();
  print::Release(command->line);
  return commands::Failed(error, "cannot start a thread");
}

const char* Word(Status status) {
  switch (status) {
    case Status::kOk: return "ok";
    case Status::kFailed: return "failed";
    case Status::kUsage: return "refused (usage)";
    case Status::kCancelled: return "cancelled";
  }
  return "?";
}

}  // namespace

Outcome Start(int line, const Words& words, answer::Reply reply, Runner run) {
  auto* command = new Command{line, words, reply, run, nullptr, Status::kOk};
  Outcome outcome = Launch(command);
  command->status = outcome.status;
  g_commands.push_back(command);
  return outcome;
}

Status Wait() {
  Status worst = Status::kOk;
  std::string summary;
  for (Command* command : g_commands) {
    if (command->thread) {
      spooler::PumpUntil(command->thread, INFINITE);
      CloseHandle(command->thread);
    }
    summary += (summary.empty() ? "" : ", ") + ("[" + std::to_string(command->line) + "] ") +
               Word(command->status);
    if (command->status > worst) worst = command->status;
    delete command;
  }
  g_commands.clear();
  if (!summary.empty()) console::Out("waited for %s", summary.c_str());
  return worst;
}

std::string Running() {
  std::string lines;
  for (const Command* command : g_commands)
    if (command->thread && WaitForSingleObject(command->thread, 0) == WAIT_TIMEOUT)
      lines += (lines.empty() ? "[" : " [") + std::to_string(command->line) + "]";
  return lines;
}

}  // namespace host::background

// vexaspool: stands in for the Windows 95 spooler around the monitor, one
// command per run, or a session of commands read from stdin so that the
// monitor's state (its port table, its scans, the stand-ins) carries over.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/answer.h"
#include "host/commands.h"
#include "host/console.h"
#include "host/spooler.h"

namespace {

using host::answer::Reply;
using host::commands::Outcome;
using host::commands::Status;
using Words = std::vector<std::string>;

constexpr int kUsageExit = 2;
constexpr int kSetupExit = 3;

void PrintUsage() {
  host::console::Err("usage: vexaspool [--ensure-installed] [--answer ok|cancel|retry|yes|no|wait] COMMAND [ARGS]");
  host::console::Err("       vexaspool [--ensure-installed] [--answer ...] -   (commands from stdin, one a line)");
  host::console::Err("commands:");
  for (const char* line : host::commands::UsageLines()) host::console::Err("  %s", line);
}

struct Options {
  Reply reply = Reply::kNone;
  bool ensure_installed = false;  // only before the command of a run, not in a session
};

// Removes the options in front of the command. False on a bad option.
bool TakeOptions(Words* words, Options* options, bool in_session) {
  while (!words->empty() && (*words)[0].rfind("--", 0) == 0) {
    const std::string option = (*words)[0];
    if (option == "--ensure-installed" && !in_session) {
      options->ensure_installed = true;
      words->erase(words->begin());
    } else if (option == "--answer" && words->size() >= 2 &&
               host::answer::Parse((*words)[1].c_str(), &options->reply)) {
      words->erase(words->begin(), words->begin() + 2);
    } else {
      return false;
    }
  }
  return true;
}

// Splits a session line at blanks; double quotes keep blanks inside a word.
Words Split(const std::string& line) {
  Words words;
  std::string word;
  bool quoted = false, in_word = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

// --- stdin for a session ------------------------------------------------------
// Lines are read on a thread of their own, so that the main thread keeps
// dispatching messages for the owner window between commands: a monitor
// thread that raises a box over it would otherwise wait on a thread asleep
// in a read.

struct LineReader {
  HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE taken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::string line;
  bool eof = false;
};

DWORD WINAPI ReadLines(LPVOID param) {
  auto* reader = static_cast<LineReader*>(param);
  char chunk[1024];
  std::string line;
  for (;;) {
    bool got = std::fgets(chunk, sizeof(chunk), stdin) != nullptr;
    if (got) line += chunk;
    if (got && (line.empty() || line.back() != '\n')) continue;
    if (!got && line.empty()) break;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    reader->line = line;
    line.clear();
    SetEvent(reader->ready);
    WaitForSingleObject(reader->taken, INFINITE);
    if (!got) break;
  }
  reader->eof = true;
  SetEvent(reader->ready);
  return 0;
}

bool NextLine(LineReader* reader, std::string* line) {
  host::spooler::PumpUntil(reader->ready, INFINITE);
  if (reader->eof) return false;
  *line = reader->line;
  SetEvent(reader->taken);
  return true;
}

int Session(Reply session_reply) {
  LineReader reader;
  CloseHandle(CreateThread(nullptr, 0, ReadLines, &reader, 0, nullptr));
  int last = 0;
  std::string line;
  while (NextLine(&reader, &line)) {
    Words words = Split(line);
    if (words.empty() || words[0][0] == '#') continue;
    Options options;
    options.reply = session_reply;
    Outcome outcome{Status::kUsage, ERROR_INVALID_PARAMETER, nullptr};
    if (TakeOptions(&words, &options, true)) {
      host::answer::Set(options.reply);
      outcome = host::commands::Run(words);
    }
    if (outcome.status == Status::kUsage) {
      host::console::Out("usage: %s", outcome.usage ? outcome.usage : "unknown command or option");
      outcome.error = ERROR_INVALID_PARAMETER;
    }
    if (outcome.status == Status::kOk)
      host::console::Out("ok");
    else
      host::console::Out("error %lu", outcome.error);
    last = static_cast<int>(outcome.status);
  }
  return last;
}

}  // namespace

int main(int argc, char** argv) {
  host::console::Init();
  Words words(argv + 1, argv + argc);
  Options options;
  if (!TakeOptions(&words, &options, false) || words.empty()) {
    PrintUsage();
    return kUsageExit;
  }
  if (!host::spooler::BindStandIns()) return kSetupExit;
  host::answer::Set(options.reply);
  Outcome outcome{Status::kOk, ERROR_SUCCESS, nullptr};
  if (options.ensure_installed) outcome = host::commands::EnsureInstalled();
  if (outcome.status == Status::kOk) {
    if (words.size() == 1 && words[0] == "-") return Session(options.reply);
    outcome = host::commands::Run(words);
  }
  switch (outcome.status) {
    case Status::kOk:
      return 0;
    case Status::kFailed:
      host::console::Err("error %lu", outcome.error);
      return 1;
    case Status::kUsage:
      if (outcome.usage) host::console::Err("usage: vexaspool %s", outcome.usage);
      else PrintUsage();
      return kUsageExit;
  }
  return kUsageExit;
}

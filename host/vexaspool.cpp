// vexaspool: stands in for the Windows 95 spooler around the monitor, one
// command per run, or a session of commands read from stdin so that the
// monitor's state (its port table, its scans, the stand-ins) carries over.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/answer.h"
#include "host/background.h"
#include "host/commands.h"
#include "host/console.h"
#include "host/spooler.h"
#include "host/threads.h"

namespace {

using host::answer::Reply;
using host::commands::Outcome;
using host::commands::Status;
using Words = std::vector<std::string>;

#ifndef VEXA_VERSION
#define VEXA_VERSION "unknown"
#endif

void PrintHelp(FILE* stream) {
  auto line = [stream](const char* text) { std::fprintf(stream, "%s\n", text); };
  line("usage: vexaspool [--answer REPLY] COMMAND [ARGS]   one command");
  line("       vexaspool [--answer REPLY] -                 a session: commands from stdin, one a line");
  line("");
  line("The stand-in Windows 95 spooler: loads Vexamon.dll as the spooler does and drives it.");
  line("commands:");
  for (const auto& help : host::commands::HelpLines())
    std::fprintf(stream, "  %s\n      %s\n", help.usage, help.what);
  line("  help\n      this text");
  line("  wait\n      in a session: wait for the commands running in the background");
  line("options, before or after the command:");
  line("  --answer ok|cancel|retry|yes|no|wait");
  line("      answers every message box and prompt of the monitor. Without it a box is shown");
  line("      when there is a display, and answered cancel when there is none. retry keeps");
  line("      retrying until the printer answers (Ctrl-C stops it); wait leaves boxes up.");
  line("  -h, --help      this text");
  line("  --version       the version");
  line("Every box and prompt is printed (box: TITLE | TEXT, prompt ID TEXT).");
  line("exit status: 0 success, 1 the operation failed, 2 usage, 3 the job was cancelled;");
  line("a session exits with the worst status of its commands. In a session each command");
  line("ends with a line \"ok\" or \"error N: WHAT\".");
  line("");
  line("A session line ending in \" &\" runs in the background, on a thread of its own, as the");
  line("spooler prints each printer's jobs: print, sleep, box and prompt. Every line it prints");
  line("starts with its line number in the session (\"[3] printed ...\"), its last \"[3] ok\"");
  line("or \"[3] error N: WHAT\"; its --answer and --credentials answer its own boxes and");
  line("prompts. A print there needs a --job of its own and prints to a printer of its own");
  line("(\"Vexa Test Printer 3\"): one whose job id equals another printing job's modulo");
  line("1000 (they would share a spool file), or whose --printer is printing, is refused");
  line("before anything is sent. wait waits for all of them and says how each went");
  line("(\"waited for [2] ok, [3] failed\"); the end of the input waits for them as well.");
  std::fflush(stream);
}

struct Options {
  Reply reply = Reply::kNone;
  bool help = false;
  bool version = false;
  std::string refused;  // an option that is not one
};

// Takes the global options out of the words, wherever they stand; the
// command's own options stay. A word the command does not know is the
// command's to refuse.
void TakeOptions(Words* words, Options* options) {
  for (size_t i = 0; i < words->size();) {
    const std::string& word = (*words)[i];
    size_t taken = 0;
    if (word == "--help" || word == "-h") {
      options->help = true;
      taken = 1;
    } else if (word == "--version") {
      options->version = true;
      taken = 1;
    } else if (word == "--answer") {
      if (i + 1 < words->size() && host::answer::Parse((*words)[i + 1].c_str(), &options->reply)) {
        taken = 2;
      } else {
        options->refused = "--answer needs ok, cancel, retry, yes, no or wait" +
                           (i + 1 < words->size() ? ", not " + (*words)[i + 1] : std::string());
        taken = i + 1 < words->size() ? 2 : 1;
      }
    }
    if (taken == 0) {
      ++i;
      continue;
    }
    words->erase(words->begin() + static_cast<std::ptrdiff_t>(i),
                 words->begin() + static_cast<std::ptrdiff_t>(i + taken));
  }
}

// The exit status of what went worst.
int Worst(int a, Status b) { return a > static_cast<int>(b) ? a : static_cast<int>(b); }

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

// Says how a command of session line LINE ended, on one line.
Status Report(const Outcome& outcome, int line) {
  switch (outcome.status) {
    case Status::kOk:
      host::console::OutFor(line, "ok");
      break;
    case Status::kUsage:
      host::console::OutFor(line, "error %lu: %s%s%s",
                            static_cast<unsigned long>(ERROR_INVALID_PARAMETER),
                            outcome.what.c_str(), outcome.what.empty() ? "usage: " : "; usage: ",
                            outcome.usage ? outcome.usage : "see help");
      break;
    default:
      host::console::OutFor(line, "error %lu: %s", outcome.error,
                            host::commands::Describe(outcome, false).c_str());
      break;
  }
  return outcome.status;
}

// A command, global options taken out, on the thread of its session line.
Status RunReported(const Words& words, Reply reply) {
  host::answer::Set(reply);
  return Report(host::commands::Run(words), host::threads::CurrentLine());
}

// Runs one command of a session and says how it ended, on one line; a
// background one is only started here, and says so when it ends.
Status SessionCommand(Words words, Reply session_reply, int line, bool background) {
  Options options;
  options.reply = session_reply;
  TakeOptions(&words, &options);
  if (!options.refused.empty())
    return Report(Outcome{Status::kUsage, 0, nullptr, options.refused}, background ? line : 0);
  if (background) {
    Outcome started = host::background::Start(line, words, options.reply, RunReported);
    return started.status == Status::kOk ? Status::kOk : Report(started, line);
  }
  if (options.help || (!words.empty() && words[0] == "help")) {
    PrintHelp(stdout);
    host::console::Out("ok");
    return Status::kOk;
  }
  if (!words.empty() && words[0] == "wait") {
    if (words.size() != 1) return Report(host::commands::Usage("wait"), 0);
    Status waited = host::background::Wait();
    host::console::Out("ok");
    return waited;
  }
  return RunReported(words, options.reply);
}

// Takes a trailing " &" off LINE: true when it was there.
bool TakeBackgroundMark(std::string* line) {
  size_t end = line->find_last_not_of(" \t");
  if (end == std::string::npos || end == 0 || (*line)[end] != '&' ||
      ((*line)[end - 1] != ' ' && (*line)[end - 1] != '\t'))
    return false;
  line->erase(end);
  return true;
}

int Session(Reply session_reply) {
  LineReader reader;
  CloseHandle(CreateThread(nullptr, 0, ReadLines, &reader, 0, nullptr));
  int worst = 0;
  int number = 0;
  std::string line;
  while (NextLine(&reader, &line)) {
    ++number;
    bool background = TakeBackgroundMark(&line);
    Words words = Split(line);
    if (!background && (words.empty() || words[0][0] == '#')) continue;
    worst = Worst(worst, SessionCommand(words, session_reply, number, background));
  }
  // Jobs that are still printing are waited for, not cut off.
  std::string running = host::background::Running();
  if (!running.empty()) host::console::Out("end of input: waiting for %s", running.c_str());
  return Worst(worst, host::background::Wait());
}

}  // namespace

int main(int argc, char** argv) {
  host::console::Init();
  Words words(argv + 1, argv + argc);
  Options options;
  TakeOptions(&words, &options);
  if (options.help || (words.size() == 1 && words[0] == "help")) {
    PrintHelp(stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vexaspool %s\n", VEXA_VERSION);
    return 0;
  }
  if (!options.refused.empty() || words.empty()) {
    if (!options.refused.empty()) host::console::Err("vexaspool: %s", options.refused.c_str());
    host::console::Err("usage: vexaspool [--answer REPLY] COMMAND [ARGS]   (see --help)");
    return static_cast<int>(Status::kUsage);
  }
  if (!host::spooler::BindStandIns()) return static_cast<int>(Status::kFailed);
  host::answer::Set(options.reply);
  if (words.size() == 1 && words[0] == "-") return Session(options.reply);
  Outcome outcome = host::commands::Run(words);
  switch (outcome.status) {
    case Status::kOk:
    case Status::kCancelled:
      break;
    case Status::kFailed:
      host::console::Err("vexaspool: %s", host::commands::Describe(outcome).c_str());
      break;
    case Status::kUsage:
      if (!outcome.what.empty()) host::console::Err("vexaspool: %s", outcome.what.c_str());
      host::console::Err("usage: vexaspool %s   (see --help)",
                         outcome.usage ? outcome.usage : "[--answer REPLY] COMMAND [ARGS]");
      break;
  }
  return static_cast<int>(outcome.status);
}

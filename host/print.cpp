#include "host/print.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>

#include "host/answer.h"
#include "host/console.h"
#include "host/spooler.h"
#include "host/threads.h"

namespace host::print {

const char kUsage[] =
    "print NAME FILE [--job ID] [--user U] [--document D] [--datatype T] [--spooled]"
    " [--write-size BYTES] [--output FILE] [--printer P] [--pause-after-ms MS]"
    " [--resume-after-ms MS] [--delete-after-ms MS] [--cancel-on-prompt]"
    " [--credentials USER:PASS]";

namespace {

using commands::Outcome;
using commands::Status;
using Words = std::vector<std::string>;

constexpr DWORD kNever = 0xFFFFFFFF;
constexpr DWORD kPausePollMs = 20;
constexpr DWORD kMaxWriteSize = 64 * 1024 * 1024;
constexpr char kPrinter[] = "Vexa Test Printer";
// The monitor names a job's spool file after its id modulo 1000.
constexpr DWORD kSpoolNames = 1000;

struct Options {
  std::string port;
  std::string file;
  std::string typed_file;  // as given, for messages
  std::string printer;
  std::string user = "vexa";
  std::string document;  // the file's own name unless given
  std::string datatype = "RAW";
  std::string output;
  std::string credentials_user;
  std::string credentials_password;
  DWORD job = 7;
  DWORD write_size = 4096;
  DWORD pause_ms = kNever;
  DWORD resume_ms = kNever;
  DWORD delete_ms = kNever;
  bool spooled = false;
  bool has_output = false;
  bool has_credentials = false;
  bool cancel_on_prompt = false;
  bool has_job = false;
  bool has_printer = false;
};

// False with *refused saying why: an unknown option, or a bad or missing value.
bool TakeOption(const Words& args, size_t* i, Options* options, std::string* refused) {
  const std::string& option = args[*i];
  if (option == "--spooled") return options->spooled = true;
  if (option == "--cancel-on-prompt") return options->cancel_on_prompt = true;
  struct Number {
    const char* name;
    DWORD* value;
  } numbers[] = {{"--job", &options->job},
                 {"--write-size", &options->write_size},
                 {"--pause-after-ms", &options->pause_ms},
                 {"--resume-after-ms", &options->resume_ms},
                 {"--delete-after-ms", &options->delete_ms}};
  struct Text {
    const char* name;
    std::string* value;
  } texts[] = {{"--user", &options->user},         {"--document", &options->document},
               {"--datatype", &options->datatype}, {"--printer", &options->printer},
               {"--output", &options->output},     {"--credentials", &options->credentials_user}};
  DWORD* number = nullptr;
  std::string* text = nullptr;
  for (const Number& n : numbers)
    if (option == n.name) number = n.value;
  for (const Text& t : texts)
    if (option == t.name) text = t.value;
  if (!number && !text) {
    *refused = "unknown option " + option;
    return false;
  }
  if (*i + 1 >= args.size()) {
    *refused = option + " needs a value";
    return false;
  }
  const std::string& value = args[++*i];
  *refused = "bad value for " + option + ": " + value;
  if (option == "--job") options->has_job = true;
  if (option == "--printer") options->has_printer = true;
  if (number) return commands::ParseNumber(value, number);
  *text = value;
  if (option == "--output") options->has_output = true;
  if (option == "--credentials") {
    size_t colon = value.find(':');
    if (colon == std::string::npos) return false;
    options->credentials_user = value.substr(0, colon);
    options->credentials_password = value.substr(colon + 1);
    options->has_credentials = true;
  }
  return true;
}

// A Linux path names the same file through Wine's drive Z:; a relative
// path stays relative to the caller's folder, where ./vexa runs us.
std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
}

// False with *refused saying what was wrong. A background LINE prints to a
// printer of its own unless told otherwise, as each port has its printers.
bool Parse(const Words& args, int line, Options* options, std::string* refused) {
  Words positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) != 0)
      positional.push_back(args[i]);
    else if (!TakeOption(args, &i, options, refused))
      return false;
  }
  if (!options->has_printer) options->printer = line ? kPrinter + (" " + std::to_string(line)) : kPrinter;
  *refused = positional.size() != 2 ? "print takes a port NAME and a FILE" : "bad option value";
  if (positional.size() != 2 || options->job == 0 || options->write_size == 0 ||
      options->write_size > kMaxWriteSize || options->printer.empty())
    return false;
  options->port = positional[0];
  options->typed_file = positional[1];
  options->file = WindowsPath(positional[1]);
  if (options->has_output) options->output = WindowsPath(options->output);
  if (options->document.empty()) {
    size_t slash = options->file.find_last_of("\\/:");
    options->document = slash == std::string::npos ? options->file : options->file.substr(slash + 1);
  }
  return true;
}

// The table takes LPSTR: the monitor gets writable copies, as from the spooler.
struct Text {
  explicit Text(const std::string& text) : buffer(text.begin(), text.end()) {
    buffer.push_back('\0');
  }
  LPSTR get() { return buffer.data(); }
  std::vector<char> buffer;
};

// --- job control while printing ------------------------------------------------
// What a person at the printer's queue window does, at set times after the
// job started printing. The spooler, not the monitor, owns these bits.

struct Control {
  DWORD job;
  DWORD start;
  DWORD pause_ms;
  DWORD resume_ms;
  DWORD delete_ms;
  HANDLE stop;
};

struct Step {
  DWORD at;
  DWORD set;
  DWORD clear;
};

// The steps in time order; equal times keep pause, resume, delete order.
void Schedule(const Control& control, Step (&steps)[3]) {
  steps[0] = Step{control.pause_ms, JOB_STATUS_PAUSED, 0};
  steps[1] = Step{control.resume_ms, 0, JOB_STATUS_PAUSED};
  steps[2] = Step{control.delete_ms, JOB_STATUS_DELETING, 0};
  std::stable_sort(std::begin(steps), std::end(steps),
                   [](const Step& a, const Step& b) { return a.at < b.at; });
}

DWORD WINAPI RunControl(LPVOID param) {
  auto* control = static_cast<Control*>(param);
  Step steps[3];
  Schedule(*control, steps);
  for (const Step& step : steps) {
    if (step.at == 0) continue;  // done before the first write
    if (step.at == kNever) break;
    DWORD elapsed = GetTickCount() - control->start;
    if (elapsed < step.at && WaitForSingleObject(control->stop, step.at - elapsed) == WAIT_OBJECT_0)
      break;
    spooler::Spool().ChangeJobStatus(control->job, step.set, step.clear);
  }
  return 0;
}

// On the watcher's thread, for a prompt of this job's line.
void CancelOnPrompt(int, ULONG_PTR job) {
  spooler::Spool().ChangeJobStatus(static_cast<DWORD>(job), JOB_STATUS_DELETING, 0);
}

// Like the spooler, hands out no data while the job is paused and none once
// it is being deleted. False: stop printing.
bool MayWrite(DWORD job) {
  for (;;) {
    VexaSpoolJobState state{};
    if (!spooler::Spool().GetJob(job, &state) || (state.status & JOB_STATUS_DELETING)) return false;
    if (!(state.status & JOB_STATUS_PAUSED)) return true;
    Sleep(kPausePollMs);
  }
}

// --- the job ---------------------------------------------------------------------

struct Run {
  explicit Run(const Options& given) : options(given) {}
  const Options& options;
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD file_size = 0;
  bool job_added = false;
  HANDLE port = nullptr;
  Control control{};
  HANDLE control_thread = nullptr;
  std::uint64_t accepted = 0;  // bytes WritePort took; jobs may pass 4 GiB
  std::string failure;         // which step failed, in words
  bool terminal = false;       // a person watching: the rate at the end
  bool progress = false;       // and a line a second, in the foreground only
  DWORD started = 0;
  DWORD last_progress = 0;
};

DWORD AddPrinterAndJob(Run* run) {
  const Options& o = run->options;
  VexaSpoolNewPrinter printer{o.printer.c_str(), o.port.c_str(), PRINTER_ATTRIBUTE_LOCAL, 15000,
                              45000};
  if (!spooler::Spool().AddPrinter(&printer)) return GetLastError();
  // A job printed while it is still being spooled grows as it goes; a fully
  // spooled one is complete, with its size known, before the port sees it.
  VexaSpoolNewJob job{o.printer.c_str(),
                      o.user.c_str(),
                      o.document.c_str(),
                      o.datatype.c_str(),
                      o.spooled ? DWORD{JOB_STATUS_PRINTING} : DWORD{JOB_STATUS_SPOOLING},
                      o.spooled ? run->file_size : 0,
                      0,
                      o.job};
  if (!spooler::Spool().AddJob(&job)) return GetLastError();
  run->job_added = true;
  return ERROR_SUCCESS;
}

void StartControl(Run* run) {
  const Options& o = run->options;
  if (o.pause_ms == kNever && o.resume_ms == kNever && o.delete_ms == kNever) return;
  run->control = Control{o.job, GetTickCount(), o.pause_ms, o.resume_ms, o.delete_ms,
                         CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  // What is due at once happens before the first piece is handed out, not
  // whenever the thread gets going.
  Step steps[3];
  Schedule(run->control, steps);
  for (const Step& step : steps)
    if (step.at == 0) spooler::Spool().ChangeJobStatus(o.job, step.set, step.clear);
  run->control_thread = threads::Start(RunControl, &run->control);
}

void StopControl(Run* run) {
  if (!run->control_thread) return;
  SetEvent(run->control.stop);
  WaitForSingleObject(run->control_thread, INFINITE);
  CloseHandle(run->control_thread);
  CloseHandle(run->control.stop);
  run->control_thread = nullptr;
}

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// A rate over whole milliseconds, and none for a job too short to time.
double Rate(std::uint64_t bytes, DWORD ms) { return ms ? Megabytes(bytes) * 1000.0 / ms : 0.0; }

// At most once a second, and only for a person at a terminal.
void ShowProgress(Run* run) {
  if (!run->progress) return;
  DWORD now = GetTickCount();
  if (now - run->last_progress < 1000) return;
  run->last_progress = now;
  console::Out("sent %.0f of %.0f MB, %.0f MB/s", Megabytes(run->accepted),
               Megabytes(run->file_size), Rate(run->accepted, now - run->started));
}

// Feeds the file to WritePort piece by piece until it ends, the job may no
// longer print, or the port refuses.
void WriteJob(Run* run) {
  const Options& o = run->options;
  const monitor::MonitorTable& table = spooler::Table();
  std::vector<BYTE> piece(o.write_size);
  DWORD spooled = 0;
  for (;;) {
    if (!MayWrite(o.job)) break;
    DWORD got = 0;
    if (!ReadFile(run->file, piece.data(), o.write_size, &got, nullptr) || got == 0) break;
    if (!o.spooled) {
      spooled += got;
      spooler::Spool().SetJobProgress(o.job, spooled, 0, 0);
    }
    bool refused = false;
    for (DWORD offset = 0; offset < got && !refused;) {
      DWORD written = 0;
      // A port that takes nothing yet reports success would be fed forever.
      refused = !table.WritePort(run->port, piece.data() + offset, got - offset, &written) ||
                written == 0 || written > got - offset;
      if (written <= got - offset) {
        run->accepted += written;
        offset += written;
      }
    }
    ShowProgress(run);
    if (refused) break;
  }
  if (!o.spooled) spooler::Spool().ChangeJobStatus(o.job, 0, JOB_STATUS_SPOOLING);
}

// OpenPort to ClosePort. True when EndDocPort succeeded; otherwise *ERROR is
// the failed call's last error, which may well be 0.
bool PrintOnPort(Run* run, DWORD* error, DWORD* elapsed_ms) {
  const Options& o = run->options;
  const monitor::MonitorTable& table = spooler::Table();
  *error = ERROR_NOT_SUPPORTED;
  if (!table.OpenPort || !table.StartDocPort || !table.WritePort || !table.EndDocPort ||
      !table.ClosePort)
    return false;
  Text port_name(o.port), printer_name(o.printer), document(o.document), output(o.output),
      datatype(o.datatype);
  SetLastError(ERROR_SUCCESS);
  if (!table.OpenPort(port_name.get(), &run->port)) {
    *error = GetLastError();
    run->failure = "no port named " + o.port + " (see 'ports')";
    return false;
  }
  DOC_INFO_1A info{document.get(), o.has_output ? output.get() : nullptr, datatype.get()};
  DWORD start = GetTickCount();
  SetLastError(ERROR_SUCCESS);
  if (!table.StartDocPort(run->port, printer_name.get(), o.job, 1,
                          reinterpret_cast<LPBYTE>(&info))) {
    *error = GetLastError();
    run->failure = "the port " + o.port + " refused the job (StartDocPort)";
    table.ClosePort(run->port);
    return false;
  }
  run->started = run->last_progress = start;
  StartControl(run);
  WriteJob(run);
  SetLastError(ERROR_SUCCESS);
  BOOL ended = table.EndDocPort(run->port);
  *error = ended ? ERROR_SUCCESS : GetLastError();
  if (!ended) run->failure = "the job did not print (EndDocPort)";
  *elapsed_ms = GetTickCount() - start;
  StopControl(run);
  table.ClosePort(run->port);
  return ended != FALSE;
}

// --- jobs printing at once ----------------------------------------------------------
// Two jobs whose ids are equal modulo 1000 would share one spool file, and a
// printer prints one job at a time: a print that would share either with
// one still printing is refused before anything is sent.

struct Claim {
  DWORD job;
  std::string printer;
  int line;  // session line that prints it, 0 the foreground
};

struct Claims {
  Claims() { InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  std::vector<Claim> held;
};
Claims g_claims;

std::string LineName(int line) {
  return line ? "line " + std::to_string(line) : std::string("the foreground");
}

// Ok when LINE holds the job already (reserved when it was started).
Outcome TakeClaim(const Options& o, int line) {
  EnterCriticalSection(&g_claims.lock);
  std::string clash;
  bool held = false;
  for (const Claim& claim : g_claims.held) {
    if (claim.line == line) held = true;
    else if (claim.job % kSpoolNames == o.job % kSpoolNames)
      clash = "job " + std::to_string(o.job) + " would share its spool file with job " +
              std::to_string(claim.job) + " of " + LineName(claim.line) +
              " (job ids equal modulo 1000 do)";
    else if (lstrcmpiA(claim.printer.c_str(), o.printer.c_str()) == 0)
      clash = "printer " + o.printer + " is printing job " + std::to_string(claim.job) + " of " +
              LineName(claim.line);
    if (!clash.empty()) break;
  }
  if (clash.empty() && !held) g_claims.held.push_back(Claim{o.job, o.printer, line});
  LeaveCriticalSection(&g_claims.lock);
  return clash.empty() ? commands::Ok() : commands::Failed(ERROR_BUSY, clash);
}

Outcome PrintJob(const Options& options, int line) {
  Run run(options);
  DWORD error = ERROR_SUCCESS;
  DWORD elapsed = 0;
  bool printed = false;
  run.terminal = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
  run.progress = run.terminal && line == 0;
  run.file = CreateFileA(options.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (run.file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    run.failure = "cannot open " + options.typed_file;
  } else if (GetFileType(run.file) != FILE_TYPE_DISK ||
             (GetFileAttributesA(options.file.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
    error = ERROR_DIRECTORY;
    run.failure = "cannot print " + options.typed_file + ": not a file";
  }
  if (!error) run.file_size = GetFileSize(run.file, nullptr);
  if (!error && (error = spooler::EnsureMonitor())) run.failure = "cannot load the monitor";
  if (!error && (error = AddPrinterAndJob(&run))) run.failure = "the stand-in spooler refused the job";
  if (!error) {
    answer::Watch();
    if (options.has_credentials)
      answer::SetCredentials(options.credentials_user.c_str(),
                             options.credentials_password.c_str());
    if (options.cancel_on_prompt) answer::OnPrompt(CancelOnPrompt, options.job);
    printed = PrintOnPort(&run, &error, &elapsed);
    answer::OnPrompt(nullptr);
    answer::SetCredentials(nullptr, nullptr);
  }
  // A job the monitor cancelled in the spooler did not print, whatever
  // EndDocPort said.
  VexaSpoolJobState state{};
  bool cancelled = printed && spooler::Spool().GetJob(options.job, &state) &&
                   (state.status & JOB_STATUS_DELETING) != 0;
  // The spooler forgets a job once it has gone to the port, printed or not.
  if (run.job_added) spooler::Spool().RemoveJob(options.job);
  if (run.file != INVALID_HANDLE_VALUE) CloseHandle(run.file);
  if (!printed) return commands::Failed(error, run.failure.empty() ? "print" : run.failure);
  if (cancelled) {
    console::Out("cancelled: the job was deleted in the spooler after %llu bytes",
                 static_cast<unsigned long long>(run.accepted));
    return Outcome{Status::kCancelled, ERROR_PRINT_CANCELLED, nullptr, {}};
  }
  if (run.terminal)
    console::Out("printed %llu in %lu ms (%.1f MB/s)", static_cast<unsigned long long>(run.accepted),
                 elapsed, Rate(run.accepted, elapsed));
  else
    console::Out("printed %llu in %lu ms", static_cast<unsigned long long>(run.accepted), elapsed);
  return commands::Ok();
}

}  // namespace

Outcome Print(const Words& args) {
  int line = threads::CurrentLine();
  Options options;
  std::string refused;
  if (!Parse(args, line, &options, &refused)) return commands::Usage(kUsage, refused);
  Outcome claimed = TakeClaim(options, line);
  if (claimed.status != Status::kOk) return claimed;
  Outcome outcome = PrintJob(options, line);
  Release(line);
  return outcome;
}

Outcome Reserve(const Words& args, int line) {
  Options options;
  std::string refused;
  if (!Parse(args, line, &options, &refused)) return commands::Usage(kUsage, refused);
  if (!options.has_job)
    return commands::Usage(kUsage, "a print in the background needs a --job of its own");
  return TakeClaim(options, line);
}

void Release(int line) {
  EnterCriticalSection(&g_claims.lock);
  auto& held = g_claims.held;
  for (size_t i = 0; i < held.size();) {
    if (held[i].line == line) held.erase(held.begin() + static_cast<std::ptrdiff_t>(i));
    else ++i;
  }
  LeaveCriticalSection(&g_claims.lock);
}

}  // namespace host::print

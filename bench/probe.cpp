// The calls the monitor makes for each piece of a job, made by a program
// with no monitor and no spooler in it: what they cost under Wine bounds
// what any change to the monitor's own work can gain.
//   probe send HOST PORT FILE PIECE select|direct
//     select: wait for writability before every send, as the monitor does;
//     direct: send at once, wait only after WSAEWOULDBLOCK.
//   probe copy FILE OUT PIECE     ReadFile and WriteFile in PIECE bytes
//   probe read FILE PIECE         ReadFile alone
//   probe job raw|lpd|ipp HOST PORT FILE SPOOL [--write N] [--piece N]
//             [--stage N] [--chunk N] [--queue Q] [--path P]
//     a whole job as the monitor makes it, with the spooler's reads of the
//     job in --write pieces (4096): Raw spools each piece and sends it at
//     once; LPR and counted IPP spool the job and send it from the spool
//     file in --piece reads (SendBufSize, 16384), IPP in sends of at most
//     16384; chunked IPP (--chunk MAXCHUNK) frames each piece and sends the
//     chunks a piece at a time. The spool file takes --stage bytes a write
//     (65536; 0: each piece as it comes). The protocols' own exchanges (LPD
//     acknowledgements, IPP's printer status query, its 50 ms pauses and
//     the answer to Print-Job) are made too, so the time is comparable with
//     the monitor's StartDocPort to EndDocPort.
// Prints "BYTES bytes in MS ms"; exit status 0 only when every byte went.
#include <winsock.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

bool WaitWritable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval limit{15, 0};
  return select(0, nullptr, &set, nullptr, &limit) == 1;
}

// Sends all of DATA; false on any error other than a full socket buffer.
bool SendAll(SOCKET s, const char* data, int size, bool select_first) {
  bool wait = select_first;
  while (size > 0) {
    if (wait && !WaitWritable(s)) return false;
    int n = send(s, data, size, 0);
    if (n == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
      wait = true;
      continue;
    }
    data += n;
    size -= n;
    wait = select_first;
  }
  return true;
}

HANDLE OpenInput(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Usage() {
  std::fputs(
      "usage: probe send HOST PORT FILE PIECE select|direct\n"
      "       probe copy FILE OUT PIECE\n"
      "       probe read FILE PIECE\n"
      "       probe job raw|lpd|ipp HOST PORT FILE SPOOL [--write N] [--piece N] [--stage N]\n"
      "                 [--chunk N] [--queue Q] [--path P]\n",
      stderr);
  return 2;
}

int Report(bool ok, unsigned long long bytes, double start) {
  std::printf("%llu bytes in %.1f ms\n", bytes, Now() - start);
  return ok ? 0 : 1;
}

int Send(char** argv) {
  int piece = std::atoi(argv[5]);
  bool select_first = std::strcmp(argv[6], "select") == 0;
  if (piece <= 0 || (!select_first && std::strcmp(argv[6], "direct") != 0)) return Usage();
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) return 1;
  HANDLE in = OpenInput(argv[4]);
  if (in == INVALID_HANDLE_VALUE) return 1;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(std::atoi(argv[3])));
  to.sin_addr.s_addr = inet_addr(argv[2]);
  u_long on = 1;
  if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0 ||
      ioctlsocket(s, FIONBIO, &on) != 0)
    return 1;
  std::vector<char> buffer(piece);
  unsigned long long total = 0;
  bool ok = true;
  double start = Now();
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), piece, &got, nullptr)) ok = false;
    if (!ok || got == 0) break;
    if (!SendAll(s, buffer.data(), static_cast<int>(got), select_first)) {
      ok = false;
      break;
    }
    total += got;
  }
  // Ended as the monitor ends a job, so both pay the same for the close.
  shutdown(s, 1);
  u_long off = 0;
  ioctlsocket(s, FIONBIO, &off);
  char scratch[1024];
  while (recv(s, scratch, sizeof(scratch), 0) > 0) {
  }
  closesocket(s);
  CloseHandle(in);
  return Report(ok, total, start);
}

int Copy(char** argv, bool write) {
  int piece = std::atoi(argv[write ? 4 : 3]);
  if (piece <= 0) return Usage();
  HANDLE in = OpenInput(argv[2]);
  HANDLE out = INVALID_HANDLE_VALUE;
  if (write)
    out = CreateFileA(argv[3], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (in == INVALID_HANDLE_VALUE || (write && out == INVALID_HANDLE_VALUE)) return 1;
  std::vector<char> buffer(piece);
  unsigned long long total = 0;
  bool ok = true;
  double start = Now();
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(in, buffer.data(), piece, &got, nullptr)) ok = false;
    if (!ok || got == 0) break;
    if (write && (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got)) {
      ok = false;
      break;
    }
    total += got;
  }
  int status = Report(ok, total, start);
  if (write) CloseHandle(out);
  CloseHandle(in);
  return status;
}

// --- a whole job --------------------------------------------------------------

struct Job {
  const char* kind = nullptr;
  const char* host = nullptr;
  u_short port = 0;
  HANDLE in = INVALID_HANDLE_VALUE;
  const char* spool_path = nullptr;
  DWORD write = 4096, piece = 16384, stage = 65536, chunk = 0;
  std::string queue = "lp", path = "/printers/q";
  HANDLE spool = INVALID_HANDLE_VALUE;
  std::vector<char> staged;
  SOCKET s = INVALID_SOCKET;
  std::vector<char> gathered;
  DWORD gathered_data = 0;
  unsigned long long size = 0;
};

// A connection as the monitor makes it: blocking connect, then non-blocking.
SOCKET Connect(const Job& job, bool reserved) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(job.port);
  to.sin_addr.s_addr = inet_addr(job.host);
  for (u_short local = 721; local <= 731; ++local) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_port = htons(reserved ? local : 0);
    u_long on = 1;
    if (bind(s, reinterpret_cast<sockaddr*>(&from), sizeof(from)) == 0 &&
        connect(s, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0 &&
        ioctlsocket(s, FIONBIO, &on) == 0)
      return s;
    closesocket(s);
    if (!reserved) break;
  }
  return INVALID_SOCKET;
}

bool WaitReadable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval limit{15, 0};
  return select(0, &set, nullptr, nullptr, &limit) == 1;
}

// Up to `size` bytes, or 0 when the peer closed or nothing came in time.
int Receive(SOCKET s, char* buffer, int size) {
  for (;;) {
    int n = recv(s, buffer, size, 0);
    if (n >= 0) return n;
    if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitReadable(s)) return 0;
  }
}

// The end of a connection as the monitor ends it: shutdown, then whatever
// the peer still says (an IPP answer included) until it closes. Returns
// the count of those bytes.
int Finish(SOCKET s) {
  char scratch[1024];
  int answer = 0;
  shutdown(s, 1);
  while (int n = Receive(s, scratch, sizeof(scratch))) answer += n;
  closesocket(s);
  return answer;
}

bool Acknowledged(SOCKET s) {
  char answer = 1;
  return Receive(s, &answer, 1) == 1 && answer == 0;
}

bool Say(SOCKET s, const std::string& text) {
  return SendAll(s, text.data(), static_cast<int>(text.size()), false);
}

bool WriteStaged(Job* job) {
  DWORD put = 0, size = static_cast<DWORD>(job->staged.size());
  bool ok = size == 0 || (WriteFile(job->spool, job->staged.data(), size, &put, nullptr) &&
                          put == size);
  job->staged.clear();
  return ok;
}

// The monitor's copy for a resend: pieces gather up to a stage, larger ones
// are written as they are.
bool Spool(Job* job, const char* data, DWORD size) {
  if (job->staged.size() + size > job->stage && !WriteStaged(job)) return false;
  if (size >= job->stage) {
    DWORD put = 0;
    return WriteFile(job->spool, data, size, &put, nullptr) && put == size;
  }
  job->staged.insert(job->staged.end(), data, data + size);
  return true;
}

bool SendPieces(const Job& job, const char* data, DWORD size, DWORD piece) {
  for (DWORD at = 0; at < size; at += piece)
    if (!SendAll(job.s, data + at, static_cast<int>(size - at < piece ? size - at : piece), false))
      return false;
  return true;
}

// --- IPP: the monitor's two requests, with the fields cupsd reads ---------------

void Attribute(std::string* out, char tag, const std::string& name, const std::string& value) {
  out->push_back(tag);
  out->push_back(static_cast<char>(name.size() >> 8));
  out->push_back(static_cast<char>(name.size()));
  *out += name;
  out->push_back(static_cast<char>(value.size() >> 8));
  out->push_back(static_cast<char>(value.size()));
  *out += value;
}

std::string IppRequest(const Job& job, char operation) {
  std::string out{'\1', '\0', '\0', operation, '\0', '\0', '\0', '\1', '\1'};
  Attribute(&out, 0x47, "attributes-charset", "utf-8");
  Attribute(&out, 0x48, "attributes-natural-language", "en-us");
  Attribute(&out, 0x45, "printer-uri",
            "ipp://" + std::string(job.host) + ":" + std::to_string(job.port) + job.path);
  Attribute(&out, 0x42, "requesting-user-name", "bench");
  if (operation == 0x0B) {
    Attribute(&out, 0x44, "requested-attributes", "printer-state");
    Attribute(&out, 0x44, "", "printer-state-reasons");
    Attribute(&out, 0x44, "", "printer-is-accepting-jobs");
  } else {
    Attribute(&out, 0x42, "job-name", "bench");
    Attribute(&out, 0x42, "document-name", "bench");
  }
  out.push_back('\3');
  return out;
}

std::string HttpHeader(const Job& job, unsigned long long length, bool chunked) {
  std::string out = "POST " + job.path + " HTTP/1.1\r\nHost: " + job.host + ":" +
                    std::to_string(job.port) +
                    "\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"
                    "Content-Type: application/ipp\r\nAccept: application/ipp\r\n"
                    "User-Agent: QD-IPPC\r\n";
  if (chunked) return out + "Transfer-Encoding: chunked\r\n\r\n";
  return out + "Connection: Keep-Alive\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

// Get-Printer-Attributes on a connection of its own, as before every job.
bool AskPrinter(const Job& job) {
  SOCKET s = Connect(job, false);
  std::string request = IppRequest(job, 0x0B);
  bool ok = s != INVALID_SOCKET && Say(s, HttpHeader(job, request.size(), false) + request);
  ok = s != INVALID_SOCKET && Finish(s) > 0 && ok;
  Sleep(50);
  return ok;
}

bool SendGathered(Job* job) {
  bool ok = job->gathered.empty() ||
            SendAll(job->s, job->gathered.data(), static_cast<int>(job->gathered.size()), false);
  job->gathered.clear();
  job->gathered_data = 0;
  return ok;
}

bool Gather(Job* job, const char* data, DWORD n) {
  char line[16];
  std::snprintf(line, sizeof(line), "%lx\r\n", static_cast<unsigned long>(n));
  job->gathered.insert(job->gathered.end(), line, line + std::strlen(line));
  job->gathered.insert(job->gathered.end(), data, data + n);
  job->gathered.push_back('\r');
  job->gathered.push_back('\n');
  return true;
}

bool StartChunked(Job* job) {
  if (!AskPrinter(*job) || (job->s = Connect(*job, false)) == INVALID_SOCKET ||
      !Say(job->s, HttpHeader(*job, 0, true)))
    return false;
  Sleep(50);
  std::string request = IppRequest(*job, 2);
  bool ok = Gather(job, request.data(), static_cast<DWORD>(request.size())) && SendGathered(job);
  Sleep(50);
  return ok;
}

bool SendChunks(Job* job, const char* data, DWORD size) {
  while (size > 0) {
    DWORD n = size < job->chunk ? size : job->chunk;
    if (job->gathered_data + n > job->piece && !SendGathered(job)) return false;
    Gather(job, data, n);
    job->gathered_data += n;
    if (job->gathered_data >= job->piece && !SendGathered(job)) return false;
    data += n;
    size -= n;
  }
  return true;
}

// The spool file from its start, in SendBufSize reads, after the protocol's
// header: LPD's commands and control file, or Print-Job with its length.
bool SendFromSpool(Job* job) {
  bool lpd = std::strcmp(job->kind, "lpd") == 0;
  if (!lpd && !AskPrinter(*job)) return false;
  if ((job->s = Connect(*job, lpd)) == INVALID_SOCKET) return false;
  if (lpd) {
    std::string control = "Hbench\nPbench\nJbench\nfdfA001bench\nUdfA001bench\nNbench\n";
    if (!Say(job->s, "\2" + job->queue + "\n") || !Acknowledged(job->s) ||
        !Say(job->s, "\2" + std::to_string(control.size()) + " cfA001bench\n") ||
        !Acknowledged(job->s) || !Say(job->s, control + std::string(1, '\0')) ||
        !Acknowledged(job->s) ||
        !Say(job->s, "\3" + std::to_string(job->size) + " dfA001bench\n") || !Acknowledged(job->s))
      return false;
  } else {
    std::string request = IppRequest(*job, 2);
    if (!Say(job->s, HttpHeader(*job, job->size + request.size(), false) + request)) return false;
    Sleep(50);
  }
  // Plain IPP bodies go in sends of 16384 whatever the spool reads.
  DWORD send_piece = lpd ? job->piece : 16384;
  std::vector<char> buffer(job->piece);
  LONG high = 0;
  if (SetFilePointer(job->spool, 0, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(job->spool, buffer.data(), job->piece, &got, nullptr)) return false;
    if (got == 0) break;
    if (!SendPieces(*job, buffer.data(), got, send_piece)) return false;
  }
  return !lpd || (Say(job->s, std::string(1, '\0')) && Acknowledged(job->s));
}

bool RunJob(Job* job) {
  bool raw = std::strcmp(job->kind, "raw") == 0;
  bool chunked = job->chunk != 0;
  if (!chunked) {
    job->spool = CreateFileA(job->spool_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                             nullptr);
    if (job->spool == INVALID_HANDLE_VALUE) return false;
  }
  std::vector<char> buffer(job->write);
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(job->in, buffer.data(), job->write, &got, nullptr)) ok = false;
    if (!ok || got == 0) break;
    if (!chunked && !Spool(job, buffer.data(), got)) return false;
    if (job->s == INVALID_SOCKET && raw && (job->s = Connect(*job, false)) == INVALID_SOCKET)
      return false;
    if (job->s == INVALID_SOCKET && chunked && !StartChunked(job)) return false;
    if (raw && !SendPieces(*job, buffer.data(), got, job->piece)) return false;
    if (chunked && !SendChunks(job, buffer.data(), got)) return false;
    job->size += got;
  }
  if (!raw && !chunked && !(WriteStaged(job) && SendFromSpool(job))) return false;
  if (chunked && !(SendGathered(job) && Say(job->s, "0\r\n\r\n"))) return false;
  // Raw and LPD printers say nothing more; an IPP printer answers the job.
  ok = ok && job->s != INVALID_SOCKET && (Finish(job->s) > 0 || std::strcmp(job->kind, "ipp") != 0);
  if (job->spool != INVALID_HANDLE_VALUE) CloseHandle(job->spool);
  return ok;
}

int RunJobCommand(int argc, char** argv) {
  Job job;
  job.kind = argv[2];
  job.host = argv[3];
  job.port = static_cast<u_short>(std::atoi(argv[4]));
  job.spool_path = argv[6];
  for (int i = 7; i + 1 < argc; i += 2) {
    DWORD n = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
    if (std::strcmp(argv[i], "--write") == 0 && n > 0) job.write = n;
    else if (std::strcmp(argv[i], "--piece") == 0 && n > 0) job.piece = n;
    else if (std::strcmp(argv[i], "--stage") == 0) job.stage = n;
    else if (std::strcmp(argv[i], "--chunk") == 0) job.chunk = n;
    else if (std::strcmp(argv[i], "--queue") == 0) job.queue = argv[i + 1];
    else if (std::strcmp(argv[i], "--path") == 0) job.path = argv[i + 1];
    else return Usage();
  }
  bool known = std::strcmp(job.kind, "raw") == 0 || std::strcmp(job.kind, "lpd") == 0 ||
               std::strcmp(job.kind, "ipp") == 0;
  if (!known || (argc - 7) % 2 != 0 || (job.chunk != 0 && std::strcmp(job.kind, "ipp") != 0))
    return Usage();
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) return 1;
  job.in = OpenInput(argv[5]);
  if (job.in == INVALID_HANDLE_VALUE) return 1;
  double start = Now();
  bool ok = RunJob(&job);
  CloseHandle(job.in);
  return Report(ok, job.size, start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::strcmp(argv[1], "send") == 0) return Send(argv);
  if (argc == 5 && std::strcmp(argv[1], "copy") == 0) return Copy(argv, true);
  if (argc == 4 && std::strcmp(argv[1], "read") == 0) return Copy(argv, false);
  if (argc >= 7 && std::strcmp(argv[1], "job") == 0) return RunJobCommand(argc, argv);
  return Usage();
}

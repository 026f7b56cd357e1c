// A stand-in spooler job, a fake printer behind the port's send procedure,
// and a fake clock for the long waits, so the job flow runs in milliseconds.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/winspool/standin.h"
#include "monitor/job.h"
#include "monitor/prompts.h"
#include "core/ports.h"
#include "core/state.h"
#include "core/store.h"
#include "tests/wine/monitor_fixture.h"

namespace wine_test {

inline constexpr char kPrinter[] = "Job Test Printer";

// What the printer behind the port has received, and how it misbehaves.
struct FakePrinter {
  std::string received;
  int calls = 0, direct_calls = 0, end_calls = 0;  // direct: while the spooler still writes
  // The next `failures` calls (every call, when negative) fail with `code`
  // after taking `partial` bytes; with `restart` the printer then drops the
  // partial job, so the sender must start again at byte 0.
  int failures = 0;
  std::uint32_t code = 2, partial = 0;
  bool restart = false;
  FakePrinter() = default;
  FakePrinter(int f, std::uint32_t c, std::uint32_t p, bool r)
      : failures(f), code(c), partial(p), restart(r) {}
};
inline FakePrinter g_printer;
inline bool g_writing = false;

inline bool FakeSend(core::PortEntry* port, const std::uint8_t* data, std::uint32_t size,
                     std::uint32_t* written) {
  ++g_printer.calls;
  if (g_writing) ++g_printer.direct_calls;
  if (g_printer.failures != 0) {
    if (g_printer.failures > 0) --g_printer.failures;
    std::uint32_t taken = g_printer.partial < size ? g_printer.partial : size;
    g_printer.received.append(reinterpret_cast<const char*>(data), taken);
    port->bytes_sent += taken;
    *written = taken;
    port->send_error = g_printer.code;
    if (g_printer.restart) {
      g_printer.received.clear();
      port->bytes_sent = 0;
    }
    return false;
  }
  g_printer.received.append(reinterpret_cast<const char*>(data), size);
  port->bytes_sent += size;
  *written = size;
  core::ClearFlags(port, core::kErrorState);
  return true;
}

inline bool FakeEnd(core::PortEntry*) {
  ++g_printer.end_calls;
  return true;
}

// Long waits cost no time; actions can be scheduled at a point of fake time.
struct FakeClock {
  DWORD now = 0;
  std::map<DWORD, DWORD> pauses;  // how many of each length
  std::vector<std::pair<DWORD, std::function<void()>>> actions;
};
inline FakeClock g_clock;

inline void FakePause(DWORD ms) {
  g_clock.now += ms;
  ++g_clock.pauses[ms];
  for (auto& [at, action] : g_clock.actions) {
    if (action && at <= g_clock.now) {
      action();
      action = nullptr;
    }
  }
}

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTestMonitor();
    ASSERT_TRUE(standin::Bind(&spool_)) << "the stand-in winspool.drv is not loaded";
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    install_ = std::string(temp) + "vexa_job_test";
    CreateDirectoryA(install_.c_str(), nullptr);
    RemoveDirectoryA((install_ + "\\Spool").c_str());
    SetString(MonitorKey(), "InstallPath", install_);
    VexaSpoolNewPrinter printer{kPrinter, "JobPort", 0, 0, 0};
    ASSERT_TRUE(spool_.AddPrinter(&printer));
    for (auto& sender : core::g_monitor.hooks.senders) sender = {FakeSend, FakeEnd};
    core::g_monitor.hooks.retry_prompt = monitor::RetryPrompt;
    core::g_monitor.clock.pause = FakePause;
    g_printer = FakePrinter{};
    g_clock = FakeClock{};
    g_writing = false;
  }
  void TearDown() override {
    core::g_monitor.clock.pause = nullptr;
    core::g_monitor.hooks.retry_dialog = nullptr;
    core::g_monitor.hooks.password_dialog = nullptr;
  }

  DWORD AddJob(DWORD status = JOB_STATUS_SPOOLING, DWORD size = 0, const char* type = "RAW") {
    VexaSpoolNewJob job{kPrinter, "alice", "report.txt", type, status, size, 1, 0};
    return spool_.AddJob(&job);
  }

  // A registered port of the kind, with its registry record, in the table.
  core::PortEntry* MakePort(const char* name, std::uint32_t kind) {
    static const core::MailBlock kNone{};  // the largest block: any kind's empty settings
    core::CreatePortRecord(&kNone, name, kind);
    core::EnterLock();
    if (core::FindPort(name) != nullptr) core::RemovePortEntry(name);
    core::PortEntry* port = core::AddPortEntry(nullptr, name, nullptr, kind);
    core::LeaveLock();
    return port;
  }

  bool Start(core::PortEntry* port, DWORD job, const char* printer = kPrinter) {
    DOC_INFO_1A info{const_cast<char*>("report.txt"), nullptr, const_cast<char*>("RAW")};
    return monitor::StartDocPort(port, const_cast<char*>(printer), job, 1,
                                 reinterpret_cast<LPBYTE>(&info));
  }

  // Writes the job in pieces, as the spooler does.
  void Write(core::PortEntry* port, std::string data) {
    g_writing = true;
    for (std::size_t at = 0; at < data.size(); at += 1000) {
      DWORD n = static_cast<DWORD>(std::min<std::size_t>(1000, data.size() - at)), written = 0;
      ASSERT_TRUE(monitor::WritePort(port, reinterpret_cast<LPBYTE>(data.data() + at), n, &written));
      ASSERT_EQ(written, n);
    }
    g_writing = false;
  }

  DWORD JobStatus(DWORD job) {
    VexaSpoolJobState state{};
    spool_.GetJob(job, &state);
    return state.status;
  }

  static std::string Pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
      data[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
    return data;
  }

  standin::Spool spool_{};
  std::string install_;
};

// The entry is idle again: nothing of the job is left behind.
inline void ExpectIdle(const core::PortEntry* port) {
  EXPECT_EQ(port->flags & (core::kJobActive | core::kWriteFailed | core::kErrorState |
                           core::kWatchRequested | core::kWatchRunning),
            0u);
  EXPECT_EQ(port->printer, nullptr);
  EXPECT_EQ(port->spool_file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(port->user_name, nullptr);
  EXPECT_EQ(port->document_name, nullptr);
  EXPECT_EQ(port->watch_event, nullptr);
  EXPECT_EQ(port->prompt_running, 0u);
}

}  // namespace wine_test

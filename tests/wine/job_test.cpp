// Jobs through StartDocPort, WritePort and EndDocPort on a fake printer and
// clock: spool files, direct or at-end sending, the resend loop, pause, delete.
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/job_fixture.h"

using namespace core;
using namespace monitor;
using namespace wine_test;

TEST_F(JobTest, SpoolFileIsNamedByJobModuloAThousandAndGoesAwayAtTheEnd) {
  auto exists = [](const std::string& path) { return GetFileAttributesA(path.c_str()) != ~0u; };
  PortEntry* port = MakePort("RawSpool", kRaw);
  const std::string file = install_ + "\\Spool\\~QVE007.QVE";
  ASSERT_FALSE(exists(install_ + "\\Spool"));
  ASSERT_TRUE(Start(port, 1007));
  EXPECT_TRUE(exists(file)) << "the Spool folder is made when missing";
  EXPECT_TRUE(!Start(port, 1008) && GetLastError() == ERROR_BUSY);
  Write(port, "data");
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_FALSE(exists(file));
  EXPECT_TRUE(EndDocPort(port)) << "EndDocPort on an idle port";
  ExpectIdle(port);
}

TEST_F(JobTest, AFailedStartReleasesWhatTheJobTook) {
  // E-mail ports are refused after the printer was opened.
  PortEntry* mail = MakePort("MailPort", kMail);
  EXPECT_FALSE(Start(mail, AddJob()));
  ExpectIdle(mail);
  // DI_CHANNEL jobs are refused before anything is taken.
  PortEntry* port = MakePort("RawNoSpool", kRaw);
  DOC_INFO_2A channel{const_cast<char*>("d"), nullptr, const_cast<char*>("RAW"), 1, 0};
  EXPECT_FALSE(StartDocPort(port, const_cast<char*>(kPrinter), 3, 2,
                            reinterpret_cast<LPBYTE>(&channel)));
  EXPECT_EQ(GetLastError(), 1012u);
  // A spool folder that cannot be made: its parent does not exist.
  SetString(MonitorKey(), "InstallPath", install_ + "\\no\\such\\folder");
  EXPECT_FALSE(Start(port, AddJob()));
  ExpectIdle(port);
}

TEST_F(JobTest, EachKindSendsDirectOrAtTheEndAsItsSettingsAndTheJobSay) {
  constexpr DWORD kSpooling = JOB_STATUS_SPOOLING, kPrinting = JOB_STATUS_PRINTING;
  // A RAW job the spooler has all of goes direct with NonSpool, with its size.
  const struct {
    const char* name; std::uint32_t kind; const char* value; DWORD status; const char* type;
    bool direct, spool_file; DWORD size;
  } rows[] = {{"LprStream", kLpr, "NonByteCount", kSpooling, "RAW", true, true, 0},
              {"LprNonSpool", kLpr, "NonSpool", kPrinting, "raw", true, true, 10000},
              {"LprStillSpooling", kLpr, "NonSpool", kSpooling | kPrinting, "RAW", false, true, 0},
              {"LprNotRaw", kLpr, "NonSpool", kPrinting, "EMF", false, true, 0},
              {"LprNonSpoolOff", kLpr, nullptr, kPrinting, "RAW", false, true, 0},
              {"RawAlways", kRaw, nullptr, kSpooling, "RAW", true, true, 0},
              {"IppCounted", kIpp, nullptr, kSpooling, "RAW", false, true, 0},
              {"IppChunked", kIpp, "Chunked", kSpooling, "RAW", true, false, 0}};
  std::string data = Pattern(10000);
  for (const auto& row : rows) {
    g_printer = FakePrinter{};
    PortEntry* port = MakePort(row.name, row.kind);
    if (row.value != nullptr) SetDword(PortKey(row.name), row.value, 1);
    ASSERT_TRUE(Start(port, AddJob(row.status, 10000, row.type)));
    EXPECT_EQ(port->spool_file != INVALID_HANDLE_VALUE, row.spool_file) << row.name;
    EXPECT_EQ(port->job_size, row.size) << row.name;
    EXPECT_STREQ(port->user_name, "alice");
    Write(port, data);
    EXPECT_EQ(g_printer.direct_calls > 0, row.direct) << row.name;
    EXPECT_TRUE(EndDocPort(port));
    EXPECT_EQ(g_printer.received, data) << row.name;
    EXPECT_EQ(g_printer.end_calls, 1);
    ExpectIdle(port);
  }
}

TEST_F(JobTest, TheResendLoopSendsEveryByteOnceInOrder) {
  SetDword(MonitorKey(), "SendBufSize", 4096);
  static int prompts;
  g_monitor.hooks.retry_dialog = [](PortEntry*) -> INT_PTR { return ++prompts, 1; };
  // A time-out asks and resumes at the first unsent byte; a lost connection
  // is retried without asking, and this printer drops what it had.
  const struct { std::uint32_t code, partial; bool restart; int prompts; } rows[] = {
      {2, 1000, false, 3}, {202, 7000, true, 0}};
  for (const auto& row : rows) {
    PortEntry* port = MakePort("LprResend", kLpr);
    std::string data = Pattern(50000);
    ASSERT_TRUE(Start(port, AddJob()));
    Write(port, data);
    prompts = 0;
    g_clock = FakeClock{};
    g_printer = FakePrinter(3, row.code, row.partial, row.restart);
    EXPECT_TRUE(EndDocPort(port));
    EXPECT_EQ(g_printer.received, data);
    EXPECT_EQ(prompts, row.prompts);
    EXPECT_EQ(g_clock.pauses[15000], 3u);
    ExpectIdle(port);
  }
}

TEST_F(JobTest, AFailedDirectLprSendMarksTheJobAndFallsBackToTheSpoolFile) {
  PortEntry* port = MakePort("LprFallback", kLpr);
  SetDword(PortKey("LprFallback"), "NonByteCount", 1);
  DWORD job = AddJob();
  std::string data = Pattern(3000);
  ASSERT_TRUE(Start(port, job));
  g_printer = FakePrinter(1, 202, 500, true);
  Write(port, data);
  EXPECT_EQ(port->send_at_end, 1u);
  EXPECT_TRUE(port->flags & kErrorState);
  EXPECT_TRUE(JobStatus(job) & JOB_STATUS_ERROR);
  EXPECT_EQ(g_printer.calls, 1) << "no more direct sends after the failure";
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data);
  EXPECT_FALSE(JobStatus(job) & JOB_STATUS_ERROR);
}

TEST_F(JobTest, AWaitingJobGoesOnWhenResumedAndEndsWhenDeleted) {
  PortEntry* port = MakePort("LprWaits", kLpr);
  // Paused, then resumed or deleted; or with a printer never reached, deleted.
  const struct { DWORD paused; bool fails; DWORD then; } rows[] = {
      {JOB_STATUS_PAUSED, false, 0},
      {JOB_STATUS_PAUSED, false, JOB_STATUS_PAUSED | JOB_STATUS_DELETING},
      {0, true, JOB_STATUS_DELETING}};
  for (const auto& row : rows) {
    g_printer = FakePrinter(row.fails ? -1 : 0, 300, 0, false);
    g_clock = FakeClock{};
    DWORD job = AddJob();
    ASSERT_TRUE(Start(port, job));
    port->Reconnection = 1;  // a lost connection is retried without asking
    Write(port, "data");
    spool_.SetJobStatus(job, row.paused);
    g_clock.actions.push_back({45000, [&] { spool_.SetJobStatus(job, row.then); }});
    EXPECT_EQ(EndDocPort(port), row.then == 0);
    EXPECT_EQ(g_printer.received, row.then == 0 ? "data" : "");
    EXPECT_EQ(g_clock.pauses[15000], 3u) << "the change is seen at the next look";
  }
  ExpectIdle(port);
}

TEST_F(JobTest, ThePrinterIsOpenedAgainUntilItAppears) {
  PortEntry* port = MakePort("RawLatePrinter", kRaw);
  VexaSpoolNewPrinter late{"Late Printer", "RawLatePrinter", 0, 0, 0};
  g_clock.actions.push_back({5000, [&] { spool_.AddPrinter(&late); }});
  ASSERT_TRUE(Start(port, 1, "Late Printer"));
  EXPECT_EQ(g_clock.pauses[500], 10u);
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_FALSE(Start(port, 1, "Never There"));
  EXPECT_EQ(g_clock.now, 5000u + 120u * 500u);
  ExpectIdle(port);
}

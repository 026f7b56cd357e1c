// Jobs through StartDocPort, WritePort and EndDocPort against a fake printer:
// spool files, direct versus at-end sending, the resend loop, and the
// spooler's pause and delete.
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/job_fixture.h"

using namespace monitor;
using namespace wine_test;

namespace {

std::string SpoolName(const std::string& install, int job) {
  char name[32];
  wsprintfA(name, "\\Spool\\~QVE%03d.QVE", job % 1000);
  return install + name;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST_F(JobTest, SpoolFileIsNamedByJobModuloAThousandAndGoesAwayAtTheEnd) {
  PortEntry* port = MakePort("RawSpool", kRaw);
  ASSERT_FALSE(Exists(install_ + "\\Spool"));
  ASSERT_TRUE(Start(port, 1007));
  EXPECT_TRUE(Exists(SpoolName(install_, 7))) << "the Spool folder is made when missing";
  EXPECT_FALSE(Start(port, 1008));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  Write(port, "data");
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_FALSE(Exists(SpoolName(install_, 7)));
  ExpectIdle(port);

  ASSERT_TRUE(Start(port, 7));
  EXPECT_TRUE(Exists(SpoolName(install_, 7)));
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_TRUE(EndDocPort(port)) << "EndDocPort on an idle port";
  ExpectIdle(port);
}

TEST_F(JobTest, AFailedStartReleasesWhatTheJobTook) {
  // A spool folder that cannot be made: its parent does not exist.
  SetString(MonitorKey(), "InstallPath", install_ + "\\no\\such\\folder");
  PortEntry* port = MakePort("RawNoSpool", kRaw);
  EXPECT_FALSE(Start(port, AddJob()));
  ExpectIdle(port);
  // E-mail ports are refused after the printer was opened.
  PortEntry* mail = MakePort("MailPort", kMail);
  EXPECT_FALSE(Start(mail, AddJob()));
  ExpectIdle(mail);
  // DI_CHANNEL jobs are refused before anything is taken.
  DOC_INFO_2A channel{const_cast<char*>("d"), nullptr, const_cast<char*>("RAW"), 1, 0};
  EXPECT_FALSE(StartDocPort(port, const_cast<char*>(kPrinter), 3, 2, reinterpret_cast<LPBYTE>(&channel)));
  EXPECT_EQ(GetLastError(), 1012u);
  ExpectIdle(port);
}

struct ModeCase {
  const char* name;
  std::uint32_t kind;
  const char* value;  // registry value set to 1, or null
  bool direct;
  bool spool_file;
};

class JobModes : public JobTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(JobModes, SendsDirectOrAtTheEndAsTheKindAndSettingsSay) {
  const ModeCase& c = GetParam();
  PortEntry* port = MakePort(c.name, c.kind);
  if (c.value != nullptr) SetDword(PortKey(c.name), c.value, 1);
  std::string data = Pattern(10000);
  ASSERT_TRUE(Start(port, AddJob()));
  EXPECT_EQ(port->spool_file != INVALID_HANDLE_VALUE, c.spool_file);
  Write(port, data);
  EXPECT_EQ(g_printer.direct_calls > 0, c.direct);
  if (!c.direct) {
    EXPECT_EQ(g_printer.received, "");
  }
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data);
  EXPECT_EQ(g_printer.end_calls, 1);
  ExpectIdle(port);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JobModes,
    ::testing::Values(ModeCase{"LprAtEnd", kLpr, nullptr, false, true},
                      ModeCase{"LprStream", kLpr, "NonByteCount", true, true},
                      ModeCase{"RawAlways", kRaw, nullptr, true, true},
                      ModeCase{"IppCounted", kIpp, nullptr, false, true},
                      ModeCase{"IppChunked", kIpp, "Chunked", true, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(JobTest, AFullySpooledRawJobGoesDirectWithTheSpoolersSize) {
  PortEntry* port = MakePort("LprNonSpool", kLpr);
  SetDword(PortKey("LprNonSpool"), "NonSpool", 1);
  std::string data = Pattern(5000);
  ASSERT_TRUE(Start(port, AddJob(JOB_STATUS_PRINTING, 5000)));
  EXPECT_EQ(port->send_at_end, 0u);
  EXPECT_EQ(port->job_size, 5000u);
  EXPECT_STREQ(port->user_name, "alice");
  Write(port, data);
  EXPECT_GT(g_printer.direct_calls, 0);
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data);

  // Still being spooled, or not RAW, or NonSpool off: sent at the end.
  for (auto [status, type, nonspool] :
       {std::tuple{JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING, "RAW", 1},
        std::tuple{JOB_STATUS_PRINTING, "EMF", 1}, std::tuple{JOB_STATUS_PRINTING, "raw", 0}}) {
    SetDword(PortKey("LprNonSpool"), "NonSpool", nonspool);
    ASSERT_TRUE(Start(port, AddJob(static_cast<DWORD>(status), 5000, type)));
    EXPECT_EQ(port->send_at_end, 1u) << type << " " << status << " " << nonspool;
    EXPECT_TRUE(EndDocPort(port));
  }
}

TEST_F(JobTest, ResendAfterATimeOutResumesAtTheFirstUnsentByte) {
  PortEntry* port = MakePort("LprResume", kLpr);
  SetDword(MonitorKey(), "SendBufSize", 4096);
  std::string data = Pattern(50000);
  ASSERT_TRUE(Start(port, AddJob()));
  Write(port, data);
  int dialogs = 0;
  static int* counter;
  counter = &dialogs;
  g_monitor.dialogs.retry_prompt = [](PortEntry*) -> INT_PTR {
    ++*counter;
    return 1;
  };
  g_printer.failures = 3;
  g_printer.code = 2;  // time-out: the retry prompt
  g_printer.partial = 1000;
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data) << "every byte exactly once, in order";
  EXPECT_EQ(dialogs, 3);
  EXPECT_EQ(Total(g_clock.pauses, 15000), 3u);
  ExpectIdle(port);
}

TEST_F(JobTest, ARestartedSendBeginsAgainAtByteZero) {
  PortEntry* port = MakePort("LprRestart", kLpr);
  std::string data = Pattern(40000);
  ASSERT_TRUE(Start(port, AddJob()));
  Write(port, data);
  g_printer.failures = 2;
  g_printer.code = 202;  // connection lost: retried without asking
  g_printer.partial = 7000;
  g_printer.restart = true;
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data);
  EXPECT_EQ(Total(g_clock.pauses, 15000), 2u);
}

TEST_F(JobTest, AFailedDirectLprSendMarksTheJobAndFallsBackToTheSpoolFile) {
  PortEntry* port = MakePort("LprFallback", kLpr);
  SetDword(PortKey("LprFallback"), "NonByteCount", 1);
  DWORD job = AddJob();
  std::string data = Pattern(3000);
  ASSERT_TRUE(Start(port, job));
  g_printer.failures = 1;
  g_printer.code = 202;
  g_printer.partial = 500;
  g_printer.restart = true;
  Write(port, data);
  EXPECT_EQ(port->send_at_end, 1u);
  EXPECT_TRUE(port->flags & kErrorState);
  EXPECT_TRUE(JobStatus(job) & JOB_STATUS_ERROR);
  EXPECT_EQ(g_printer.calls, 1) << "no more direct sends after the failure";
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data);
  EXPECT_FALSE(JobStatus(job) & JOB_STATUS_ERROR);
}

TEST_F(JobTest, AJobDeletedInTheSpoolerEndsTheResendLoop) {
  PortEntry* port = MakePort("RawDeleted", kRaw);
  DWORD job = AddJob();
  ASSERT_TRUE(Start(port, job));
  g_printer.fail_forever = true;
  g_printer.code = 300;
  SetDword(PortKey("RawDeleted"), "Reconnection", 1);
  port->Reconnection = 1;
  port->send_at_end = 1;  // as a Raw port whose direct send gave up
  Write(port, Pattern(2000));
  g_clock.actions.push_back({60000, [&] { spool_.SetJobStatus(job, JOB_STATUS_DELETING); }});
  EXPECT_FALSE(EndDocPort(port));
  EXPECT_LE(g_clock.now, 60000u + 15000u);
  ExpectIdle(port);
}

TEST_F(JobTest, APausedJobWaitsUntilResumed) {
  PortEntry* port = MakePort("LprPaused", kLpr);
  DWORD job = AddJob();
  std::string data = Pattern(1000);
  ASSERT_TRUE(Start(port, job));
  Write(port, data);
  spool_.SetJobStatus(job, JOB_STATUS_PAUSED);
  g_clock.actions.push_back({45000, [&] { spool_.SetJobStatus(job, 0); }});
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data);
  EXPECT_EQ(Total(g_clock.pauses, 15000), 3u);
}

TEST_F(JobTest, AJobDeletedWhilePausedIsNotSent) {
  PortEntry* port = MakePort("LprPausedGone", kLpr);
  DWORD job = AddJob();
  ASSERT_TRUE(Start(port, job));
  Write(port, "x");
  spool_.SetJobStatus(job, JOB_STATUS_PAUSED);
  g_clock.actions.push_back({30000, [&] { spool_.SetJobStatus(job, JOB_STATUS_PAUSED | JOB_STATUS_DELETING); }});
  EXPECT_FALSE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, "");
  ExpectIdle(port);
}

TEST_F(JobTest, ThePrinterIsOpenedAgainUntilItAppears) {
  PortEntry* port = MakePort("RawLatePrinter", kRaw);
  DOC_INFO_1A info{const_cast<char*>("d"), nullptr, const_cast<char*>("RAW")};
  static const char kLate[] = "Late Printer";
  g_clock.actions.push_back({5000, [&] {
                               VexaSpoolNewPrinter late{kLate, "RawLatePrinter", 0, 0, 0};
                               spool_.AddPrinter(&late);
                             }});
  ASSERT_TRUE(StartDocPort(port, const_cast<char*>(kLate), 1, 1, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(Total(g_clock.pauses, 500), 10u);
  EXPECT_TRUE(EndDocPort(port));

  EXPECT_FALSE(StartDocPort(port, const_cast<char*>("Never There"), 1, 1, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(g_clock.now, 5000u + 120u * 500u);
  ExpectIdle(port);
}

TEST_F(JobTest, ReadPortReadsNothingAndTimeOutsStayTheRegistrys) {
  PortEntry* port = MakePort("RawMisc", kRaw);
  BYTE buffer[4];
  DWORD read = 99;
  EXPECT_TRUE(ReadPort(port, buffer, sizeof(buffer), &read));
  EXPECT_EQ(read, 0u);
  COMMTIMEOUTS timeouts{};
  EXPECT_FALSE(SetPortTimeOuts(port, &timeouts, 0));
  DWORD returned = 0;
  EXPECT_FALSE(GetPrinterDataFromPort(port, 1, nullptr, nullptr, 0, nullptr, 0, &returned))
      << "no job, no device to ask";
}

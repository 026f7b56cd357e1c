// What RetryPrompt does for each send error code: which message box or
// prompt the user sees, and whether the sender goes on. Boxes are answered
// by a hook; the retry and password prompts are stand-ins here (the real
// dialogs have their own tests).
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>

#include "monitor/prompts.h"
#include "tests/wine/job_fixture.h"

using namespace monitor;
using namespace wine_test;

namespace {

struct Seen {
  std::string box;  // the text of the last box; the test INI's texts are their keys
  UINT style = 0;
  int boxes = 0;
  int answer = IDRETRY;
  std::atomic<int> dialogs{0};
  std::atomic<std::uint32_t> message{0};
  INT_PTR dialog_result = 1;
  bool dialog_waits = false;  // stay up, unanswered, until asked to close
  INT_PTR password_result = 1;
};
Seen* g_seen;
HHOOK g_hook;

BOOL CALLBACK FindText(HWND child, LPARAM out) {
  if (GetDlgCtrlID(child) == 0xFFFF) {
    char text[512];
    GetWindowTextA(child, text, sizeof(text));
    *reinterpret_cast<std::string*>(out) = text;
    return FALSE;
  }
  return TRUE;
}

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wparam);
    char cls[16];
    GetClassNameA(box, cls, sizeof(cls));
    if (lstrcmpA(cls, "#32770") == 0) {
      EnumChildWindows(box, FindText, reinterpret_cast<LPARAM>(&g_seen->box));
      ++g_seen->boxes;
      // IDOK for boxes that only have OK.
      PostMessageA(box, WM_COMMAND, GetDlgItem(box, g_seen->answer) ? g_seen->answer : IDOK, 0);
    }
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

INT_PTR FakeRetryDialog(PortEntry* port) {
  ++g_seen->dialogs;
  g_seen->message = port->prompt_message_id;
  if (!g_seen->dialog_waits) return g_seen->dialog_result;
  // As the real prompt after ten unanswered seconds: the sender goes on, the
  // prompt stays until it is asked to close.
  port->prompt_state = kPromptUnanswered;
  while (port->prompt_state != kPromptClose) Sleep(5);
  return 0;
}

INT_PTR FakePasswordDialog(PortEntry* port) {
  if (g_seen->password_result == 1) {
    Ipp(port)->Base64 = 1;
    lstrcpyA(Ipp(port)->UserName, "bob");
  }
  return g_seen->password_result;
}

class Prompts : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    std::ofstream ini(install_ + "\\NIMMES.INI");
    ini << "[MESSAGE]\r\nTITLE=T\r\n";
    for (const char* key : {"IDS_IPP_SEND_ERROR", "IDS_IPP_FORBIDDEN", "IDS_IPP_NOT_AUTHORIZED",
                            "IDS_IPP_TIMEOUT", "IDS_LPR_RETRY_TOP"})
      ini << key << "=" << key << "\r\n";
    ini << "IDS_IPP_SEND_ERR_CODE=IDS_IPP_SEND_ERR_CODE %04x\r\n";
    ini.close();
    seen_ = new Seen;
    g_seen = seen_;
    g_hook = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    g_monitor.dialogs.retry_prompt = FakeRetryDialog;
    g_monitor.dialogs.password_prompt = FakePasswordDialog;
    port_ = MakePort("IppPrompt", kIpp);
  }
  void TearDown() override {
    if (port_->prompt_running) ClosePrompt(port_);
    UnhookWindowsHookEx(g_hook);
    delete seen_;
    JobTest::TearDown();
  }
  int Retry(std::uint32_t code) {
    seen_->box.clear();
    port_->send_error = code;
    return RetryPrompt(port_);
  }
  Seen* seen_;
  PortEntry* port_;
};

}  // namespace

TEST_F(Prompts, SilentRetries) {
  for (std::uint32_t code : {100u, 106u, 202u}) {
    EXPECT_EQ(Retry(code), 1) << code;
  }
  port_->Reconnection = 1;
  for (std::uint32_t code : {101u, 203u, 300u}) {
    port_->bytes_sent = 500;
    EXPECT_EQ(Retry(code), 1) << code;
    EXPECT_EQ(port_->bytes_sent, 500u) << "a silent retry resumes where it was";
  }
  EXPECT_EQ(seen_->boxes, 0);
  EXPECT_EQ(seen_->dialogs, 0);
}

TEST_F(Prompts, StopsWithAMessage) {
  struct Row { std::uint32_t code; const char* box; };
  for (Row row : {Row{1, "IDS_IPP_SEND_ERROR"}, Row{102, "IDS_IPP_SEND_ERROR"},
                  Row{1025, "IDS_IPP_FORBIDDEN"}, Row{1028, "IDS_IPP_SEND_ERR_CODE 0404"},
                  Row{0x0508, "IDS_IPP_SEND_ERR_CODE 0508"}}) {
    port_->bytes_sent = 10;
    EXPECT_EQ(Retry(row.code), 0) << row.code;
    EXPECT_EQ(seen_->box, row.box) << row.code;
  }
  EXPECT_EQ(port_->bytes_sent, 0u) << "an IPP status stops the job from the top";
}

TEST_F(Prompts, QuestionsAnsweredRetryOrCancel) {
  // Without Reconnection, a failed connection asks whether to start again.
  for (std::uint32_t code : {203u, 300u, 0u, 7u}) {
    port_->bytes_sent = 1234;
    seen_->answer = IDRETRY;
    EXPECT_EQ(Retry(code), 1) << code;
    EXPECT_EQ(seen_->box, "IDS_LPR_RETRY_TOP");
    EXPECT_EQ(port_->bytes_sent, 0u) << "Retry restarts the job from its first byte";
    seen_->answer = IDCANCEL;
    EXPECT_EQ(Retry(code), 0) << code;
  }
  seen_->answer = IDRETRY;
  EXPECT_EQ(Retry(101), 1);
  EXPECT_EQ(seen_->box, "IDS_IPP_TIMEOUT");
  seen_->answer = IDCANCEL;
  EXPECT_EQ(Retry(101), 0);
}

TEST_F(Prompts, RetryDialogCodesAndTheirMessages) {
  struct Row { std::uint32_t code; std::uint32_t message; };
  Ipp(port_)->severity = 8;  // so that 103 does not pass the printer check
  for (Row row : {Row{2, 512}, Row{103, 516}, Row{104, 516}, Row{105, 519}, Row{201, 515}}) {
    seen_->dialog_result = 1;
    EXPECT_EQ(Retry(row.code), 1) << row.code;
    EXPECT_EQ(seen_->message, row.message) << row.code;
    seen_->dialog_result = 0;
    EXPECT_EQ(Retry(row.code), 0) << row.code;
    EXPECT_EQ(port_->prompt_running, 0u);
  }
  EXPECT_STREQ(PromptMessageKey(511), PromptMessageKey(519));
  EXPECT_STREQ(PromptMessageKey(515), "IDS_LPR_QUEUE_ERR");
  EXPECT_EQ(PromptMessageKey(600), nullptr);
}

TEST_F(Prompts, ABusyPrinterWithoutErrorsIsRetriedWithoutAPrompt) {
  Ipp(port_)->severity = 0;
  port_->printer_status = PRINTER_STATUS_BUSY;
  EXPECT_EQ(Retry(103), 1);
  EXPECT_EQ(seen_->dialogs, 0);
  port_->printer_status = PRINTER_STATUS_OFFLINE;
  EXPECT_EQ(Retry(103), 1);
  EXPECT_EQ(seen_->dialogs, 1) << "offline: the prompt";
}

TEST_F(Prompts, AnUnansweredPromptStaysUpWhileTheSenderRetries) {
  seen_->dialog_waits = true;
  EXPECT_EQ(Retry(2), 1);
  EXPECT_EQ(port_->prompt_running, 1u);
  EXPECT_EQ(Retry(105), 1) << "a second failure while it is up";
  EXPECT_EQ(seen_->dialogs, 1) << "no second prompt";
  // A later success closes it.
  ClosePrompt(port_);
  EXPECT_EQ(port_->prompt_running, 0u);
  EXPECT_EQ(port_->prompt_state, kPromptStop);
}

TEST_F(Prompts, PasswordPromptDecidesAuthenticationFailures) {
  for (std::uint32_t code : {1026u, 1027u}) {
    seen_->boxes = 0;
    seen_->password_result = 1;
    EXPECT_EQ(Retry(code), 1);
    EXPECT_EQ(Ipp(port_)->Base64, 1u);
    EXPECT_STREQ(Ipp(port_)->UserName, "bob");
    EXPECT_EQ(seen_->boxes, 0);
    seen_->password_result = 0;
    EXPECT_EQ(Retry(code), 0);
    EXPECT_EQ(seen_->box, "IDS_IPP_NOT_AUTHORIZED");
  }
}

TEST_F(Prompts, EndDocPortTakesDownAPromptThatIsStillUp) {
  DWORD job = AddJob();
  ASSERT_TRUE(Start(port_, job));
  seen_->dialog_waits = true;
  port_->send_error = 2;
  EXPECT_EQ(RetryPrompt(port_), 1);
  EXPECT_TRUE(EndDocPort(port_));
  ExpectIdle(port_);
}

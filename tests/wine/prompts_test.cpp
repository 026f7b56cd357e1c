// What RetryPrompt does for each send error code: which box or prompt the
// user sees and whether the sender goes on. Boxes are answered by a hook; the
// prompts are stand-ins here (the real dialogs have their own tests).
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>

#include "core/retry.h"
#include "monitor/prompts.h"
#include "tests/wine/job_fixture.h"

using namespace core;
using namespace monitor;
using namespace wine_test;

namespace {

std::string g_box;                     // the last box's text: the test INI's texts are their keys
bool g_yes = true;                     // the answer to every box and prompt
std::atomic<std::uint32_t> g_message;  // the message the last retry prompt was opened with
bool g_prompt_waits;                   // the retry prompt stays up until asked to close
HHOOK g_hook;

LRESULT CALLBACK AnswerBox(int code, WPARAM wparam, LPARAM lparam) {
  auto box = reinterpret_cast<HWND>(wparam);
  char text[512] = "";
  if (code == HCBT_ACTIVATE && GetClassNameA(box, text, sizeof(text)) &&
      lstrcmpA(text, "#32770") == 0) {
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    g_box = text;
    int button = g_yes ? IDRETRY : IDCANCEL;
    PostMessageA(box, WM_COMMAND, GetDlgItem(box, button) ? button : IDOK, 0);
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

INT_PTR FakeRetryPrompt(PortEntry* port) {
  g_message = port->prompt_message_id;
  if (!g_prompt_waits) return g_yes;
  // As the real prompt after ten unanswered seconds: the sender goes on
  // under it until it is asked to close.
  port->prompt_state = kPromptUnanswered;
  while (port->prompt_state != kPromptClose) Sleep(5);
  return 0;
}

struct Prompts : JobTest {
  void SetUp() override {
    JobTest::SetUp();
    std::ofstream ini(install_ + "\\NIMMES.INI");
    ini << "[MESSAGE]\r\nIDS_IPP_SEND_ERR_CODE=IDS_IPP_SEND_ERR_CODE %04x\r\n";
    for (const char* key : {"IDS_IPP_SEND_ERROR", "IDS_IPP_FORBIDDEN", "IDS_IPP_NOT_AUTHORIZED",
                            "IDS_IPP_TIMEOUT", "IDS_LPR_RETRY_TOP"})
      ini << key << "=" << key << "\r\n";
    g_yes = true;
    g_prompt_waits = false;
    g_hook = SetWindowsHookExA(WH_CBT, AnswerBox, nullptr, GetCurrentThreadId());
    g_monitor.hooks.retry_dialog = FakeRetryPrompt;
    g_monitor.hooks.password_dialog = [](PortEntry*) -> INT_PTR { return g_yes; };
    port_ = MakePort("IppPrompt", kIpp);
  }
  void TearDown() override {
    ClosePrompt(port_);
    UnhookWindowsHookEx(g_hook);
    JobTest::TearDown();
  }
  int Retry(std::uint32_t code) {
    g_box.clear();
    g_message = 0;
    port_->send_error = code;
    return monitor::RetryPrompt(port_);
  }
  PortEntry* port_;
};

}  // namespace

TEST_F(Prompts, EachCodeRetriesStopsOrAsks) {
  // Code, Reconnection, the box, the retry prompt's message, the result when the
  // user says yes and no, bytes_sent from 500 (a restart begins at byte 0).
  struct Row { std::uint32_t code, reconnection; const char* box; std::uint32_t message;
               int on_yes, on_no; std::uint32_t bytes_sent; };
  const Row rows[] = {
      {100, 0, "", 0, 1, 1, 500}, {106, 0, "", 0, 1, 1, 500}, {202, 0, "", 0, 1, 1, 500},
      {101, 1, "", 0, 1, 1, 500}, {203, 1, "", 0, 1, 1, 500}, {300, 1, "", 0, 1, 1, 500},
      {1, 0, "IDS_IPP_SEND_ERROR", 0, 0, 0, 500}, {102, 0, "IDS_IPP_SEND_ERROR", 0, 0, 0, 500},
      {1025, 0, "IDS_IPP_FORBIDDEN", 0, 0, 0, 500},
      {1028, 0, "IDS_IPP_SEND_ERR_CODE 0404", 0, 0, 0, 0},
      {0x0508, 0, "IDS_IPP_SEND_ERR_CODE 0508", 0, 0, 0, 0},
      {203, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0}, {300, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0},
      {0, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0}, {7, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0},
      {101, 0, "IDS_IPP_TIMEOUT", 0, 1, 0, 500},
      {2, 0, "", 512, 1, 0, 500}, {103, 0, "", 516, 1, 0, 500}, {104, 0, "", 516, 1, 0, 500},
      {105, 0, "", 519, 1, 0, 500}, {201, 0, "", 515, 1, 0, 500},
      {1026, 0, "", 0, 1, 0, 500}, {1027, 0, "", 0, 1, 0, 500}};
  Ipp(port_)->severity = 8;  // so that 103 does not pass the printer check
  for (const Row& row : rows)
    for (bool yes : {true, false}) {
      g_yes = yes;
      port_->Reconnection = row.reconnection;
      port_->bytes_sent = 500;
      EXPECT_EQ(Retry(row.code), yes ? row.on_yes : row.on_no) << row.code << " " << yes;
      bool refused = (row.code == 1026 || row.code == 1027) && !yes;  // the password prompt
      EXPECT_EQ(g_box, refused ? "IDS_IPP_NOT_AUTHORIZED" : row.box) << row.code;
      EXPECT_EQ(g_message, row.message) << row.code;
      EXPECT_EQ(port_->bytes_sent, row.bytes_sent) << row.code;
    }
}

TEST_F(Prompts, ABusyPrinterWithoutErrorsIsRetriedWithoutAPrompt) {
  port_->printer_status = PRINTER_STATUS_BUSY;
  EXPECT_EQ(Retry(103), 1);
  EXPECT_EQ(g_message, 0u);
  port_->printer_status = PRINTER_STATUS_OFFLINE;
  EXPECT_EQ(Retry(103), 1);
  EXPECT_EQ(g_message, 516u) << "offline: the prompt";
}

TEST_F(Prompts, AnUnansweredPromptStaysUpUntilTheJobEnds) {
  ASSERT_TRUE(Start(port_, AddJob()));
  g_prompt_waits = true;
  EXPECT_EQ(Retry(2), 1);
  EXPECT_EQ(port_->prompt_running, 1u);
  EXPECT_EQ(Retry(105), 1) << "a second failure while it is up";
  EXPECT_EQ(g_message, 0u) << "no second prompt";
  EXPECT_EQ(port_->prompt_message_id, 519u);
  EXPECT_TRUE(EndDocPort(port_));
  EXPECT_EQ(port_->prompt_state, kPromptStop);
  ExpectIdle(port_);
}

// The retry prompt and the user name and password prompt, driven as a user
// (and the sending side) would: each runs on a thread of its own while the
// test reads it, presses its buttons and delivers its timer ticks.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <set>
#include <string>

#include "host/winspool/standin.h"
#include "monitor/prompts.h"
#include "monitor/state.h"
#include "resources/prompts.h"
#include "tests/wine/gui/dialog_fixture.h"
#include "tests/wine/gui/gui.h"
#include "ui/prompts.h"

using monitor::PortEntry;

namespace {

constexpr char kDialogTexts[] =
    "[FONT]\r\n"
    "DEFAULT=Arial,13,GREEK\r\n"
    "[TITLE]\r\n"
    "RETRY=Test retry\r\n"
    "PASS=Test password\r\n"
    "[BUTTON]\r\n"
    "IDC_RETRY=Again\r\n"
    "IDCANCEL=Stop\r\n"
    "IDOK=Fine\r\n"
    "[LABEL]\r\n"
    "IDC_SETUMEI11=Who are you?\\nThe printer wants to know.\r\n"
    "IDC_NAME=Name\r\n"
    "IDC_KEYWORD=Secret\r\n";

constexpr char kMessageTexts[] =
    "[MESSAGE]\r\n"
    "IDS_LPR_RETRY=timed out\r\n"
    "IDS_LPR_QUEUE_ERR=queue refused\r\n"
    "IDS_IPP_RETRY=printer busy\r\n"
    "IDS_IPP_TIMEOUT=no answer\\nat all\r\n";

constexpr char kTemplateRetryText[] = "The document cannot be sent to the printer now.";
constexpr char kPrinter[] = "Prompt Test Printer";

standin::Spool g_spool;

class PromptDialogs : public ::testing::Test {
 protected:
  PromptDialogs() {
    port_.block = &ipp_;
    port_.kind = port_.block_kind = monitor::kIpp;
  }
  void SetUp() override {
    folder_ = gui::UseInstallFolder("vexa_prompts_test");
    gui::WriteIni(folder_, "NIMDLG.INI", kDialogTexts);
    gui::WriteIni(folder_, "NIMMES.INI", kMessageTexts);
  }
  void TearDown() override {
    if (port_.printer != nullptr) ClosePrinter(static_cast<HANDLE>(port_.printer));
  }

  // A spooler job the prompt can cancel, as the port's current job.
  void GiveThePortAJob() {
    ASSERT_TRUE(standin::Bind(&g_spool)) << "the stand-in winspool.drv is not loaded";
    VexaSpoolNewPrinter printer = {};
    printer.name = kPrinter;
    printer.port = "LPT1:";
    ASSERT_TRUE(g_spool.AddPrinter(&printer));
    VexaSpoolNewJob job = {};
    job.printer = kPrinter;
    job.user = "alice";
    job.document = "report.txt";
    job.size = 100;
    job.total_pages = 1;
    port_.job_id = g_spool.AddJob(&job);
    ASSERT_NE(port_.job_id, 0u);
    HANDLE handle = nullptr;
    ASSERT_TRUE(OpenPrinterA(const_cast<char*>(kPrinter), &handle, nullptr));
    port_.printer = handle;
  }
  bool JobCancelled() {
    VexaSpoolJobState state = {};
    return g_spool.GetJob(port_.job_id, &state) && (state.status & JOB_STATUS_DELETING) != 0;
  }

  void SetState(std::uint8_t state) {
    monitor::EnterLock();
    port_.prompt_state = state;
    monitor::LeaveLock();
  }
  std::uint8_t State() {
    monitor::EnterLock();
    std::uint8_t state = port_.prompt_state;
    monitor::LeaveLock();
    return state;
  }

  // Opens the retry prompt; null (and a failure) when it does not show.
  HWND OpenRetry(std::uint32_t message_id = monitor::kMessageTimeout) {
    port_.prompt_message_id = message_id;
    modal_ = gui::RunModal([this] { return ui::ShowRetryPrompt(&port_); });
    HWND dialog = gui::WaitForDialog({.control_id = IDC_RETRY_TEXT});
    EXPECT_NE(dialog, nullptr) << "the retry prompt did not show";
    return dialog;
  }
  HWND OpenPassword() {
    modal_ = gui::RunModal([this] { return ui::ShowPasswordPrompt(&port_); });
    HWND dialog = gui::WaitForDialog({.control_id = IDC_KEYWORD_EDIT});
    EXPECT_NE(dialog, nullptr) << "the password prompt did not show";
    return dialog;
  }
  // The prompt's result; -2 when it did not end in time.
  INT_PTR Result(DWORD timeout_ms = 5000) {
    INT_PTR result = -2;
    gui::WaitModal(*modal_, &result, timeout_ms);
    return result;
  }

  std::string folder_;
  PortEntry port_ = {};
  monitor::IppBlock ipp_ = {};
  std::unique_ptr<gui::Modal> modal_;
};

std::string Repeat(char c, int count) { return std::string(static_cast<std::size_t>(count), c); }

}  // namespace

TEST_F(PromptDialogs, RetryPromptShowsTheMessageOfItsId) {
  const struct {
    std::uint32_t id;
    const char* text;
  } cases[] = {
      {512, "timed out"},          {515, "queue refused"},         {516, "printer busy"},
      {519, "no answer\r\nat all"}, {511, "no answer\r\nat all"},   {0, kTemplateRetryText},
      {513, kTemplateRetryText},
  };
  for (const auto& c : cases) {
    HWND dialog = OpenRetry(c.id);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(gui::ControlText(dialog, IDC_RETRY_TEXT), c.text) << "message id " << c.id;
    EXPECT_TRUE(gui::Click(dialog, IDC_RETRY));
    EXPECT_EQ(Result(), 1) << "Retry";
  }
}

TEST_F(PromptDialogs, RetryPromptTakesItsLookFromTheIniAndHasNoClose) {
  HWND dialog = OpenRetry();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(gui::WaitForDialog({.caption = "Test retry"}), dialog);
  EXPECT_EQ(GetForegroundWindow(), dialog);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
  EXPECT_EQ(gui::ControlText(dialog, IDC_RETRY), "Again");
  EXPECT_EQ(gui::ControlText(dialog, IDCANCEL), "Stop");
  RECT rect;
  GetWindowRect(dialog, &rect);
  EXPECT_EQ(rect.right - rect.left, 599);
  EXPECT_EQ(rect.bottom - rect.top, 120 + GetSystemMetrics(SM_CYCAPTION) - 19);
  for (int id : {IDC_RETRY, IDCANCEL, IDC_RETRY_TEXT}) {
    gui::FontInfo font = gui::ControlFont(dialog, id);
    EXPECT_EQ(font.face, "Arial") << id;
    EXPECT_EQ(font.height, -13) << id;
    EXPECT_EQ(font.charset, GREEK_CHARSET) << id;
  }
  HMENU menu = GetSystemMenu(dialog, FALSE);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
  int last = GetMenuItemCount(menu) - 1;
  if (last >= 0) {
    EXPECT_EQ(GetMenuState(menu, last, MF_BYPOSITION) & MF_SEPARATOR, 0u) << "a separator ends it";
  }

  HFONT font = gui::ControlFont(dialog, IDC_RETRY).handle;
  EXPECT_TRUE(gui::Click(dialog, IDCANCEL));
  EXPECT_EQ(Result(), 0);
  EXPECT_EQ(GetObjectType(font), 0u) << "the prompt's font outlived it";
}

TEST_F(PromptDialogs, WithoutACompleteFontEntryTheTemplateFontStays) {
  gui::WriteIni(folder_, "NIMDLG.INI", "[FONT]\r\nDEFAULT=Arial,13\r\n");
  HWND dialog = OpenRetry();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(gui::ControlFont(dialog, IDC_RETRY).face, "MS Sans Serif");
  EXPECT_EQ(gui::ControlText(dialog, IDC_RETRY), "") << "texts still come from the INI";
  EXPECT_TRUE(gui::Click(dialog, IDC_RETRY));
  EXPECT_EQ(Result(), 1);
}

TEST_F(PromptDialogs, CloseRequestBeforeTenSecondsEndsWithRetryAtTheTenSecondTick) {
  HWND dialog = OpenRetry();
  ASSERT_NE(dialog, nullptr);
  SetState(monitor::kPromptClose);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFirstTimer));
  EXPECT_EQ(Result(), 1);
}

TEST_F(PromptDialogs, TenSecondsWithoutAnswerReleaseTheSenderAndLaterCloseRequestStops) {
  HWND dialog = OpenRetry();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFlashTimer));  // not running yet: no effect
  EXPECT_EQ(State(), monitor::kPromptStop);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFirstTimer));
  EXPECT_EQ(State(), monitor::kPromptUnanswered);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFlashTimer));
  EXPECT_TRUE(IsWindowVisible(dialog)) << "stays up while the sender retries";
  SetState(monitor::kPromptClose);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFlashTimer));
  EXPECT_EQ(Result(), 0);
}

TEST_F(PromptDialogs, TheOneSecondTimerRunsByItselfAfterTheTenSecondTick) {
  HWND dialog = OpenRetry();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFirstTimer));
  SetState(monitor::kPromptClose);
  EXPECT_EQ(Result(3000), 0) << "no 1-second tick closed the prompt";
}

TEST_F(PromptDialogs, CancelWithinTenSecondsStopsWithoutCancellingTheJob) {
  GiveThePortAJob();
  HWND dialog = OpenRetry();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(gui::Click(dialog, IDCANCEL));
  EXPECT_EQ(Result(), 0);
  EXPECT_FALSE(JobCancelled());
}

TEST_F(PromptDialogs, CancelAfterTenSecondsCancelsTheJob) {
  GiveThePortAJob();
  HWND dialog = OpenRetry();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFirstTimer));
  EXPECT_FALSE(JobCancelled());
  EXPECT_TRUE(gui::Click(dialog, IDCANCEL));
  EXPECT_EQ(Result(), 0);
  EXPECT_TRUE(JobCancelled());
}

TEST_F(PromptDialogs, PasswordOkPutsTheCredentialsIntoTheIppBlock) {
  HWND dialog = OpenPassword();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(gui::Text(dialog), "Test password");
  EXPECT_EQ(gui::ControlText(dialog, IDC_SETUMEI11), "Who are you?\r\nThe printer wants to know.");
  EXPECT_EQ(gui::ControlText(dialog, IDOK), "Fine");
  EXPECT_NE(GetWindowLongA(GetDlgItem(dialog, IDC_KEYWORD_EDIT), GWL_STYLE) & ES_PASSWORD, 0);
  gui::Type(dialog, IDC_NAME_EDIT, "alice");
  gui::Type(dialog, IDC_KEYWORD_EDIT, "s3cret");
  EXPECT_TRUE(gui::Click(dialog, IDOK));
  EXPECT_EQ(Result(), 1);
  EXPECT_EQ(ipp_.Base64, 1u);
  EXPECT_STREQ(ipp_.UserName, "alice");
  EXPECT_STREQ(ipp_.PassWord, "s3cret");
}

TEST_F(PromptDialogs, PasswordCancelChangesNothing) {
  monitor::CopyText(ipp_.UserName, sizeof(ipp_.UserName), "old name");
  monitor::CopyText(ipp_.PassWord, sizeof(ipp_.PassWord), "old secret");
  HWND dialog = OpenPassword();
  ASSERT_NE(dialog, nullptr);
  gui::Type(dialog, IDC_NAME_EDIT, "mallory");
  EXPECT_TRUE(gui::Click(dialog, IDCANCEL));
  EXPECT_EQ(Result(), 0);
  EXPECT_EQ(ipp_.Base64, 0u);
  EXPECT_STREQ(ipp_.UserName, "old name");
  EXPECT_STREQ(ipp_.PassWord, "old secret");
}

TEST_F(PromptDialogs, PasswordFieldsTakeAtMost64Characters) {
  HWND dialog = OpenPassword();
  ASSERT_NE(dialog, nullptr);
  gui::Type(dialog, IDC_NAME_EDIT, Repeat('n', 80));
  gui::Type(dialog, IDC_KEYWORD_EDIT, Repeat('p', 80));
  EXPECT_EQ(gui::ControlText(dialog, IDC_NAME_EDIT), Repeat('n', 64));
  EXPECT_EQ(gui::ControlText(dialog, IDC_KEYWORD_EDIT), Repeat('p', 64));
  EXPECT_TRUE(gui::Click(dialog, IDOK));
  EXPECT_EQ(Result(), 1);
  EXPECT_EQ(std::string(ipp_.UserName), Repeat('n', 64));
  EXPECT_EQ(std::string(ipp_.PassWord), Repeat('p', 64));

  // WM_SETTEXT ignores the typing limit; the block must not.
  dialog = OpenPassword();
  ASSERT_NE(dialog, nullptr);
  SetDlgItemTextA(dialog, IDC_NAME_EDIT, Repeat('m', 100).c_str());
  SetDlgItemTextA(dialog, IDC_KEYWORD_EDIT, "pw");
  EXPECT_TRUE(gui::Click(dialog, IDOK));
  EXPECT_EQ(Result(), 1);
  EXPECT_EQ(std::string(ipp_.UserName), Repeat('m', 64));
  EXPECT_STREQ(ipp_.PassWord, "pw");
}

// The prompts with the INI files shipped beside the DLL, as a user sees them.
class ShippedPrompts : public PromptDialogs {
 protected:
  void SetUp() override { gui::UseShippedTexts(); }

  // Every text shows whole: labels wrapped within their width and height,
  // buttons on one line with room for their edges.
  static void ExpectTextsFit(HWND dialog, std::initializer_list<int> labels,
                             std::initializer_list<int> buttons) {
    for (int id : labels) {
      RECT rect = gui::ControlRect(dialog, id);
      SIZE need = gui::TextSize(GetDlgItem(dialog, id), rect.right - rect.left);
      EXPECT_FALSE(gui::ControlText(dialog, id).empty()) << id;
      EXPECT_LE(need.cx, rect.right - rect.left) << id;
      EXPECT_LE(need.cy, rect.bottom - rect.top) << id << ": " << gui::ControlText(dialog, id);
    }
    for (int id : buttons) {
      RECT rect = gui::ControlRect(dialog, id);
      SIZE need = gui::TextSize(GetDlgItem(dialog, id));
      EXPECT_FALSE(gui::ControlText(dialog, id).empty()) << id;
      EXPECT_LE(need.cx + 8, rect.right - rect.left) << id;
      EXPECT_LE(need.cy + 4, rect.bottom - rect.top) << id;
    }
  }

  // Saves the dialog's picture for a person to look at; it must show more
  // than a blank rectangle.
  static void Picture(HWND dialog, const std::string& name) {
    gui::Image image;
    ASSERT_TRUE(gui::Capture(dialog, &image));
    std::string path = gui::ScreenshotFolder() + "\\" + name + ".png";
    EXPECT_TRUE(gui::WritePng(path, image)) << path;
    std::set<std::uint32_t> colours(image.pixels.begin(), image.pixels.end());
    EXPECT_GT(colours.size(), 3u) << name << " looks blank";
    std::printf("screenshot: %s\n", path.c_str());
  }
};

TEST_F(ShippedPrompts, EveryTextFitsItsControl) {
  for (std::uint32_t id : {512u, 515u, 516u, 519u}) {
    SCOPED_TRACE("message id " + std::to_string(id));
    HWND dialog = OpenRetry(id);
    ASSERT_NE(dialog, nullptr);
    ExpectTextsFit(dialog, {IDC_RETRY_TEXT}, {IDC_RETRY, IDCANCEL});
    EXPECT_TRUE(gui::Click(dialog, IDC_RETRY));
    EXPECT_EQ(Result(), 1);
  }
  HWND dialog = OpenPassword();
  ASSERT_NE(dialog, nullptr);
  ExpectTextsFit(dialog, {IDC_SETUMEI11, IDC_NAME, IDC_KEYWORD}, {IDOK, IDCANCEL});
  EXPECT_TRUE(gui::Click(dialog, IDCANCEL));
  EXPECT_EQ(Result(), 0);
}

TEST_F(ShippedPrompts, Screenshots) {
  if (!gui::HaveDisplay()) GTEST_SKIP() << "no X display: Wine draws nothing to take";
  HWND dialog = OpenRetry(monitor::kMessageNoAnswer);
  ASSERT_NE(dialog, nullptr);
  Picture(dialog, "retry_prompt");
  EXPECT_TRUE(gui::Click(dialog, IDC_RETRY));
  EXPECT_EQ(Result(), 1);

  dialog = OpenPassword();
  ASSERT_NE(dialog, nullptr);
  gui::Type(dialog, IDC_NAME_EDIT, "alice");
  gui::Type(dialog, IDC_KEYWORD_EDIT, "secret");
  Picture(dialog, "password_prompt");
  EXPECT_TRUE(gui::Click(dialog, IDCANCEL));
  EXPECT_EQ(Result(), 0);
}

// The retry prompt and the user name and password prompt, driven as a user
// (and the sending side) would: each runs on a thread of its own while the
// test reads it, presses its buttons and delivers its timer ticks.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>

#include "host/winspool/standin.h"
#include "core/retry.h"
#include "core/state.h"
#include "resources/prompts.h"
#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "ui/prompts.h"

namespace {

constexpr char kDialogTexts[] =
    "[FONT]\r\nDEFAULT=Arial,13,GREEK\r\n"
    "[TITLE]\r\nRETRY=Test retry\r\nPASS=Test password\r\n"
    "[BUTTON]\r\nIDOK=Fine\r\n"
    "[LABEL]\r\nIDC_SETUMEI11=Who are you?\\nThe printer wants to know.\r\n";
constexpr char kMessageTexts[] =
    "[MESSAGE]\r\nIDS_LPR_RETRY=timed out\r\nIDS_LPR_QUEUE_ERR=queue refused\r\n"
    "IDS_IPP_RETRY=printer busy\r\nIDS_IPP_TIMEOUT=no answer\\nat all\r\n";
constexpr char kPrinter[] = "Prompt Test Printer";

class PromptDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.block = &ipp_;
    port_.kind = port_.block_kind = core::kIpp;
    std::string folder = wine_test::UseInstallFolder("vexa_prompts_test");
    wine_test::WriteIni(folder, "NIMDLG.INI", kDialogTexts);
    wine_test::WriteIni(folder, "NIMMES.INI", kMessageTexts);
  }
  // The sending side writes the state under the lock it shares with the prompt.
  void SetState(std::uint8_t state) {
    core::EnterLock();
    port_.prompt_state = state;
    core::LeaveLock();
  }
  // The retry prompt for a message id, or the password prompt (-1).
  HWND Open(std::int64_t message_id = core::kMessageTimeout) {
    bool retry = message_id >= 0;
    port_.prompt_message_id = static_cast<std::uint32_t>(message_id);
    auto* show = retry ? ui::ShowRetryPrompt : ui::ShowPasswordPrompt;
    modal_ = gui::RunModal([this, show] { return show(&port_); },
                           {.control_id = retry ? IDC_RETRY_TEXT : IDC_KEYWORD_EDIT});
    EXPECT_NE(modal_->dialog, nullptr) << "the prompt did not show";
    return modal_->dialog;
  }
  std::string Credentials() {  // "Base64:user/password"
    return std::to_string(ipp_.Base64) + ":" + ipp_.UserName + "/" + ipp_.PassWord;
  }

  core::PortEntry port_ = {};
  core::IppBlock ipp_ = {};
  std::unique_ptr<gui::Modal> modal_;
};

}  // namespace

TEST_F(PromptDialogs, RetryPromptShowsItsMessageTakesItsLookFromTheIniAndHasNoClose) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {512, "timed out"}, {515, "queue refused"}, {516, "printer busy"},
      {511, "no answer\r\nat all"}, {0, "The document cannot be sent to the printer now."}};
  for (const auto& [id, text] : cases) {
    HWND dialog = Open(id);
    EXPECT_EQ(gui::ControlText(dialog, IDC_RETRY_TEXT), text) << "message id " << id;
    EXPECT_EQ(modal_->End(IDC_RETRY), 1);
  }

  HWND dialog = Open();
  EXPECT_TRUE(gui::Poll([&] { return GetForegroundWindow() == dialog; }, 1000));  // X is async
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
  EXPECT_EQ(gui::Text(dialog), "Test retry");
  HFONT font = gui::ControlFont(dialog, IDC_RETRY_TEXT);
  EXPECT_EQ(gui::FontText(font), "Arial,-13," + std::to_string(GREEK_CHARSET));
  EXPECT_EQ(gui::ControlFont(dialog, IDC_RETRY), font);
  HMENU menu = GetSystemMenu(dialog, FALSE);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1)) << "Close is there";
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
  EXPECT_EQ(GetObjectType(font), 0u) << "the prompt's font outlived it";
}

TEST_F(PromptDialogs, RetryPromptTimersAndCancelFollowTheSendersState) {
  standin::Spool spool;
  ASSERT_TRUE(standin::Bind(&spool)) << "the stand-in winspool.drv is not loaded";
  VexaSpoolNewPrinter printer = {kPrinter, "LPT1:", 0, 0, 0};
  ASSERT_TRUE(spool.AddPrinter(&printer));
  VexaSpoolNewJob job = {kPrinter, "alice", "report.txt", nullptr, 0, 100, 1, 0};
  port_.job_id = spool.AddJob(&job);
  ASSERT_TRUE(OpenPrinterA(const_cast<char*>(kPrinter), &port_.printer, nullptr));
  auto job_cancelled = [&] {
    VexaSpoolJobState state = {};
    return spool.GetJob(port_.job_id, &state) && (state.status & JOB_STATUS_DELETING) != 0;
  };
  // A close request before the 10-second tick means the sender's retry worked.
  HWND dialog = Open();
  SetState(core::kPromptClose);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFirstTimer));
  EXPECT_EQ(modal_->End(), 1);

  SetState(core::kPromptStop);
  dialog = Open();
  Sleep(1500);  // well before the 10-second tick
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
  EXPECT_FALSE(job_cancelled()) << "the waiting sender takes the 0 itself";

  // After 10 s the sender retries under the prompt: stopping must cancel the job.
  dialog = Open();
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFirstTimer));
  EXPECT_EQ(port_.prompt_state, core::kPromptUnanswered);
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFlashTimer));
  EXPECT_TRUE(IsWindowVisible(dialog)) << "stays up while the sender retries";
  EXPECT_FALSE(job_cancelled());
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
  EXPECT_TRUE(job_cancelled());
  ClosePrinter(port_.printer);

  // From the 10-second tick on, the 1-second timer runs by itself.
  dialog = Open();
  EXPECT_TRUE(gui::SendTimer(dialog, ui::kFirstTimer));
  SetState(core::kPromptClose);
  EXPECT_EQ(modal_->End(0, 3000), 0);
}

TEST_F(PromptDialogs, PasswordCancelChangesNothingAndOkTakesAtMost64CharactersOfEach) {
  HWND dialog = Open(-1);
  gui::Type(dialog, IDC_NAME_EDIT, "mallory");
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
  EXPECT_EQ(Credentials(), "0:/");

  dialog = Open(-1);
  EXPECT_EQ(gui::Text(dialog) + "/" + gui::ControlText(dialog, IDOK), "Test password/Fine");
  EXPECT_EQ(gui::ControlText(dialog, IDC_SETUMEI11), "Who are you?\r\nThe printer wants to know.");
  gui::Type(dialog, IDC_NAME_EDIT, std::string(80, 'n'));
  gui::Type(dialog, IDC_KEYWORD_EDIT, std::string(80, 'p'));
  EXPECT_EQ(gui::ControlText(dialog, IDC_NAME_EDIT), std::string(64, 'n'));
  EXPECT_EQ(gui::ControlText(dialog, IDC_KEYWORD_EDIT), std::string(64, 'p'));
  // WM_SETTEXT ignores the typing limit; the block's bounds must not.
  SetDlgItemTextA(dialog, IDC_NAME_EDIT, std::string(100, 'm').c_str());
  SetDlgItemTextA(dialog, IDC_KEYWORD_EDIT, std::string(100, 'q').c_str());
  EXPECT_EQ(modal_->End(IDOK), 1);
  EXPECT_EQ(Credentials(), "1:" + std::string(64, 'm') + "/" + std::string(64, 'q'));
}

// With the shipped INI files every text shows whole (labels wrapped in their box, buttons on
// one line with room for their edges); the pictures for a person show more than a blank.
TEST_F(PromptDialogs, ShippedTextsFitAndScreenshots) {
  wine_test::UseShippedTexts();
  auto check = [](HWND dialog, std::initializer_list<std::pair<int, bool>> controls,
                  const char* picture) {
    for (auto [id, button] : controls)
      EXPECT_TRUE(gui::TextFits(dialog, id, button)) << id << ": " << gui::ControlText(dialog, id);
    EXPECT_TRUE(picture == nullptr || gui::SaveScreenshot(dialog, picture)) << picture;
  };
  for (std::uint32_t id : {512u, 515u, 516u, 519u}) {
    SCOPED_TRACE("message id " + std::to_string(id));
    HWND dialog = Open(id);
    check(dialog, {{IDC_RETRY, true}, {IDCANCEL, true}, {IDC_RETRY_TEXT, false}},
          id == core::kMessageNoAnswer ? "retry_prompt" : nullptr);
    EXPECT_EQ(modal_->End(IDC_RETRY), 1);
  }
  HWND dialog = Open(-1);
  gui::Type(dialog, IDC_NAME_EDIT, "alice");
  gui::Type(dialog, IDC_KEYWORD_EDIT, "secret");
  check(dialog, {{IDOK, true}, {IDCANCEL, true}, {IDC_SETUMEI11, false}, {IDC_NAME, false},
                 {IDC_KEYWORD, false}}, "password_prompt");
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
}

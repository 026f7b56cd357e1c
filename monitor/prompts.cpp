#include "monitor/prompts.h"

#include <windows.h>
#include <winspool.h>

#include "monitor/ini.h"
#include "monitor/job.h"
#include "monitor/state.h"

namespace monitor {
namespace {

constexpr DWORD kAnswerPoll = 100;
constexpr UINT kStop = MB_ICONHAND;
constexpr UINT kQuestion = MB_RETRYCANCEL | MB_ICONEXCLAMATION;
constexpr std::uint16_t kSeverityError = 8;

int Box(const char* key, UINT style, UINT_PTR insert = 0) {
  return MessageFromIni(nullptr, key, style, insert);
}

int Ask(const char* key) { return Box(key, kQuestion) == IDRETRY ? 1 : 0; }

DWORD WINAPI PromptThread(LPVOID parameter) {
  auto* port = static_cast<PortEntry*>(parameter);
  port->prompt_state = kPromptStop;
  INT_PTR result = g_monitor.dialogs.retry_prompt != nullptr ? g_monitor.dialogs.retry_prompt(port) : 0;
  // The result first, then the flag: a waiter that sees the flag clear
  // reads the final answer.
  port->prompt_state = result == 1 ? kPromptGoOn : kPromptStop;
  MemoryBarrier();
  port->prompt_running = 0;
  return 0;
}

int ShowRetryDialog(PortEntry* port, std::uint32_t message) {
  port->prompt_message_id = message;
  // A prompt from an earlier failure is still up: keep retrying under it.
  if (port->prompt_running) return 1;
  port->prompt_running = 1;
  port->prompt_state = kPromptStop;
  if (!StartWorker(PromptThread, port)) {
    port->prompt_running = 0;
    return 0;
  }
  for (;;) {
    if (port->prompt_state == kPromptUnanswered) return 1;
    if (!port->prompt_running) return port->prompt_state == kPromptGoOn ? 1 : 0;
    Sleep(kAnswerPoll);
  }
}

// A printer that says it is processing is only worth a prompt when it also
// reports an error or is offline.
bool IppPrinterCheck(PortEntry* port) {
  bool fine = (Ipp(port)->severity & kSeverityError) == 0 &&
              (port->printer_status & PRINTER_STATUS_OFFLINE) == 0;
  if (fine) ClosePrompt(port);
  ReportPrinterStatus(port);
  return fine;
}

int Restart(PortEntry* port) {
  ClosePrompt(port);
  port->bytes_sent = 0;
  std::uint32_t code = port->send_error;
  if (code >= 0x0400 && code <= 0x0508) {
    Box("IDS_IPP_SEND_ERR_CODE", kStop, code);
    return 0;
  }
  return Ask("IDS_LPR_RETRY_TOP");
}

bool PromptAnswered(PortEntry* port) {
  return !port->prompt_running || port->prompt_state == kPromptStop;
}

}  // namespace

const char* PromptMessageKey(std::uint32_t id) {
  switch (id) {
    case kMessageTimeout: return "IDS_LPR_RETRY";
    case kMessageQueueRefused: return "IDS_LPR_QUEUE_ERR";
    case kMessagePrinterBusy: return "IDS_IPP_RETRY";
    case kMessageNoAnswer:
    case kMessageIppTimeoutSpare: return "IDS_IPP_TIMEOUT";
    default: return nullptr;
  }
}

int RetryPrompt(PortEntry* port) {
  switch (port->send_error) {
    case 1:
    case 102:
      ClosePrompt(port);
      Box("IDS_IPP_SEND_ERROR", kStop);
      return 0;
    case 2:
      return ShowRetryDialog(port, kMessageTimeout);
    case 100:
    case 106:
    case 202:
      return 1;
    case 101:
      return port->Reconnection ? 1 : Ask("IDS_IPP_TIMEOUT");
    case 103:
      return IppPrinterCheck(port) ? 1 : ShowRetryDialog(port, kMessagePrinterBusy);
    case 104:
      ReportPrinterStatus(port);
      return ShowRetryDialog(port, kMessagePrinterBusy);
    case 105:
      return ShowRetryDialog(port, kMessageNoAnswer);
    case 201:
      return ShowRetryDialog(port, kMessageQueueRefused);
    case 203:
    case 300:
      return port->Reconnection ? 1 : Restart(port);
    case 1025:
      ClosePrompt(port);
      Box("IDS_IPP_FORBIDDEN", kStop);
      return 0;
    case 1026:
    case 1027: {
      ClosePrompt(port);
      INT_PTR answer = g_monitor.dialogs.password_prompt != nullptr
                           ? g_monitor.dialogs.password_prompt(port)
                           : 0;
      if (answer == 1) return 1;
      Box("IDS_IPP_NOT_AUTHORIZED", kStop);
      return 0;
    }
    default:
      return Restart(port);
  }
}

void ClosePrompt(PortEntry* port) {
  if (!port->prompt_running) return;
  EnterLock();
  port->prompt_state = kPromptClose;
  LeaveLock();
  WaitUntil(PromptAnswered, port);
  port->prompt_running = 0;
}

}  // namespace monitor

#include "monitor/prompts.h"

#include <windows.h>
#include <winspool.h>

#include "core/ini.h"
#include "core/job_status.h"
#include "core/outcome.h"
#include "core/retry.h"
#include "core/state.h"

namespace monitor {
namespace {

using namespace core;

constexpr DWORD kAnswerPoll = 100;
constexpr UINT kStop = MB_ICONHAND;
constexpr UINT kQuestion = MB_RETRYCANCEL | MB_ICONEXCLAMATION;

int Box(const char* key, UINT style, const TextInsert& insert = {}) {
  return MessageFromIni(nullptr, key, style, insert);
}

int Ask(const char* key) { return Box(key, kQuestion) == IDRETRY ? 1 : 0; }

DWORD WINAPI PromptThread(LPVOID parameter) {
  auto* port = static_cast<PortEntry*>(parameter);
  port->prompt_state = kPromptStop;
  INT_PTR result =
      g_monitor.hooks.retry_dialog != nullptr ? g_monitor.hooks.retry_dialog(port) : 0;
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
  bool fine = (Ipp(port)->severity & kSeverityBitError) == 0 &&
              (port->printer_status & PRINTER_STATUS_OFFLINE) == 0;
  if (fine) ClosePrompt(port);
  ReportPrinterStatus(port);
  return fine;
}

// Sending starts again from the job's first byte, if the user agrees.
int Restart(PortEntry* port) {
  ClosePrompt(port);
  port->bytes_sent = 0;
  std::uint32_t code = port->send_error;
  if (IsIppErrorStatus(code)) {
    Box("IDS_IPP_SEND_ERR_CODE", kStop, NumberInsert(code));
    return 0;
  }
  return Ask("IDS_LPR_RETRY_TOP");
}

int TellAndStop(PortEntry* port, const char* key) {
  ClosePrompt(port);
  Box(key, kStop);
  return 0;
}

}  // namespace

int RetryPrompt(PortEntry* port) {
  switch (port->send_error) {
    case kSocketError:
    case kIppExchangeFailed:
    case kIppBadSettings:
      return TellAndStop(port, "IDS_IPP_SEND_ERROR");
    case kTimedOut:
      return ShowRetryDialog(port, kMessageTimeout);
    case kIppNoAnswer:
    case kIppNotAccepting:
    case kLprHeaderFailed:
      return 1;
    case kIppConnectFailed:
      return port->Reconnection ? 1 : Ask("IDS_IPP_TIMEOUT");
    case kIppPrinterProcessing:
      return IppPrinterCheck(port) ? 1 : ShowRetryDialog(port, kMessagePrinterBusy);
    case kIppPrinterStopped:
      ReportPrinterStatus(port);
      return ShowRetryDialog(port, kMessagePrinterBusy);
    case kIppExchangeTimedOut:
      return ShowRetryDialog(port, kMessageNoAnswer);
    case kLprQueueRefused:
      return ShowRetryDialog(port, kMessageQueueRefused);
    case kLprConnectFailed:
    case kRawConnectFailed:
      return port->Reconnection ? 1 : Restart(port);
    case kIppForbidden:
      return TellAndStop(port, "IDS_IPP_FORBIDDEN");
    case kIppNotAuthenticated:
    case kIppNotAuthorized: {
      ClosePrompt(port);
      if (g_monitor.hooks.password_dialog != nullptr && g_monitor.hooks.password_dialog(port) == 1)
        return 1;
      Box("IDS_IPP_NOT_AUTHORIZED", kStop);
      return 0;
    }
    default:
      return Restart(port);
  }
}

}  // namespace monitor

#include "core/retry.h"

namespace core {

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

void ClosePrompt(PortEntry* port) {
  if (!port->prompt_running) return;
  {
    Locked lock;
    port->prompt_state = kPromptClose;
  }
  WaitUntil([port] { return !port->prompt_running || port->prompt_state == kPromptStop; });
  port->prompt_running = 0;
}

}  // namespace core

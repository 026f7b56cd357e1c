// After a failed send a sender asks the retry decision what to do; the
// decision lives above the senders and is reached through its hook. The
// retry prompt it may open runs on a thread of its own and talks to the
// sender through the port's prompt fields, declared here for both sides.
#pragma once
#include "core/port_entry.h"
#include "core/state.h"

namespace core {

// PortEntry::prompt_state, written by both the sender and the prompt.
enum PromptState : std::uint8_t {
  kPromptStop = 0,       // up and waiting; after it ended: stop
  kPromptGoOn = 1,       // after it ended: retry
  kPromptClose = 2,      // the sender asks it to close
  kPromptUnanswered = 3  // up for 10 s; the sender retries under it
};

// PortEntry::prompt_message_id: which text the retry prompt shows.
enum PromptMessage : std::uint32_t {
  kMessageIppTimeoutSpare = 511,
  kMessageTimeout = 512,
  kMessageQueueRefused = 515,
  kMessagePrinterBusy = 516,
  kMessageNoAnswer = 519,
};
// The NIMMES.INI key for a prompt message id, or null.
const char* PromptMessageKey(std::uint32_t id);

// 1 go on, 0 stop, decided from the port's send_error.
inline int RetryPrompt(PortEntry* port) {
  return g_monitor.hooks.retry_prompt != nullptr ? g_monitor.hooks.retry_prompt(port) : 0;
}

// Asks an open retry prompt to close and waits for it.
void ClosePrompt(PortEntry* port);

}  // namespace core

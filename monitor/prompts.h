// What to do after a failed send: retry silently, tell the user and stop,
// ask, or show the retry prompt that stays up while the sender keeps trying.
#pragma once
#include "monitor/port_entry.h"

namespace monitor {

// Prompt states shared with the retry prompt's thread.
enum PromptState : std::uint8_t {
  kPromptStop = 0,       // up and waiting; after it ended: stop
  kPromptGoOn = 1,       // after it ended: retry
  kPromptClose = 2,      // the sender asks it to close
  kPromptUnanswered = 3  // up for 10 s; the sender retries under it
};

// Retry prompt message ids (NIMMES.INI keys by id).
enum PromptMessage : std::uint32_t {
  kMessageIppTimeoutSpare = 511,
  kMessageTimeout = 512,
  kMessageQueueRefused = 515,
  kMessagePrinterBusy = 516,
  kMessageNoAnswer = 519,
};
// The message key for a prompt message id, or null.
const char* PromptMessageKey(std::uint32_t id);

// 1 go on, 0 stop, decided from the port's send error code.
int RetryPrompt(PortEntry* port);

// Asks an open retry prompt to close and waits for it.
void ClosePrompt(PortEntry* port);

}  // namespace monitor

// Why a send failed: the one value a sender leaves in PortEntry::send_error
// for the retry decision (monitor/prompts.cpp). Each comment says what that
// decision does with it. 0 means nothing failed.
#pragma once
#include <cstdint>

namespace core {

enum SendOutcome : std::uint32_t {
  kSendOk = 0,

  // The socket layer.
  kSocketError = 1,  // a socket call failed outright: tell the user, stop
  kTimedOut = 2,     // no progress within the time-out: the retry prompt
                     // ("IDS_LPR_RETRY"), the sender goes on under it

  // IPP ports.
  kIppNoAnswer = 100,           // no usable answer to a status query: retry at once
  kIppConnectFailed = 101,      // no connection: retry at once with "Reconnection",
                                // else ask ("IDS_IPP_TIMEOUT")
  kIppExchangeFailed = 102,     // a broken or cut exchange: tell the user, stop
  kIppPrinterProcessing = 103,  // busy: retry at once unless it also reports an
                                // error or is offline, then the retry prompt
  kIppPrinterStopped = 104,     // stopped: report its state, the retry prompt
  kIppExchangeTimedOut = 105,   // an exchange ran out of time: the retry prompt
  kIppNotAccepting = 106,       // not accepting jobs: retry at once (the check
                                // has already waited)
  kIppBadSettings = 107,        // the URL or proxy names no usable host and
                                // port: tell the user, stop

  // LPR ports.
  kLprNack = 200,           // a step was refused: start again from the first byte, asking
  kLprQueueRefused = 201,   // the queue was refused: the retry prompt
  kLprHeaderFailed = 202,   // the header exchange broke: retry at once
  kLprConnectFailed = 203,  // no connection: retry at once with "Reconnection",
                            // else start again from the first byte, asking

  // Raw ports.
  kRawConnectFailed = 300,  // as kLprConnectFailed

  // A refused IPP request keeps the printer's status code. Between these
  // two, codes not named here are shown to the user with their number and
  // the job stops; anything else starts again from the first byte, asking.
  kIppErrorFirst = 0x0400,
  kIppForbidden = 0x0401,         // tell the user, stop
  kIppNotAuthenticated = 0x0402,  // also an HTTP 401: ask for a user name and password
  kIppNotAuthorized = 0x0403,     // as kIppNotAuthenticated
  kIppErrorLast = 0x0508,
};

// IPP status codes up to this one report success (successful-ok and its two
// variants); from here on the code is the request's failure.
inline constexpr std::uint32_t kIppLastSuccessStatus = 0x0002;

inline bool IsIppErrorStatus(std::uint32_t code) {
  return code >= kIppErrorFirst && code <= kIppErrorLast;
}

}  // namespace core

// The send and end-of-document procedures of LPR and Raw ports.
#pragma once
#include "monitor/port_entry.h"

namespace transport {

// LPR send error codes.
enum : std::uint32_t {
  kLprNack = 200,
  kLprQueueRefused = 201,
  kLprHeaderFailed = 202,
  kLprConnectFailed = 203,
};
inline constexpr std::uint32_t kRawConnectFailed = 300;

bool LprWrite(monitor::PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written);
bool LprEnd(monitor::PortEntry* port);

bool RawWrite(monitor::PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written);
bool RawEnd(monitor::PortEntry* port);

}  // namespace transport

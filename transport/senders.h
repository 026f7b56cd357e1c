// The send and end-of-document procedures of LPR and Raw ports.
#pragma once
#include "core/port_entry.h"

namespace transport {

bool LprWrite(core::PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written);
bool LprEnd(core::PortEntry* port);

bool RawWrite(core::PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written);
bool RawEnd(core::PortEntry* port);

}  // namespace transport

// IPP/1.0 messages in the binary encoding of RFC 2910: the two requests the
// monitor sends and the few answers it reads. Platform-free; the only
// Windows calls, the code page conversions, come in through Codepage.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/port_entry.h"

namespace ipp {

// PRINTER_STATUS_* of winspool.h, under names that its macros cannot touch.
inline constexpr std::uint32_t kPrinterStatusError = 0x00000002;
inline constexpr std::uint32_t kPrinterStatusPaperJam = 0x00000008;
inline constexpr std::uint32_t kPrinterStatusPaperOut = 0x00000010;
inline constexpr std::uint32_t kPrinterStatusOffline = 0x00000080;
inline constexpr std::uint32_t kPrinterStatusOutputBinFull = 0x00000800;
inline constexpr std::uint32_t kPrinterStatusProcessing = 0x00004000;
inline constexpr std::uint32_t kPrinterStatusTonerLow = 0x00020000;
inline constexpr std::uint32_t kPrinterStatusNoToner = 0x00040000;
inline constexpr std::uint32_t kPrinterStatusUserIntervention = 0x00100000;
inline constexpr std::uint32_t kPrinterStatusDoorOpen = 0x00400000;
#ifdef PRINTER_STATUS_DOOR_OPEN
static_assert(kPrinterStatusError == PRINTER_STATUS_ERROR &&
              kPrinterStatusPaperJam == PRINTER_STATUS_PAPER_JAM &&
              kPrinterStatusPaperOut == PRINTER_STATUS_PAPER_OUT &&
              kPrinterStatusOffline == PRINTER_STATUS_OFFLINE &&
              kPrinterStatusOutputBinFull == PRINTER_STATUS_OUTPUT_BIN_FULL &&
              kPrinterStatusProcessing == PRINTER_STATUS_PROCESSING &&
              kPrinterStatusTonerLow == PRINTER_STATUS_TONER_LOW &&
              kPrinterStatusNoToner == PRINTER_STATUS_NO_TONER &&
              kPrinterStatusUserIntervention == PRINTER_STATUS_USER_INTERVENTION &&
              kPrinterStatusDoorOpen == PRINTER_STATUS_DOOR_OPEN);
#endif


// Conversions between the OEM code page and UTF-16, injected so that this
// code stays free of Windows calls. Each returns the number of units or
// bytes it wrote (a terminating zero among them is allowed), never more
// than capacity, and 0 or less on failure. A null Codepage, or a null
// member, converts as ISO 8859-1.
struct Codepage {
  // text is zero-terminated.
  int (*oem_to_utf16)(const char* text, std::uint16_t* out, int capacity);
  int (*utf16_to_oem)(const std::uint16_t* text, int count, char* out, int capacity);
};

inline constexpr std::size_t kMakeAndModelSize = 1024;
// Longest UTF-8 form sent of a user or document name: name(MAX) of RFC 2911.
inline constexpr std::size_t kMaxNameOctets = 255;

// The largest requests that can be built, with every field and name full.
inline constexpr std::size_t kGetPrinterAttributesMax = 732;
inline constexpr std::size_t kPrintJobMax = 1203;

// Get-Printer-Attributes (mode 0: printer-make-and-model; 1: printer-state,
// printer-state-reasons, printer-is-accepting-jobs; 2: printer-state,
// printer-state-reasons) for Ipp(port)->URL, with the port's user name if
// it has one. Uses and advances the port's request id. Returns the length,
// or 0 if the request does not fit out_size or the mode is unknown.
std::size_t BuildGetPrinterAttributes(core::PortEntry* port, int mode, std::uint8_t* out,
                                      std::size_t out_size, const Codepage* codepage);

// Print-Job with the user and document names the port has, and job-sheets
// "standard" when JobSheets is set; the document data follows it. Uses and
// advances the port's request id. Returns the length, or 0 if it does not fit.
std::size_t BuildPrintJob(core::PortEntry* port, std::uint8_t* out, std::size_t out_size,
                          const Codepage* codepage);

// Reads a response body: sets port->send_error to kIppExchangeFailed when it
// is short or an element runs past its end, to the IPP status code when that
// is not a success (nothing else is read then), and from printer-state
// (3 idle: 0, 4 processing: kIppPrinterProcessing, 5 stopped:
// kIppPrinterStopped); otherwise leaves it.
// Rebuilds port->printer_status and the severity bits from
// printer-state-reasons, and sets the accepting flag, the IPP job id and the
// make-and-model text (when the port has that buffer) from the answer.
void DecodeIppResponse(core::PortEntry* port, const std::uint8_t* body, std::uint32_t length,
                       const Codepage* codepage);

// PRINTER_STATUS_* bits of one printer-state-reasons keyword; *severity gets
// its severity bit ("none": core::kSeverityBitNone; a "-report", "-warning" or
// "-error" suffix), or 0.
std::uint32_t MapStateReason(const char* keyword, std::uint16_t* severity);

}  // namespace ipp

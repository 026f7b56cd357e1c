// Which registry values each kind of port keeps, where each lives in the
// kind's protocol block, and how creating a key, loading it and making a
// new entry treat it. Every place that needs this knowledge reads it here.
// Platform-free, so the Linux tests can hold it against the block layouts.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/port_entry.h"

namespace core {

inline constexpr std::uint32_t kLprTimeout = 900000;  // also Raw ports
inline constexpr std::uint32_t kIppTimeout = 180000;
inline constexpr std::uint32_t kDefaultSendBufSize = 16384;
inline constexpr std::uint32_t kDefaultMaxChunk = 4096;
inline constexpr std::uint32_t kDefaultDivideSize = 50;

enum class ValueType : std::uint8_t {
  kDword,        // REG_DWORD, 32-bit field
  kWord,         // REG_DWORD, 16-bit field (the value is cut to it)
  kString,       // REG_SZ written without its zero; a text field of `size` bytes
  kBinaryText,   // REG_BINARY holding a text without its zero
  kIppPassword,  // REG_BINARY, counted and offset; the field holds the clear text
};

// What a new port key gets.
enum class OnCreate : std::uint8_t {
  kSettings,  // the value from the new port's settings
  kDefault,   // `fallback` for a number; empty for a text; one zero byte
              // for the IPP password
};

// What a new entry in the port table gets.
enum class OnCopy : std::uint8_t { kSettings, kDefault, kNothing };

// What loading does before it reads the value. Either way a value that is
// missing, mistyped or too long leaves the field as it then is.
enum class OnLoad : std::uint8_t {
  kKeep,   // the field keeps what it had
  kReset,  // the field first takes the default (a text: empty), even when
           // the condition below keeps the value from being read
};

// When a value is loaded, or copied into a new entry; decided on the block
// as loaded so far (conditional values are read after all others) or on the
// settings being copied.
enum class Condition : std::uint8_t {
  kAlways,
  kWhenBase64,   // Basic authentication is on
  kWhenPrinted,  // the mail body is printed and fixed: NoPrint and EditBody both 0
};

struct PortValue {
  const char* name;
  ValueType type;
  std::uint16_t offset;  // in the kind's protocol block
  std::uint16_t size;    // of the field
  std::uint32_t fallback;
  OnCreate create;
  OnCopy copy;
  OnLoad load;
  Condition condition;
};

struct KindValues {
  const PortValue* values;
  std::size_t count;
  std::size_t block_size;
  // "CmdTmout" and "DatTmout" of a new key or entry; 0: the kind has none.
  std::uint32_t timeout;
};

// The table of a kind; null for kinds without a protocol block.
const KindValues* ValuesOf(std::uint32_t kind);

// Size of the protocol block of a kind; 0 for kinds that have none.
std::size_t BlockSize(std::uint32_t kind);

// Whether `v` is read or copied, judged on `block` (the kind's layout).
bool ConditionHolds(const PortValue& v, const void* block);

// Gives the field of `v` in `block` its default (a text: empty).
void SetDefault(const PortValue& v, void* block);

// Fills a zero-filled block from `settings` (same layout; null: empty
// settings) as a new entry's block is filled.
void CopySettings(std::uint32_t kind, void* block, const void* settings);

}  // namespace core

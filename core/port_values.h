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
  kMailPassword, // REG_BINARY, scrambled, without its zero; the field holds it
                 // scrambled, except in the configure dialog (see below)
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

// What the configure dialog writes when the user presses OK or Apply.
enum class OnConfigure : std::uint8_t {
  kNothing,     // the dialog does not change it
  kValue,       // as its type is written: a text without its zero
  kWholeField,  // a text as the whole field, its zero and the rest included
};

// When a value is loaded, copied into a new entry or written by the
// configure dialog; decided on the block as loaded so far (conditional
// values are read after all others) or on the settings being copied or
// written.
enum class Condition : std::uint8_t {
  kAlways,
  kWhenBase64,       // Basic authentication is on
  kWhenPrinted,      // the mail body is printed and fixed: NoPrint and EditBody both 0
  kWhenBodyPrinted,  // NoPrint is 0
  kWhenProxy,        // UseProxy is set
  kWhenChunked,      // Chunked is set
  kWhenDivided,      // DivideFile is set
  kWhenAuthenticated,  // AuthType is set
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
  Condition condition;  // of the load and the copy
  OnConfigure configure;
  Condition configured_when;
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

// Whether `condition` holds for `block` (the kind's layout).
bool ConditionHolds(Condition condition, const void* block);

// Whether `v` is read or copied, judged on `block`.
inline bool ConditionHolds(const PortValue& v, const void* block) {
  return ConditionHolds(v.condition, block);
}

// Whether the configure dialog writes `v`, judged on the settings it writes.
inline bool IsConfigured(const PortValue& v, const void* block) {
  return v.configure != OnConfigure::kNothing && ConditionHolds(v.configured_when, block);
}

// The text length of a text field, never past its last byte.
std::size_t FieldTextLength(const PortValue& v, const void* block);

// Gives the field of `v` in `block` its default (a text: empty).
void SetDefault(const PortValue& v, void* block);

// Fills a zero-filled block from `settings` (same layout; null: empty
// settings) as a new entry's block is filled.
void CopySettings(std::uint32_t kind, void* block, const void* settings);

}  // namespace core

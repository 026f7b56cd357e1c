#include "core/port_values.h"

namespace core {
namespace {

using T = ValueType;
constexpr OnCreate kFromSettings = OnCreate::kSettings;
constexpr OnCreate kNewDefault = OnCreate::kDefault;
constexpr OnCopy kCopy = OnCopy::kSettings;
constexpr OnCopy kCopyDefault = OnCopy::kDefault;
constexpr OnCopy kNoCopy = OnCopy::kNothing;
constexpr OnLoad kKeep = OnLoad::kKeep;
constexpr OnLoad kReset = OnLoad::kReset;
constexpr Condition kAlways = Condition::kAlways;

// Block fields carry their registry value's name, so a row names both.
#define VALUE(Block, field, type, fallback, create, copy, load, condition)                  \
  PortValue {                                                                                \
    #field, type, static_cast<std::uint16_t>(offsetof(Block, field)),                        \
        static_cast<std::uint16_t>(sizeof(Block::field)), fallback, create, copy, load,      \
        condition                                                                            \
  }

// Rows in the order a new key is written.
constexpr PortValue kLprValues[] = {
    VALUE(LprBlock, HostName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(LprBlock, PortName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(LprBlock, PortNum, T::kWord, 0, kFromSettings, kCopy, kKeep, kAlways),
    // A key without it sends from reserved ports first and then from any.
    VALUE(LprBlock, NonRFCPorts, T::kDword, 1, kNewDefault, kCopyDefault, kReset, kAlways),
    VALUE(LprBlock, NonByteCount, T::kDword, 0, kNewDefault, kCopyDefault, kKeep, kAlways),
};

constexpr Condition kBase64 = Condition::kWhenBase64;
constexpr PortValue kIppValues[] = {
    VALUE(IppBlock, URL, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(IppBlock, UseProxy, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(IppBlock, ProxyName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(IppBlock, ProxyNum, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(IppBlock, Chunked, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(IppBlock, MaxChunk, T::kDword, kDefaultMaxChunk, kNewDefault, kCopyDefault, kKeep,
          kAlways),
    VALUE(IppBlock, Language, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(IppBlock, Base64, T::kDword, 0, kNewDefault, kCopyDefault, kKeep, kAlways),
    // Credentials are only ever in memory while Basic authentication is on.
    VALUE(IppBlock, UserName, T::kString, 0, kNewDefault, kNoCopy, kReset, kBase64),
    VALUE(IppBlock, PassWord, T::kIppPassword, 0, kNewDefault, kNoCopy, kReset, kBase64),
    VALUE(IppBlock, JobSheets, T::kDword, 0, kNewDefault, kCopyDefault, kKeep, kAlways),
};

constexpr PortValue kRawValues[] = {
    VALUE(RawBlock, HostName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(RawBlock, PortNum, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways),
};

constexpr Condition kPrinted = Condition::kWhenPrinted;
constexpr PortValue kMailValues[] = {
    VALUE(MailBlock, SmtpServer, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(MailBlock, FromName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(MailBlock, FromAddr, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(MailBlock, ToAddr, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    // A body typed at each print, or none printed: nothing fixed to keep.
    VALUE(MailBlock, Subject, T::kBinaryText, 0, kFromSettings, kCopy, kReset, kPrinted),
    VALUE(MailBlock, Body, T::kBinaryText, 0, kFromSettings, kCopy, kReset, kPrinted),
    VALUE(MailBlock, Signature, T::kBinaryText, 0, kFromSettings, kCopy, kReset, kPrinted),
    VALUE(MailBlock, NoPrint, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(MailBlock, EditBody, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(MailBlock, DivideFile, T::kDword, 0, kFromSettings, kCopyDefault, kKeep, kAlways),
    VALUE(MailBlock, DivideSize, T::kDword, kDefaultDivideSize, kFromSettings, kCopyDefault,
          kKeep, kAlways),
    VALUE(MailBlock, CharCode, T::kWord, 0, kFromSettings, kCopy, kKeep, kAlways),
    VALUE(MailBlock, AuthID, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways),
    // Kept scrambled, in memory as in the registry.
    VALUE(MailBlock, AuthPass, T::kBinaryText, 0, kFromSettings, kCopy, kReset, kAlways),
    VALUE(MailBlock, AuthType, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways),
};

#undef VALUE

template <std::size_t N>
constexpr KindValues Kind(const PortValue (&values)[N], std::size_t block_size,
                          std::uint32_t timeout) {
  return {values, N, block_size, timeout};
}

constexpr KindValues kKinds[] = {
    Kind(kLprValues, sizeof(LprBlock), kLprTimeout),
    Kind(kIppValues, sizeof(IppBlock), kIppTimeout),
    Kind(kRawValues, sizeof(RawBlock), kLprTimeout),
    Kind(kMailValues, sizeof(MailBlock), 0),
};
static_assert(sizeof(kKinds) / sizeof(kKinds[0]) == kMail + 1);

template <typename Number>
Number Read(const void* block, std::size_t offset) {
  Number n;
  const auto* from = static_cast<const std::uint8_t*>(block) + offset;
  auto* to = reinterpret_cast<std::uint8_t*>(&n);
  for (std::size_t i = 0; i < sizeof(n); ++i) to[i] = from[i];
  return n;
}

template <typename Number>
void Write(void* block, std::size_t offset, Number n) {
  auto* to = static_cast<std::uint8_t*>(block) + offset;
  const auto* from = reinterpret_cast<const std::uint8_t*>(&n);
  for (std::size_t i = 0; i < sizeof(n); ++i) to[i] = from[i];
}

}  // namespace

const KindValues* ValuesOf(std::uint32_t kind) { return kind <= kMail ? &kKinds[kind] : nullptr; }

std::size_t BlockSize(std::uint32_t kind) {
  const KindValues* k = ValuesOf(kind);
  return k != nullptr ? k->block_size : 0;
}

bool ConditionHolds(const PortValue& v, const void* block) {
  switch (v.condition) {
    case Condition::kWhenBase64:
      return static_cast<const IppBlock*>(block)->Base64 != 0;
    case Condition::kWhenPrinted: {
      const auto* mail = static_cast<const MailBlock*>(block);
      return mail->NoPrint == 0 && mail->EditBody == 0;
    }
    case Condition::kAlways:
      break;
  }
  return true;
}

void SetDefault(const PortValue& v, void* block) {
  switch (v.type) {
    case ValueType::kDword: Write(block, v.offset, v.fallback); break;
    case ValueType::kWord: Write(block, v.offset, static_cast<std::uint16_t>(v.fallback)); break;
    default:
      for (std::size_t i = 0; i < v.size; ++i) static_cast<std::uint8_t*>(block)[v.offset + i] = 0;
      break;
  }
}

void CopySettings(std::uint32_t kind, void* block, const void* settings) {
  const KindValues* k = ValuesOf(kind);
  if (k == nullptr) return;
  for (std::size_t i = 0; i < k->count; ++i) {
    const PortValue& v = k->values[i];
    if (v.copy == OnCopy::kDefault) SetDefault(v, block);
    // Empty settings: the zero-filled block already holds them.
    if (v.copy != OnCopy::kSettings || settings == nullptr || !ConditionHolds(v, settings))
      continue;
    switch (v.type) {
      case ValueType::kDword: Write(block, v.offset, Read<std::uint32_t>(settings, v.offset)); break;
      case ValueType::kWord: Write(block, v.offset, Read<std::uint16_t>(settings, v.offset)); break;
      default: {
        // Never read past the field, terminated or not.
        const auto* from = static_cast<const char*>(settings) + v.offset;
        auto* to = static_cast<char*>(block) + v.offset;
        std::size_t n = 0;
        for (; n + 1 < v.size && from[n] != '\0'; ++n) to[n] = from[n];
        to[n] = '\0';
        break;
      }
    }
  }
}

}  // namespace core

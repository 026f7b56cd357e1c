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

constexpr OnConfigure kNoWrite = OnConfigure::kNothing;
constexpr OnConfigure kWrite = OnConfigure::kValue;
constexpr OnConfigure kWhole = OnConfigure::kWholeField;

// Block fields carry their registry value's name, so a row names both.
#define VALUE(Block, field, type, fallback, create, copy, load, condition, configure, when) \
  PortValue {                                                                                \
    #field, type, static_cast<std::uint16_t>(offsetof(Block, field)),                        \
        static_cast<std::uint16_t>(sizeof(Block::field)), fallback, create, copy, load,      \
        condition, configure, when                                                           \
  }

// Rows in the order a new key is written. The last two columns are what the
// configure dialog writes, and when.
constexpr PortValue kLprValues[] = {
    VALUE(LprBlock, HostName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kNoWrite,
          kAlways),
    VALUE(LprBlock, PortName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kNoWrite,
          kAlways),
    VALUE(LprBlock, PortNum, T::kWord, 0, kFromSettings, kCopy, kKeep, kAlways, kNoWrite, kAlways),
    // A key without it sends from reserved ports first and then from any.
    VALUE(LprBlock, NonRFCPorts, T::kDword, 1, kNewDefault, kCopyDefault, kReset, kAlways,
          kNoWrite, kAlways),
    VALUE(LprBlock, NonByteCount, T::kDword, 0, kNewDefault, kCopyDefault, kKeep, kAlways, kWrite,
          kAlways),
};

constexpr Condition kBase64 = Condition::kWhenBase64;
constexpr Condition kProxy = Condition::kWhenProxy;
constexpr Condition kChunked = Condition::kWhenChunked;
// IPP texts are written as their whole fields, zeros after the text included.
constexpr PortValue kIppValues[] = {
    VALUE(IppBlock, URL, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWhole, kAlways),
    VALUE(IppBlock, UseProxy, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kAlways),
    VALUE(IppBlock, ProxyName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWhole,
          kProxy),
    VALUE(IppBlock, ProxyNum, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite, kProxy),
    VALUE(IppBlock, Chunked, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite, kAlways),
    VALUE(IppBlock, MaxChunk, T::kDword, kDefaultMaxChunk, kNewDefault, kCopyDefault, kKeep,
          kAlways, kWrite, kChunked),
    VALUE(IppBlock, Language, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWhole,
          kAlways),
    VALUE(IppBlock, Base64, T::kDword, 0, kNewDefault, kCopyDefault, kKeep, kAlways, kWrite,
          kAlways),
    // Credentials are only ever in memory while Basic authentication is on.
    VALUE(IppBlock, UserName, T::kString, 0, kNewDefault, kNoCopy, kReset, kBase64, kWhole,
          kBase64),
    VALUE(IppBlock, PassWord, T::kIppPassword, 0, kNewDefault, kNoCopy, kReset, kBase64, kWrite,
          kBase64),
    VALUE(IppBlock, JobSheets, T::kDword, 0, kNewDefault, kCopyDefault, kKeep, kAlways, kNoWrite,
          kAlways),
};

constexpr PortValue kRawValues[] = {
    VALUE(RawBlock, HostName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kNoWrite,
          kAlways),
    VALUE(RawBlock, PortNum, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways, kNoWrite,
          kAlways),
};

constexpr Condition kPrinted = Condition::kWhenPrinted;
constexpr Condition kBodyPrinted = Condition::kWhenBodyPrinted;
constexpr Condition kDivided = Condition::kWhenDivided;
constexpr Condition kAuthenticated = Condition::kWhenAuthenticated;
constexpr PortValue kMailValues[] = {
    VALUE(MailBlock, SmtpServer, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kAlways),
    VALUE(MailBlock, FromName, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kAlways),
    VALUE(MailBlock, FromAddr, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kAlways),
    VALUE(MailBlock, ToAddr, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kAlways),
    // A body typed at each print, or none printed: nothing fixed to keep.
    VALUE(MailBlock, Subject, T::kBinaryText, 0, kFromSettings, kCopy, kReset, kPrinted, kWrite,
          kPrinted),
    VALUE(MailBlock, Body, T::kBinaryText, 0, kFromSettings, kCopy, kReset, kPrinted, kWrite,
          kPrinted),
    VALUE(MailBlock, Signature, T::kBinaryText, 0, kFromSettings, kCopy, kReset, kPrinted, kWrite,
          kPrinted),
    VALUE(MailBlock, NoPrint, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite, kAlways),
    VALUE(MailBlock, EditBody, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kBodyPrinted),
    VALUE(MailBlock, DivideFile, T::kDword, 0, kFromSettings, kCopyDefault, kKeep, kAlways, kWrite,
          kAlways),
    VALUE(MailBlock, DivideSize, T::kDword, kDefaultDivideSize, kFromSettings, kCopyDefault,
          kKeep, kAlways, kWrite, kDivided),
    VALUE(MailBlock, CharCode, T::kWord, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite, kAlways),
    VALUE(MailBlock, AuthID, T::kString, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kAuthenticated),
    VALUE(MailBlock, AuthPass, T::kMailPassword, 0, kFromSettings, kCopy, kReset, kAlways, kWrite,
          kAuthenticated),
    VALUE(MailBlock, AuthType, T::kDword, 0, kFromSettings, kCopy, kKeep, kAlways, kWrite,
          kAlways),
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

bool ConditionHolds(Condition condition, const void* block) {
  const auto* ipp = static_cast<const IppBlock*>(block);
  const auto* mail = static_cast<const MailBlock*>(block);
  switch (condition) {
    case Condition::kWhenBase64: return ipp->Base64 != 0;
    case Condition::kWhenProxy: return ipp->UseProxy != 0;
    case Condition::kWhenChunked: return ipp->Chunked != 0;
    case Condition::kWhenPrinted: return mail->NoPrint == 0 && mail->EditBody == 0;
    case Condition::kWhenBodyPrinted: return mail->NoPrint == 0;
    case Condition::kWhenDivided: return mail->DivideFile != 0;
    case Condition::kWhenAuthenticated: return mail->AuthType != 0;
    case Condition::kAlways: break;
  }
  return true;
}

std::size_t FieldTextLength(const PortValue& v, const void* block) {
  const char* text = static_cast<const char*>(block) + v.offset;
  std::size_t n = 0;
  while (n < v.size && text[n] != '\0') ++n;
  return n;
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

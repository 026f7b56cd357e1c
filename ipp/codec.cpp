#include "ipp/codec.h"

#include "core/outcome.h"
#include "core/text.h"

namespace ipp {
namespace {

using core::IppBlock;
using core::PortEntry;

enum Tag : std::uint8_t {
  kOperationGroup = 0x01,
  kJobGroup = 0x02,
  kEndOfAttributes = 0x03,
  kInteger = 0x21,
  kBoolean = 0x22,
  kEnum = 0x23,
  kTextWithLanguage = 0x35,
  kNameWithLanguage = 0x36,
  kTextWithoutLanguage = 0x41,
  kNameWithoutLanguage = 0x42,
  kKeyword = 0x44,
  kUri = 0x45,
  kCharset = 0x47,
  kNaturalLanguage = 0x48,
  kMimeMediaType = 0x49,
  kExtension = 0x7F,
};

enum Charset { kAscii = 0, kIso2022Jp = 1, kShiftJis = 2, kEucJp = 3, kUcs2 = 4, kUtf8 = 5 };

// ---------------------------------------------------------------------------
// Code page conversions

int Latin1ToUtf16(const char* text, std::uint16_t* out, int capacity) {
  int n = 0;
  while (n < capacity && text[n] != '\0') {
    out[n] = static_cast<std::uint8_t>(text[n]);
    ++n;
  }
  return n;
}

int Utf16ToLatin1(const std::uint16_t* text, int count, char* out, int capacity) {
  int n = 0;
  for (; n < count && n < capacity; ++n)
    out[n] = text[n] < 0x100 ? static_cast<char>(text[n]) : '?';
  return n;
}

int ToUtf16(const Codepage* cp, const char* text, std::uint16_t* out, int capacity) {
  auto convert = cp != nullptr && cp->oem_to_utf16 != nullptr ? cp->oem_to_utf16 : Latin1ToUtf16;
  int n = convert(text, out, capacity);
  if (n < 0) return 0;
  return n < capacity ? n : capacity;
}

// Converts count units into out and terminates it (out_size > 0).
void FromUtf16(const Codepage* cp, const std::uint16_t* units, int count, char* out,
               std::size_t out_size) {
  auto convert = cp != nullptr && cp->utf16_to_oem != nullptr ? cp->utf16_to_oem : Utf16ToLatin1;
  int capacity = static_cast<int>(out_size - 1);
  int n = count > 0 ? convert(units, count, out, capacity) : 0;
  if (n < 0) n = 0;
  if (n > capacity) n = capacity;
  out[n] = '\0';
}

// A user or document name in UTF-8, cut at a character boundary so that it
// stays within name(MAX). Returns the byte count.
std::size_t NameToUtf8(const char* text, const Codepage* cp, std::uint8_t out[kMaxNameOctets]) {
  // Each OEM byte makes at most one UTF-16 unit, and each unit at least one
  // UTF-8 byte, so more input than this could never be sent. The conversion
  // is given no more: it would rather fail than convert part of a text.
  char cut[kMaxNameOctets + 1];
  core::CopyText(cut, sizeof(cut), text);
  std::uint16_t units[kMaxNameOctets + 1];
  int count = ToUtf16(cp, cut, units, static_cast<int>(kMaxNameOctets + 1));

  std::size_t at = 0;
  for (int i = 0; i < count && units[i] != 0; ++i) {
    std::uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // half a pair is not a character; printers check UTF-8
    }
    std::uint8_t bytes[4];
    std::size_t n;
    if (c < 0x80) {
      bytes[0] = static_cast<std::uint8_t>(c);
      n = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<std::uint8_t>(0xC0 | c >> 6);
      bytes[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      n = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<std::uint8_t>(0xE0 | c >> 12);
      bytes[1] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
      bytes[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      n = 3;
    } else {
      bytes[0] = static_cast<std::uint8_t>(0xF0 | c >> 18);
      bytes[1] = static_cast<std::uint8_t>(0x80 | (c >> 12 & 0x3F));
      bytes[2] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
      bytes[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      n = 4;
    }
    if (at + n > kMaxNameOctets) break;
    for (std::size_t k = 0; k < n; ++k) out[at++] = bytes[k];
  }
  return at;
}

// UTF-16 units of a UTF-8 text. A byte that does not start a well-formed
// sequence becomes U+FFFD, so the output can never run ahead of the input.
int Utf8ToUtf16(const std::uint8_t* in, std::uint32_t length, std::uint16_t* out, int capacity) {
  int n = 0;
  std::uint32_t i = 0;
  while (i < length && n < capacity) {
    std::uint32_t c = in[i];
    std::uint32_t extra = 0;
    bool ok = true;
    if (c >= 0xF5 || (c >= 0x80 && c < 0xC2)) {
      ok = false;  // a continuation byte, an overlong lead, or beyond U+10FFFF
    } else if (c >= 0xF0) {
      extra = 3;
      c &= 0x07;
    } else if (c >= 0xE0) {
      extra = 2;
      c &= 0x0F;
    } else if (c >= 0x80) {
      extra = 1;
      c &= 0x1F;
    }
    if (length - i <= extra) ok = false;
    for (std::uint32_t k = 1; ok && k <= extra; ++k) {
      if ((in[i + k] & 0xC0) != 0x80) ok = false;
      c = c << 6 | (in[i + k] & 0x3F);
    }
    if (!ok) {
      out[n++] = 0xFFFD;
      ++i;
      continue;
    }
    i += extra + 1;
    if (c >= 0x10000) {
      if (n + 2 > capacity) break;
      c -= 0x10000;
      out[n++] = static_cast<std::uint16_t>(0xD800 + (c >> 10));
      out[n++] = static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out[n++] = static_cast<std::uint16_t>(c);
    }
  }
  return n;
}

// A text value of the response in the OEM code page, terminated, in out.
void DecodeText(const std::uint8_t* in, std::uint32_t length, int charset, const Codepage* cp,
                char* out, std::size_t out_size) {
  // A double-byte OEM code page needs up to two bytes a unit.
  constexpr int kMaxUnits = static_cast<int>(kMakeAndModelSize / 2 - 1);
  std::uint16_t units[kMaxUnits];
  int count = 0;
  switch (charset) {
    case kUtf8:
      count = Utf8ToUtf16(in, length, units, kMaxUnits);
      break;
    case kUcs2:
      for (std::uint32_t i = 0; i + 1 < length && count < kMaxUnits; i += 2)
        units[count++] = static_cast<std::uint16_t>(in[i] << 8 | in[i + 1]);
      break;
    case kIso2022Jp:
    case kEucJp:
      // No converter for these; their bytes would show as garbage.
      out[0] = '\0';
      return;
    default: {
      std::size_t n = 0;
      for (; n < length && n + 1 < out_size; ++n) out[n] = static_cast<char>(in[n]);
      out[n] = '\0';
      return;
    }
  }
  for (int i = 0; i < count; ++i) {
    if (units[i] == 0) count = i;  // the text ends at a zero, as it would for any reader
  }
  FromUtf16(cp, units, count, out, out_size);
}

struct CharsetName {
  const char* name;
  int code;
};

constexpr CharsetName kCharsets[] = {
    {"us-ascii", kAscii},        {"us", kAscii},
    {"ascii", kAscii},           {"utf-8", kUtf8},
    {"iso-2022-jp", kIso2022Jp}, {"x-jis", kIso2022Jp},
    {"shift_jis", kShiftJis},    {"x-sjis", kShiftJis},
    {"ms_kanji", kShiftJis},     {"euc-jp", kEucJp},
    {"x-euc", kEucJp},           {"iso-10646-ucs-2", kUcs2},
    {"csUnicode", kUcs2},
};

bool SameNoCase(const std::uint8_t* bytes, std::uint32_t length, const char* text) {
  if (length != core::TextLength(text)) return false;
  return core::EqualNoCaseN(reinterpret_cast<const char*>(bytes), text, length);
}

// Unknown charsets are passed through as they are: no guess is better.
int CharsetCode(const std::uint8_t* name, std::uint32_t length) {
  for (const CharsetName& c : kCharsets)
    if (SameNoCase(name, length, c.name)) return c.code;
  return kAscii;
}

// ---------------------------------------------------------------------------
// Requests

struct Writer : core::ByteWriter {
  // One attribute after its value tag: name (or an additional value when
  // null) and value.
  void Attribute(std::uint8_t tag, const char* name, const std::uint8_t* value,
                 std::size_t length) {
    Byte(tag);
    std::size_t name_length = name != nullptr ? core::TextLength(name) : 0;
    U16(static_cast<std::uint32_t>(name_length));
    for (std::size_t i = 0; i < name_length; ++i) Byte(static_cast<std::uint8_t>(name[i]));
    U16(static_cast<std::uint32_t>(length));
    for (std::size_t i = 0; i < length; ++i) Byte(value[i]);
  }
  void Attribute(std::uint8_t tag, const char* name, const char* value) {
    Attribute(tag, name, reinterpret_cast<const std::uint8_t*>(value), core::TextLength(value));
  }
  // A text field of the block, never read past the field.
  template <std::size_t N>
  void FieldAttribute(std::uint8_t tag, const char* name, const char (&field)[N]) {
    std::size_t length = 0;
    while (length + 1 < N && field[length] != '\0') ++length;
    Attribute(tag, name, reinterpret_cast<const std::uint8_t*>(field), length);
  }
  void NameAttribute(const char* name, const char* text, const Codepage* cp) {
    std::uint8_t utf8[kMaxNameOctets];
    std::size_t length = NameToUtf8(text, cp, utf8);
    Attribute(kNameWithoutLanguage, name, utf8, length);
  }
};

void WriteRequestStart(Writer* w, IppBlock* ipp, std::uint16_t operation) {
  w->Byte(1);
  w->Byte(0);
  w->U16(operation);
  w->U32(ipp->request_id++);
  w->Byte(kOperationGroup);
  w->Attribute(kCharset, "attributes-charset", "utf-8");
  if (ipp->Language[0] != '\0') {
    w->FieldAttribute(kNaturalLanguage, "attributes-natural-language", ipp->Language);
  } else {
    // An empty natural language is refused by printers; say what the
    // names are most likely in.
    w->Attribute(kNaturalLanguage, "attributes-natural-language", "en-us");
  }
  w->FieldAttribute(kUri, "printer-uri", ipp->URL);
}

bool HasText(const char* text) { return text != nullptr && text[0] != '\0'; }

std::size_t Finish(const Writer& w) { return w.overflow ? 0 : w.at; }

}  // namespace

std::size_t BuildGetPrinterAttributes(PortEntry* port, int mode, std::uint8_t* out,
                                      std::size_t out_size, const Codepage* codepage) {
  if (mode < 0 || mode > 2) return 0;
  Writer w{{out, out_size}};
  WriteRequestStart(&w, core::Ipp(port), 0x000B);
  if (HasText(port->user_name)) w.NameAttribute("requesting-user-name", port->user_name, codepage);
  if (mode == 0) {
    w.Attribute(kKeyword, "requested-attributes", "printer-make-and-model");
  } else {
    w.Attribute(kKeyword, "requested-attributes", "printer-state");
    w.Attribute(kKeyword, nullptr, "printer-state-reasons");
    if (mode == 1) w.Attribute(kKeyword, nullptr, "printer-is-accepting-jobs");
  }
  w.Byte(kEndOfAttributes);
  return Finish(w);
}

std::size_t BuildPrintJob(PortEntry* port, std::uint8_t* out, std::size_t out_size,
                          const Codepage* codepage) {
  Writer w{{out, out_size}};
  IppBlock* ipp = core::Ipp(port);
  WriteRequestStart(&w, ipp, 0x0002);
  if (HasText(port->user_name)) w.NameAttribute("requesting-user-name", port->user_name, codepage);
  if (HasText(port->document_name)) {
    w.NameAttribute("job-name", port->document_name, codepage);
    w.NameAttribute("document-name", port->document_name, codepage);
  }
  w.Byte(kJobGroup);
  if (ipp->JobSheets) w.Attribute(kKeyword, "job-sheets", "standard");
  w.Byte(kEndOfAttributes);
  return Finish(w);
}

// ---------------------------------------------------------------------------
// Responses

namespace {

struct ReasonRow {
  const char* name;
  std::uint32_t status;
};

constexpr ReasonRow kReasons[] = {
    {"other", kPrinterStatusError},
    {"media-needed", kPrinterStatusPaperOut},
    {"media-jam", kPrinterStatusPaperJam},
    {"paused", kPrinterStatusOffline},
    {"shutdown", kPrinterStatusError},
    {"connecting-to-device", 0},
    {"timed-out", kPrinterStatusError},
    {"stopping", kPrinterStatusUserIntervention},
    {"stopped-partly", 0},
    {"toner-low", kPrinterStatusTonerLow},
    {"toner-empty", kPrinterStatusNoToner},
    {"spool-area-full", 0},
    {"cover-open", kPrinterStatusDoorOpen},
    {"interlock-open", kPrinterStatusError},
    {"door-open", kPrinterStatusDoorOpen},
    {"input-tray-missing", kPrinterStatusError},
    {"media-low", 0},
    {"media-empty", kPrinterStatusPaperOut},
    {"output-tray-missing", kPrinterStatusError},
    {"output-area-almost-full", 0},
    {"output-area-full", kPrinterStatusOutputBinFull},
    {"marker-supply-low", 0},
    {"marker-supply-empty", kPrinterStatusError},
    {"marker-waste-almost-full", 0},
    {"marker-waste-full", kPrinterStatusError},
    {"fuser-over-temp", kPrinterStatusError},
    {"fuser-under-temp", kPrinterStatusError},
    {"opc-near-eol", 0},
    {"opc-life-over", 0},
    {"developer-low", 0},
    {"developer-empty", 0},
    {"interpreter-resource-unavailable", 0},
};

bool Same(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b)
    if (*a == '\0') return true;
  return false;
}

std::uint32_t BigEndian(const std::uint8_t* bytes, std::uint32_t count) {
  std::uint32_t value = 0;
  for (std::uint32_t i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

struct Value {
  std::uint32_t tag;
  const std::uint8_t* bytes;
  std::uint32_t length;
};

std::uint32_t IntegerOf(const Value& v) {
  if (v.tag == kInteger || v.tag == kBoolean || v.tag == kEnum) return BigEndian(v.bytes, v.length);
  return 0;
}

// The text part of a value and whether it is in the response's charset (or,
// for keywords and the like, plain bytes). Other tags give empty text.
void TextOf(const Value& v, const std::uint8_t** text, std::uint32_t* length, bool* charset) {
  *text = v.bytes;
  *length = 0;
  *charset = false;
  if (v.tag == kTextWithoutLanguage || v.tag == kNameWithoutLanguage) {
    *length = v.length;
    *charset = true;
  } else if (v.tag == kTextWithLanguage || v.tag == kNameWithLanguage) {
    // language length, language, text length, text
    if (v.length < 2) return;
    std::uint32_t language = BigEndian(v.bytes, 2);
    if (v.length - 2 < language || v.length - 2 - language < 2) return;
    std::uint32_t at = 2 + language;
    std::uint32_t count = BigEndian(v.bytes + at, 2);
    at += 2;
    if (v.length - at < count) return;
    *text = v.bytes + at;
    *length = count;
    *charset = true;
  } else if (v.tag >= kKeyword && v.tag <= kMimeMediaType) {
    *length = v.length;
  }
}

class Decoder {
 public:
  Decoder(PortEntry* port, const Codepage* cp) : port_(port), ipp_(core::Ipp(port)), cp_(cp) {}

  void Apply(const std::uint8_t* name, std::uint32_t name_length, const Value& v) {
    if (SameNoCase(name, name_length, "attributes-charset")) {
      const std::uint8_t* text;
      std::uint32_t length;
      bool in_charset;
      TextOf(v, &text, &length, &in_charset);
      charset_ = CharsetCode(text, length);
    } else if (SameNoCase(name, name_length, "printer-is-accepting-jobs")) {
      ipp_->accepting = IntegerOf(v);
    } else if (SameNoCase(name, name_length, "printer-state")) {
      switch (IntegerOf(v)) {
        case 3:
          port_->send_error = 0;
          break;
        case 4:
          port_->send_error = core::kIppPrinterProcessing;
          break;
        case 5:
          port_->send_error = core::kIppPrinterStopped;
          break;
        default:
          break;
      }
    } else if (SameNoCase(name, name_length, "printer-state-reasons")) {
      AddReason(v);
    } else if (SameNoCase(name, name_length, "job-id")) {
      ipp_->job_id = IntegerOf(v);
    } else if (SameNoCase(name, name_length, "printer-make-and-model")) {
      if (ipp_->make_and_model == nullptr) return;
      const std::uint8_t* text;
      std::uint32_t length;
      bool in_charset;
      TextOf(v, &text, &length, &in_charset);
      DecodeText(text, length, in_charset ? charset_ : kAscii, cp_, ipp_->make_and_model,
                 kMakeAndModelSize);
    }
  }

 private:
  void AddReason(const Value& v) {
    const std::uint8_t* text;
    std::uint32_t length;
    bool in_charset;
    TextOf(v, &text, &length, &in_charset);
    // Keywords are ASCII. One too long for the longest reason is not cut
    // down into another one; one with a zero inside is nothing known either.
    char keyword[64];
    if (length == 0 || length >= sizeof(keyword)) return;
    for (std::uint32_t i = 0; i < length; ++i) {
      if (text[i] == 0) return;
      keyword[i] = static_cast<char>(text[i]);
    }
    keyword[length] = '\0';
    std::uint16_t severity = 0;
    port_->printer_status |= MapStateReason(keyword, &severity);
    ipp_->severity = static_cast<std::uint16_t>(ipp_->severity | severity);
  }

  PortEntry* port_;
  IppBlock* ipp_;
  const Codepage* cp_;
  // Until a response names its charset it is taken to answer in the one
  // the request asked for.
  int charset_ = kUtf8;
};

}  // namespace

namespace {

void Cut(PortEntry* port) { port->send_error = core::kIppExchangeFailed; }

}  // namespace

void DecodeIppResponse(PortEntry* port, const std::uint8_t* body, std::uint32_t length,
                       const Codepage* codepage) {
  if (body == nullptr || length < 8) {
    port->send_error = core::kIppExchangeFailed;
    return;
  }
  std::uint32_t status = BigEndian(body + 2, 2);
  if (status > core::kIppLastSuccessStatus) {
    port->send_error = status;
    return;
  }
  IppBlock* ipp = core::Ipp(port);
  ipp->severity = 0;
  port->printer_status = 0;

  Decoder decoder(port, codepage);
  const std::uint8_t* name = nullptr;
  std::uint32_t name_length = 0;
  std::uint32_t at = 8;
  // Running out of data between elements is a response without its end
  // tag, which is taken as it is; running out inside one is an error.
  while (at < length) {
    std::uint8_t tag = body[at++];
    if (tag == kEndOfAttributes) return;
    if (tag < 0x10) {
      // A new group: a value without a name here belongs to nothing.
      name = nullptr;
      name_length = 0;
      continue;
    }
    std::uint32_t value_tag = tag;
    if (tag == kExtension) {
      // The real tag follows in four bytes, and then the name and value.
      if (length - at < 4) return Cut(port);
      value_tag = BigEndian(body + at, 4);
      at += 4;
    }
    if (length - at < 2) return Cut(port);
    std::uint32_t n = BigEndian(body + at, 2);
    at += 2;
    if (length - at < n) return Cut(port);
    if (n != 0) {
      name = body + at;
      name_length = n;
    }
    at += n;
    if (length - at < 2) return Cut(port);
    std::uint32_t value_length = BigEndian(body + at, 2);
    at += 2;
    if (length - at < value_length) return Cut(port);
    if (name != nullptr)
      decoder.Apply(name, name_length, Value{value_tag, body + at, value_length});
    at += value_length;
  }
}

std::uint32_t MapStateReason(const char* keyword, std::uint16_t* severity) {
  *severity = 0;
  if (core::EqualNoCase(keyword, "none")) {
    *severity = core::kSeverityBitNone;
    return 0;
  }
  std::size_t length = core::TextLength(keyword);
  std::size_t dash = length;
  for (std::size_t i = 0; i < length; ++i)
    if (keyword[i] == '-') dash = i;
  if (dash == length) return 0;
  const char* suffix = keyword + dash + 1;
  if (Same(suffix, "report")) {
    *severity = core::kSeverityBitReport;
  } else if (Same(suffix, "warning")) {
    *severity = core::kSeverityBitWarning;
  } else if (Same(suffix, "error")) {
    *severity = core::kSeverityBitError;
  }
  for (const ReasonRow& r : kReasons) {
    if (core::TextLength(r.name) == dash && core::EqualNoCaseN(keyword, r.name, dash))
      return r.status;
  }
  return 0;
}

}  // namespace ipp

// What the text fields of an E-mail port may hold. The SMTP dialogue and
// the mail headers give some characters a meaning of their own, so each
// kind of field refuses its own set. Platform-free, so the sets and the
// checks are tested on Linux as they are.
#pragma once
#include <cstddef>
#include <cstdint>

namespace core {

// Each set is shown to the user as it stands ("IDS_INVALID_CHARACTER"), so
// the order of its characters is part of the text.
inline constexpr char kSmtpServerForbidden[] = "\" #&'*,/:;<>?\\|";
inline constexpr char kSenderNameForbidden[] = "\"*,/:;<>?\\|";
inline constexpr char kAddressForbidden[] = "\" (),:;<>?\\|";  // sender and destinations
inline constexpr char kSubjectForbidden[] = "\"':";

// In a double-byte code page (Shift-JIS) the second byte of a character
// can be 0x5C or 0x7C; it is part of that character, not a "\" or "|".
// Null: every byte is a character of its own.
using LeadByteTest = bool (*)(std::uint8_t byte);

// Whether a character of `text` is one of `set`.
bool HoldsForbidden(const char* text, const char* set, LeadByteTest is_lead = nullptr);

// The account fields of an E-mail port, in the order they are checked.
enum MailAccountField : int {
  kSmtpServerField,
  kFromNameField,
  kFromAddrField,
  kMailAccountValid,
};

// The first failing check: its field, its message key and, for a
// forbidden character, the set the message is formatted with.
struct MailFieldProblem {
  int field;  // kMailAccountValid: all checks passed
  const char* message;
  const char* set;
};

MailFieldProblem CheckMailAccount(const char* server, const char* name, const char* address,
                                  LeadByteTest is_lead = nullptr);

// A destination list holds at most 100 addresses of at most 64 characters;
// joined by "," they fill the 6500 bytes of `ToAddr` at most.
inline constexpr std::size_t kMaxDestinations = 100;
inline constexpr std::size_t kAddressChars = 64;

// The next ","-separated address of a `ToAddr` text from `*at` on, cut to
// 64 characters; empty parts are skipped. False when none is left. A
// loaded value is whatever the registry held, so nothing is assumed of it.
bool NextDestination(const char** at, char (&out)[kAddressChars + 1]);

}  // namespace core

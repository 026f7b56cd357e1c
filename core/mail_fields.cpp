#include "core/mail_fields.h"

namespace core {

bool HoldsForbidden(const char* text, const char* set, LeadByteTest is_lead) {
  for (const char* c = text; *c != '\0'; ++c) {
    if (is_lead != nullptr && is_lead(static_cast<std::uint8_t>(*c))) {
      if (c[1] == '\0') break;  // a lead byte cut off from its second byte
      ++c;
      continue;
    }
    for (const char* s = set; *s != '\0'; ++s)
      if (*c == *s) return true;
  }
  return false;
}

MailFieldProblem CheckMailAccount(const char* server, const char* name, const char* address,
                                  LeadByteTest is_lead) {
  struct Check {
    const char* text;
    const char* empty_message;
    const char* set;
  };
  const Check checks[] = {
      {server, "IDS_INVALID_SMTP", kSmtpServerForbidden},
      {name, "IDS_INVALID_FROM_NAME", kSenderNameForbidden},
      {address, "IDS_INVALID_FROM_ADDR", kAddressForbidden},
  };
  for (int field = kSmtpServerField; field < kMailAccountValid; ++field) {
    const Check& check = checks[field];
    if (check.text[0] == '\0') return {field, check.empty_message, nullptr};
    if (HoldsForbidden(check.text, check.set, is_lead))
      return {field, "IDS_INVALID_CHARACTER", check.set};
  }
  return {kMailAccountValid, nullptr, nullptr};
}

bool NextDestination(const char** at, char (&out)[kAddressChars + 1]) {
  const char* c = *at;
  while (*c == ',') ++c;
  if (*c == '\0') {
    *at = c;
    return false;
  }
  std::size_t n = 0;
  for (; *c != '\0' && *c != ','; ++c)
    if (n < kAddressChars) out[n++] = *c;
  out[n] = '\0';
  *at = c;
  return true;
}

}  // namespace core

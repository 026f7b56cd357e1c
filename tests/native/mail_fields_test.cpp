#include "core/mail_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace core;

namespace {

bool ShiftJisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

// Each field refuses exactly its own characters: what one set forbids
// another allows.
TEST(HoldsForbidden, EachFieldRefusesItsOwnCharactersOnly) {
  const struct { const char* text; const char* set; bool refused; } rows[] = {
      {"mail.example.com", kSmtpServerForbidden, false},
      {"mail-1_x.example:25", kSmtpServerForbidden, true},
      {"mail server", kSmtpServerForbidden, true},
      {"a#b", kSmtpServerForbidden, true},
      {"a&b", kSmtpServerForbidden, true},
      {"a(b)", kSmtpServerForbidden, false},
      {"John #2 Doe", kSenderNameForbidden, false},
      {"O'Brien (sales)", kSenderNameForbidden, false},
      {"Sales: east", kSenderNameForbidden, true},
      {"a/b", kSenderNameForbidden, true},
      {"a|b", kSenderNameForbidden, true},
      {"user+tag@example.com", kAddressForbidden, false},
      {"a#b/c@example.com", kAddressForbidden, false},
      {"a,b@example.com", kAddressForbidden, true},
      {"a(b@example.com", kAddressForbidden, true},
      {"a b@example.com", kAddressForbidden, true},
      {"<a@example.com>", kAddressForbidden, true},
      {"Report, page 1 (draft)", kSubjectForbidden, false},
      {"It's done", kSubjectForbidden, true},
      {"Re: report", kSubjectForbidden, true},
      {"\"quoted\"", kSubjectForbidden, true},
      {"", kSmtpServerForbidden, false},
  };
  for (const auto& row : rows) EXPECT_EQ(HoldsForbidden(row.text, row.set), row.refused) << row.text;
}

// A Shift-JIS character whose second byte is 0x5C is not a backslash; a
// backslash on its own still is, and so is one after a completed character.
TEST(HoldsForbidden, SecondBytesOfDoubleByteCharactersAreNotCharactersOfTheSet) {
  const struct { const char* text; bool with_code_page; bool refused; } rows[] = {
      {"\x83\x5C\x83\x7C", true, false},
      {"\x83\x5C\x83\x7C", false, true},
      {"\x83\x5C\\", true, true},
      {"a\\b", true, true},
      {"name\x83", true, false},  // a lead byte cut off at the end
  };
  for (const auto& row : rows)
    EXPECT_EQ(HoldsForbidden(row.text, kSenderNameForbidden, row.with_code_page ? ShiftJisLead : nullptr),
              row.refused)
        << row.text;
}

// The server is checked whole before the name, the name before the address.
TEST(CheckMailAccount, FirstFailingFieldInOrderWithItsMessageAndSet) {
  const struct {
    const char* server;
    const char* name;
    const char* address;
    int field;
    const char* message;
    const char* set;
  } rows[] = {
      {"", "", "", kSmtpServerField, "IDS_INVALID_SMTP", nullptr},
      {"smtp host", "", "", kSmtpServerField, "IDS_INVALID_CHARACTER", kSmtpServerForbidden},
      {"smtp", "", "a,b", kFromNameField, "IDS_INVALID_FROM_NAME", nullptr},
      {"smtp", "A:B", "", kFromNameField, "IDS_INVALID_CHARACTER", kSenderNameForbidden},
      {"smtp", "A #1", "", kFromAddrField, "IDS_INVALID_FROM_ADDR", nullptr},
      {"smtp", "A #1", "a,b", kFromAddrField, "IDS_INVALID_CHARACTER", kAddressForbidden},
      {"smtp", "A #1", "a@b", kMailAccountValid, nullptr, nullptr},
  };
  for (const auto& row : rows) {
    MailFieldProblem problem = CheckMailAccount(row.server, row.name, row.address);
    EXPECT_EQ(problem.field, row.field) << row.server << "|" << row.name << "|" << row.address;
    EXPECT_STREQ(problem.message, row.message);
    EXPECT_EQ(problem.set, row.set);
  }
}

TEST(NextDestination, SplitsAtCommasSkipsEmptyPartsAndCutsEachToItsField) {
  const std::string long_part(70, 'x');
  const struct { std::string to_addr; std::vector<std::string> parts; } rows[] = {
      {"a@x,b@y", {"a@x", "b@y"}},
      {",,a@x,,b@y,", {"a@x", "b@y"}},
      {"", {}},
      {",", {}},
      {long_part + ",c@z", {std::string(64, 'x'), "c@z"}},
  };
  for (const auto& row : rows) {
    std::vector<std::string> parts;
    char address[kAddressChars + 1];
    for (const char* at = row.to_addr.c_str(); NextDestination(&at, address);) parts.push_back(address);
    EXPECT_EQ(parts, row.parts) << row.to_addr;
  }
}

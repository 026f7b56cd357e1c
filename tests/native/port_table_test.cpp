#include "core/port_table.h"
#include "core/port_values.h"
#include "core/text.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace core;

namespace {

struct Table {
  PortEntry* head = nullptr;
  std::deque<PortEntry> entries;
  std::deque<std::string> names;

  PortEntry* Add(const std::string& name) {
    names.push_back(name);
    entries.push_back(PortEntry{});
    PortEntry* p = &entries.back();
    p->name = names.back().data();
    InsertByNameLength(&head, p);
    return p;
  }
  std::vector<std::string> Order() const {
    std::vector<std::string> out;
    for (PortEntry* p = head; p; p = p->next) out.push_back(p->name);
    return out;
  }
};

}  // namespace

TEST(PortTable, LongestNameFirstOlderFirstAmongEqualLengths) {
  Table t;
  for (const char* name : {"A", "BB", "CC", "LPT1:", "D", "EEEEE"}) t.Add(name);
  EXPECT_EQ(t.Order(), (std::vector<std::string>{"LPT1:", "EEEEE", "BB", "CC", "A", "D"}));
}

// Either colon form finds a port, one colon taken off; the exact name wins.
TEST(PortTable, FindsEitherColonFormAndTheExactNameFirst) {
  Table t;
  PortEntry *lpt2 = t.Add("LPT2:"), *ip = t.Add("IP_10.0.0.1");
  PortEntry *lpt3_colon = t.Add("LPT3:"), *lpt3 = t.Add("LPT3");
  t.Add("NAMEX");  // one character longer, but no colon
  const std::pair<const char*, PortEntry*> cases[] = {
      {"lpt2:", lpt2}, {"LPT2", lpt2}, {"ip_10.0.0.1:", ip}, {"LPT2::", lpt2}, {"LPT2:::", nullptr},
      {"LPT", nullptr}, {"", nullptr}, {":", nullptr}, {"LPT3", lpt3}, {"LPT3:", lpt3_colon},
      {"NAME", nullptr}};
  for (auto [name, entry] : cases) EXPECT_EQ(FindPortEntry(t.head, name), entry) << name;
}

TEST(PortTable, UnlinkTakesOnlyTheExactName) {
  Table t;
  for (const char* name : {"LPT2:", "Raw1", "Raw2"}) t.Add(name);
  EXPECT_EQ(UnlinkPortEntry(&t.head, "LPT2"), nullptr);
  PortEntry* removed = UnlinkPortEntry(&t.head, "raw1");
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->next, nullptr);
  EXPECT_EQ(t.Order(), (std::vector<std::string>{"LPT2:", "Raw2"}));
  for (const char* name : {"LPT2:", "Raw2"}) EXPECT_NE(UnlinkPortEntry(&t.head, name), nullptr);
  EXPECT_EQ(t.head, nullptr);
  EXPECT_EQ(UnlinkPortEntry(&t.head, "Raw2"), nullptr);
}

TEST(PortValues, ANewEntryKeepsItsSettingsAndTakesTheKindsDefaults) {
  MailBlock mail{};
  CopyText(mail.Subject, sizeof(mail.Subject), "Hi");
  mail.DivideFile = 1;
  mail.DivideSize = 99;
  mail.AuthType = 2;
  MailBlock copy{};
  CopySettings(kMail, &copy, &mail);
  EXPECT_STREQ(copy.Subject, "Hi");
  EXPECT_EQ(copy.AuthType, 2u);
  EXPECT_EQ(copy.DivideFile, 0u);
  EXPECT_EQ(copy.DivideSize, 50u);
  mail.EditBody = 1;  // a body typed at each print: no fixed texts to keep
  MailBlock typed{};
  CopySettings(kMail, &typed, &mail);
  EXPECT_STREQ(typed.Subject, "");

  IppBlock ipp{};
  CopyText(ipp.UserName, sizeof(ipp.UserName), "alice");
  ipp.Base64 = 1;
  ipp.Chunked = 1;
  IppBlock ipp_copy{};
  CopySettings(kIpp, &ipp_copy, &ipp);
  EXPECT_STREQ(ipp_copy.UserName, "");
  EXPECT_EQ(ipp_copy.Base64, 0u);
  EXPECT_EQ(ipp_copy.Chunked, 1u);
  EXPECT_EQ(ipp_copy.MaxChunk, 4096u);

  LprBlock lpr{};
  for (char& c : lpr.HostName) c = 'h';  // not terminated: never read past the field
  LprBlock lpr_copy{};
  CopySettings(kLpr, &lpr_copy, &lpr);
  EXPECT_EQ(std::string(lpr_copy.HostName), std::string(64, 'h'));
  LprBlock empty{};
  CopySettings(kLpr, &empty, nullptr);
  EXPECT_EQ(empty.NonRFCPorts, 1u);

  EXPECT_EQ(BlockSize(kPassThrough), 0u);
  EXPECT_EQ(BlockSize(77), 0u);
}

#include "monitor/port_table.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace monitor;

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
  t.Add("A");
  t.Add("BB");
  t.Add("CC");
  t.Add("LPT1:");
  t.Add("D");
  t.Add("EEEEE");
  EXPECT_EQ(t.Order(), (std::vector<std::string>{"LPT1:", "EEEEE", "BB", "CC", "A", "D"}));
}

TEST(PortTable, FindsEitherColonForm) {
  Table t;
  PortEntry* with_colon = t.Add("LPT2:");
  PortEntry* without = t.Add("IP_10.0.0.1");
  EXPECT_EQ(FindPortEntry(t.head, "lpt2:"), with_colon);
  EXPECT_EQ(FindPortEntry(t.head, "LPT2"), with_colon);
  EXPECT_EQ(FindPortEntry(t.head, "ip_10.0.0.1:"), without);
  EXPECT_EQ(FindPortEntry(t.head, "LPT2::"), with_colon);  // one colon taken off
  EXPECT_EQ(FindPortEntry(t.head, "LPT2:::"), nullptr);
  EXPECT_EQ(FindPortEntry(t.head, "LPT"), nullptr);
  EXPECT_EQ(FindPortEntry(t.head, ""), nullptr);
  EXPECT_EQ(FindPortEntry(t.head, ":"), nullptr);
}

TEST(PortTable, ExactNameWinsOverTheColonVariant) {
  Table t;
  PortEntry* colon = t.Add("LPT3:");
  PortEntry* plain = t.Add("LPT3");
  EXPECT_EQ(FindPortEntry(t.head, "LPT3"), plain);
  EXPECT_EQ(FindPortEntry(t.head, "LPT3:"), colon);
}

TEST(PortTable, UnlinkTakesOnlyTheExactName) {
  Table t;
  t.Add("LPT2:");
  t.Add("Raw1");
  t.Add("Raw2");
  EXPECT_EQ(UnlinkPortEntry(&t.head, "LPT2"), nullptr);
  PortEntry* removed = UnlinkPortEntry(&t.head, "raw1");
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->next, nullptr);
  EXPECT_EQ(t.Order(), (std::vector<std::string>{"LPT2:", "Raw2"}));
  EXPECT_NE(UnlinkPortEntry(&t.head, "LPT2:"), nullptr);
  EXPECT_NE(UnlinkPortEntry(&t.head, "Raw2"), nullptr);
  EXPECT_EQ(t.head, nullptr);
  EXPECT_EQ(UnlinkPortEntry(&t.head, "Raw2"), nullptr);
}

TEST(PortTable, EveryKindHasABlockButPassThrough) {
  EXPECT_EQ(BlockSize(kLpr), sizeof(LprBlock));
  EXPECT_EQ(BlockSize(kIpp), sizeof(IppBlock));
  EXPECT_EQ(BlockSize(kRaw), sizeof(RawBlock));
  EXPECT_EQ(BlockSize(kMail), sizeof(MailBlock));
  EXPECT_EQ(BlockSize(kPassThrough), 0u);
  EXPECT_EQ(BlockSize(77), 0u);
}

// The layout tables as data: every control inside its dialog, none on top of another, pages inside
// the dialogs that hold them. A slip in a hand-typed coordinate shows up before a dialog opens.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "ui/layout_tables.h"

using namespace ui;

namespace {

// Frames, group boxes and the tab control hold other controls.
const std::set<int> kContainers = {222, 264, 290, 297, 332, 340, 350, 357, 363, 377};
// A combo box's row height includes its drop-down list; only its 21-pixel edit part takes room.
const std::set<int> kCombos = {247, 284, 365, 386};

RECT Place(const LayoutRow& row) {
  return {row.x, row.y, row.x + row.width, row.y + (kCombos.count(row.id) ? 21 : row.height)};
}
bool Inside(const RECT& a, const RECT& b) {
  return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
}
// Row 0 of a top-level dialog includes the caption and Windows 95's 3-pixel frame on each side.
RECT Client(const LayoutTable& table) {
  const LayoutRow& frame = table.rows[0];
  if (table.mode == kLayoutPage) return {0, 0, frame.width, frame.height};
  return {0, 0, frame.width - 6, frame.height - kLayoutCaptionHeight - 6};
}

}  // namespace

TEST(LayoutTables, EachTableFitsItsDialogAndEachPageItsHost) {
  // Wizard pages go right of its picture (row 4) and above its separator (row 5), configure pages
  // inside the tab control (row 4).
  std::map<int, RECT> hosts;
  const LayoutRow* wizard = kWizardFrameLayout.rows;
  for (int page : {205, 211, 215, 219, 228, 234, 242, 249, 324, 328})
    hosts[page] = {wizard[4].x + wizard[4].width, 0, Client(kWizardFrameLayout).right, wizard[5].y};
  for (int page : {333, 349}) hosts[page] = Place(kIppConfigureLayout.rows[4]);
  for (int page : {374, 376, 384, 387}) hosts[page] = Place(kMailConfigureLayout.rows[4]);
  std::set<int> templates;
  for (int t = 0; t < kAllLayoutCount; ++t) {
    const LayoutTable& table = *kAllLayouts[t];
    const LayoutRow& frame = table.rows[0];
    SCOPED_TRACE("template " + std::to_string(table.template_id));
    EXPECT_TRUE(templates.insert(table.template_id).second);
    // Captions come from "TITLE", and only top-level dialogs have one.
    bool caption = table.mode == kLayoutTopLevel && frame.type != nullptr &&
                   std::string(frame.type) == "TITLE" && frame.key != nullptr;
    EXPECT_TRUE(caption || (frame.type == nullptr && frame.key == nullptr));
    std::set<int> ids;
    for (int i = 1; i < table.count; ++i) {
      const LayoutRow& row = table.rows[i];
      EXPECT_TRUE(ids.insert(row.id).second) << row.id << " twice";
      EXPECT_TRUE(row.key == nullptr || row.type != nullptr) << row.id << ": text without section";
      EXPECT_TRUE(row.width > 0 && row.height > 0 && Inside(Place(row), Client(table))) << row.id;
      for (int j = i + 1; j < table.count; ++j) {
        RECT a = Place(row), b = Place(table.rows[j]), common;
        int other = table.rows[j].id;
        // The wizard's Back and Next share their edge pixel, as the Windows 95 wizards draw them.
        EXPECT_TRUE(!IntersectRect(&common, &a, &b) ||
                    (kContainers.count(row.id) && Inside(b, a)) ||
                    (kContainers.count(other) && Inside(a, b)) ||
                    (table.template_id == 200 && std::set{row.id, other} == std::set{201, 202}))
            << row.id << " and " << other << " overlap";
      }
    }
    if (table.mode != kLayoutPage) continue;
    ASSERT_TRUE(hosts.count(table.template_id)) << "a page without a host";
    EXPECT_TRUE(Inside(Place(frame), hosts[table.template_id])) << "a page leaves its host";
    hosts.erase(table.template_id);
  }
  EXPECT_EQ(templates.size(), 27u);
  EXPECT_TRUE(hosts.empty()) << hosts.size() << " pages without a table";
}

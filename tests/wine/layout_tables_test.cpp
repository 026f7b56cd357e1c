// The layout tables as data: every control inside its dialog, none on top of
// another, pages inside the dialogs that hold them. A slip in a hand-typed
// coordinate shows up here before anyone opens the dialog.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/layout_tables.h"

using namespace ui;

namespace {

// Windows 95 draws a dialog frame of 3 pixels on each side; row 0 sizes
// include a 19-pixel caption.
constexpr int kFrame = 3;

// Frames, group boxes and the tab control hold other controls.
const std::set<int> kContainers = {222, 264, 290, 297, 332, 340, 350, 357, 363, 377};
// A combo box's row height includes its drop-down list; only its edit part
// takes room in the dialog.
const std::set<int> kCombos = {247, 284, 365, 386};
constexpr int kComboEditHeight = 21;
// The wizard's Back and Next buttons share their edge pixel, as the
// Windows 95 wizards draw them.
constexpr int kBack = 202;
constexpr int kNext = 201;

RECT Client(const LayoutTable& table) {
  const LayoutRow& frame = table.rows[0];
  if (table.mode == kLayoutPage) return {0, 0, frame.width, frame.height};
  return {0, 0, frame.width - 2 * kFrame, frame.height - kLayoutCaptionHeight - 2 * kFrame};
}

RECT Place(const LayoutRow& row) {
  int height = kCombos.count(row.id) ? kComboEditHeight : row.height;
  return {row.x, row.y, row.x + row.width, row.y + height};
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
  RECT common;
  return IntersectRect(&common, &a, &b) != 0;
}

std::string Name(const LayoutTable& table, const LayoutRow& row) {
  return "template " + std::to_string(table.template_id) + ", control " + std::to_string(row.id);
}

}  // namespace

TEST(LayoutTables, OneTablePerTemplateWithTheDialogFirstAndEachControlOnce) {
  std::set<int> templates;
  for (int t = 0; t < kAllLayoutCount; ++t) {
    const LayoutTable& table = *kAllLayouts[t];
    EXPECT_TRUE(templates.insert(table.template_id).second) << table.template_id;
    ASSERT_GE(table.count, 2) << table.template_id;
    const LayoutRow& frame = table.rows[0];
    EXPECT_EQ(frame.id, 0) << table.template_id;
    // Captions come from "TITLE" and only top-level dialogs have one.
    bool caption = frame.type != nullptr && frame.key != nullptr &&
                   lstrcmpA(frame.type, "TITLE") == 0 && table.mode == kLayoutTopLevel;
    EXPECT_TRUE(caption || (frame.type == nullptr && frame.key == nullptr)) << table.template_id;
    std::set<int> ids;
    for (int i = 1; i < table.count; ++i) {
      const LayoutRow& row = table.rows[i];
      EXPECT_TRUE(ids.insert(row.id).second) << Name(table, row) << " twice";
      bool text_has_section = row.key == nullptr || row.type != nullptr;
      EXPECT_TRUE(text_has_section) << Name(table, row);
    }
  }
  EXPECT_EQ(templates.size(), 27u);
}

TEST(LayoutTables, ControlsFitTheClientAreaWithoutCovering) {
  for (int t = 0; t < kAllLayoutCount; ++t) {
    const LayoutTable& table = *kAllLayouts[t];
    RECT client = Client(table);
    for (int i = 1; i < table.count; ++i) {
      const LayoutRow& row = table.rows[i];
      RECT place = Place(row);
      EXPECT_GT(row.width, 0) << Name(table, row);
      EXPECT_GT(row.height, 0) << Name(table, row);
      EXPECT_TRUE(Inside(place, client)) << Name(table, row) << " leaves the dialog";
      for (int j = i + 1; j < table.count; ++j) {
        const LayoutRow& other = table.rows[j];
        RECT other_place = Place(other);
        if (!Overlap(place, other_place)) continue;
        bool contained = (kContainers.count(row.id) && Inside(other_place, place)) ||
                         (kContainers.count(other.id) && Inside(place, other_place));
        bool back_and_next = table.template_id == 200 && row.id + other.id == kBack + kNext &&
                             (row.id == kBack || other.id == kBack);
        EXPECT_TRUE(contained || back_and_next)
            << Name(table, row) << " and " << other.id << " overlap";
      }
    }
  }
}

TEST(LayoutTables, PagesFitTheDialogsThatHoldThem) {
  struct Host {
    const LayoutTable* dialog;
    RECT area;  // where its pages go: right of the picture, or the tab control
    std::set<int> templates;
  };
  const RECT wizard_area = {152, 0, 506, 242};
  const LayoutRow& ipp_tab = kIppConfigureLayout.rows[4];
  const LayoutRow& mail_tab = kMailConfigureLayout.rows[4];
  ASSERT_EQ(ipp_tab.id, 332);
  ASSERT_EQ(mail_tab.id, 332);
  const Host hosts[] = {
      {&kWizardFrameLayout, wizard_area, {205, 211, 215, 219, 228, 234, 242, 249, 324, 328}},
      {&kIppConfigureLayout, Place(ipp_tab), {333, 349}},
      {&kMailConfigureLayout, Place(mail_tab), {374, 376, 384, 387}},
  };
  int pages = 0;
  for (int t = 0; t < kAllLayoutCount; ++t) {
    const LayoutTable& page = *kAllLayouts[t];
    if (page.mode != kLayoutPage) continue;
    ++pages;
    for (const Host& host : hosts) {
      if (!host.templates.count(page.template_id)) continue;
      RECT place = Place(page.rows[0]);
      EXPECT_TRUE(Inside(place, host.area)) << "page " << page.template_id;
      EXPECT_TRUE(Inside(place, Client(*host.dialog))) << "page " << page.template_id;
      for (int i = 1; i < host.dialog->count; ++i) {
        const LayoutRow& row = host.dialog->rows[i];
        if (row.id == 332) continue;  // the tab control holds the page
        EXPECT_FALSE(Overlap(place, Place(row)))
            << "page " << page.template_id << " covers control " << row.id;
      }
    }
  }
  EXPECT_EQ(pages, 16);
}

// The layout of every dialog and page of the monitor, one table per resource
// template. Row 0 sizes are those the dialogs were designed for; a dialog
// opens with its table applied, so its template's geometry never shows.
#pragma once
#include "ui/layout.h"

namespace ui {

// Add-port wizard: the frame and its pages (pages sit right of the picture).
extern const LayoutTable kWizardFrameLayout;       // 200
extern const LayoutTable kWizardKindLayout;        // 205
extern const LayoutTable kWizardNameLayout;        // 211
extern const LayoutTable kWizardLineLayout;        // 215, modem or LAN
extern const LayoutTable kWizardProxyLayout;       // 219
extern const LayoutTable kWizardUrlLayout;         // 228
extern const LayoutTable kWizardIppSummaryLayout;  // 234
extern const LayoutTable kWizardLprServerLayout;   // 242
extern const LayoutTable kWizardLprSummaryLayout;  // 249
extern const LayoutTable kWizardRawHostLayout;     // 324
extern const LayoutTable kWizardRawSummaryLayout;  // 328

extern const LayoutTable kMailBodyLayout;    // 303
extern const LayoutTable kBroadcastLayout;   // 262
extern const LayoutTable kSearchLayout;      // 257
extern const LayoutTable kPasswordLayout;    // 394
extern const LayoutTable kRetryLayout;       // 401
extern const LayoutTable kVersionLayout;     // 388
extern const LayoutTable kIppAdvancedLayout;  // 356

// Configure dialogs and their tab pages (pages sit inside the tab control).
extern const LayoutTable kIppConfigureLayout;   // 330
extern const LayoutTable kIppPage1Layout;       // 333
extern const LayoutTable kIppPage2Layout;       // 349
extern const LayoutTable kLprConfigureLayout;   // 366, LPR and Raw
extern const LayoutTable kMailConfigureLayout;  // 373
extern const LayoutTable kMailPage3Layout;      // 374
extern const LayoutTable kMailPage4Layout;      // 376
extern const LayoutTable kMailPage5Layout;      // 384
extern const LayoutTable kMailPage6Layout;      // 387

// Every table above.
extern const LayoutTable* const kAllLayouts[];
extern const int kAllLayoutCount;

}  // namespace ui

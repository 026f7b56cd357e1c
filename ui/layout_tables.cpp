#include "ui/layout_tables.h"

#include <iterator>

namespace ui {
namespace {

constexpr char kTitle[] = "TITLE";
constexpr char kButton[] = "BUTTON";
constexpr char kLabel[] = "LABEL";
constexpr char kEdit[] = "EDIT";
constexpr char kCombo[] = "COMBO";
constexpr char kList[] = "LIST";
constexpr char kGroup[] = "GROUP";
constexpr char kTab[] = "TAB";

// Rows are {id, type, key, x, y, width, height}. Row 0 of a top-level dialog
// is its window size; the controls are in client pixels, which for these
// dialogs (3-pixel frame) is the width less 6 by the height less 25.

// Wizard pages: right of the frame's picture (the frame puts them 30 pixels
// past its width), above its separator; their fields end where Cancel does.
constexpr int kPageX = 170;
constexpr int kPageY = 0;
constexpr int kPageW = 347;
constexpr int kPageH = 239;

// Tab pages of the configure dialogs: where the dialog creates them, inside
// the tab control's display area.
constexpr int kIppPageX = 12;
constexpr int kIppPageY = 38;
constexpr int kMailPageX = 12;
constexpr int kMailPageY = 38;

constexpr LayoutRow kWizardFrame[] = {
    {0, kTitle, "ADDPORT", 0, 0, 512, 309},
    {201, kButton, "IDC_NEXT", 306, 255, 88, 23},
    {2, kButton, "IDCANCEL", 403, 255, 88, 23},
    {202, kButton, "IDC_BACK", 219, 255, 88, 23},
    {203, nullptr, nullptr, 12, 12, 140, 219},  // picture
    {204, nullptr, nullptr, 12, 242, 479, 2},   // separator
};

constexpr LayoutRow kWizardKind[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {206, kLabel, "IDC_SETUMEI01", 8, 8, 313, 60},
    {207, kButton, "IDC_QDLPR", 24, 80, 289, 20},
    {208, kButton, "IDC_QDIPP", 24, 108, 289, 20},
    {209, kButton, "IDC_QDRAW", 24, 136, 289, 20},
    {210, kButton, "IDC_QDEMAIL", 24, 164, 289, 20},
};

constexpr LayoutRow kWizardName[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {212, kLabel, "IDC_SETUMEI03", 8, 8, 313, 60},
    {213, kLabel, "IDC_TEXT_NAME", 8, 84, 96, 16},
    {214, kEdit, nullptr, 108, 81, 205, 21},
};

constexpr LayoutRow kWizardLine[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {216, kLabel, "IDC_SETUMEI10", 8, 8, 313, 60},
    {217, kButton, "IDC_BTN_MODEM", 24, 84, 289, 20},
    {218, kButton, "IDC_BTN_LAN", 24, 112, 289, 20},
};

constexpr LayoutRow kWizardProxy[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {220, kLabel, nullptr, 8, 8, 313, 48},  // its text is set by the page
    {221, kButton, "IDC_BTN_NO", 16, 64, 297, 20},
    {222, nullptr, nullptr, 8, 92, 313, 100},  // frame around the proxy settings
    {223, kButton, "IDC_BTN_PROXY", 16, 104, 297, 20},
    {224, kLabel, "IDC_TEXT_PROXY", 32, 136, 80, 16},
    {225, kEdit, nullptr, 116, 133, 189, 21},
    {226, kLabel, "IDC_TEXT_NUM", 32, 164, 80, 16},
    {227, kEdit, nullptr, 116, 161, 80, 21},
};

constexpr LayoutRow kWizardUrl[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {229, kLabel, "IDC_SETUMEI02", 8, 8, 313, 72},
    {230, kLabel, "IDC_TEXT_URI", 8, 92, 313, 16},
    {231, kEdit, nullptr, 8, 110, 313, 21},
    {232, nullptr, nullptr, 8, 148, 32, 32},  // animation icon
    {233, kLabel, "IDC_TEXT_CONNECT", 48, 156, 265, 32},
};

constexpr LayoutRow kWizardIppSummary[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {235, kLabel, "IDC_SETUMEI04", 8, 8, 313, 56},
    {236, kLabel, "IDC_TEXT_ADR", 8, 76, 313, 16},
    {239, kEdit, nullptr, 8, 94, 313, 21},
    {237, kLabel, "IDC_TEXT_PRINT", 8, 124, 313, 16},
    {240, kEdit, nullptr, 8, 142, 313, 21},
    {238, kLabel, "IDC_TEXT_PRINTER", 8, 172, 313, 16},
    {241, kEdit, nullptr, 8, 190, 313, 21},
};

constexpr LayoutRow kWizardLprServer[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {243, kLabel, "IDC_SETUMEI05", 8, 8, 313, 64},
    {244, kLabel, "IDC_TEXT_IP", 8, 84, 313, 16},
    {245, kEdit, nullptr, 8, 102, 217, 21},
    {248, kButton, "IDC_BTN_SEEK", 233, 101, 88, 23},
    {246, kLabel, "IDC_TEXT_QDC", 8, 136, 313, 16},
    {247, kEdit, nullptr, 8, 154, 217, 80},  // queue combo box, with its list
};

constexpr LayoutRow kWizardLprSummary[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {250, kLabel, "IDC_SETUMEI06", 8, 8, 313, 56},
    {251, kLabel, "IDC_TEXT_IPADD", 8, 76, 313, 16},
    {252, kEdit, nullptr, 8, 94, 313, 21},
    {253, kLabel, "IDC_TEXT_PNAME", 8, 124, 313, 16},
    {254, kEdit, nullptr, 8, 142, 313, 21},
    {255, kLabel, "IDC_TEXT_PRINAME", 8, 172, 313, 16},
    {256, kEdit, nullptr, 8, 190, 313, 21},
};

constexpr LayoutRow kWizardRawHost[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {325, kLabel, "STC_LA_INFO", 8, 8, 313, 64},
    {326, kLabel, "IDC_TEXT_IP", 8, 84, 313, 16},
    {245, kEdit, nullptr, 8, 102, 217, 21},
    {327, kButton, "IDC_BTN_SEEK", 233, 101, 88, 23},
};

constexpr LayoutRow kWizardRawSummary[] = {
    {0, nullptr, nullptr, kPageX, kPageY, kPageW, kPageH},
    {325, kLabel, "STC_FN_INFO", 8, 8, 313, 56},
    {326, kLabel, "IDC_TEXT_IPADD", 8, 76, 313, 16},
    {245, kEdit, nullptr, 8, 94, 313, 21},
    {329, kLabel, "IDC_TEXT_PRINAME", 8, 124, 313, 16},
    {214, kEdit, nullptr, 8, 142, 313, 21},
};

constexpr LayoutRow kMailBody[] = {
    {0, kTitle, "EDIT_BODY", 0, 0, 354, 342},
    {304, kLabel, "IDC_STC_SUBJECT", 10, 10, 328, 16},
    {305, kEdit, nullptr, 10, 28, 328, 21},
    {306, kLabel, "IDC_STC_BODY", 10, 58, 328, 16},
    {307, kEdit, nullptr, 10, 76, 328, 120},
    {308, kLabel, "IDC_STC_SIGNATURE", 10, 204, 328, 16},
    {309, kEdit, nullptr, 10, 222, 328, 56},
    {1, kButton, "IDOK", 156, 286, 88, 23},
    {2, kButton, "IDCANCEL", 250, 286, 88, 23},
};

constexpr LayoutRow kBroadcast[] = {
    {0, kTitle, "SERSUB", 0, 0, 295, 274},
    {1, kButton, "IDOK", 97, 220, 88, 23},
    {2, kButton, "IDCANCEL", 191, 220, 88, 23},
    {272, nullptr, nullptr, 10, 212, 269, 2},  // separator
    {263, kLabel, "IDC_SETUMEI08", 10, 10, 269, 30},
    {264, nullptr, nullptr, 10, 44, 269, 162},  // frame around address and list
    {265, kEdit, nullptr, 20, 58, 36, 21},      // the address's four numbers
    {266, kEdit, nullptr, 62, 58, 36, 21},
    {267, kEdit, nullptr, 104, 58, 36, 21},
    {268, kEdit, nullptr, 146, 58, 36, 21},
    {269, kButton, "IDC_BTN_ADD", 189, 57, 80, 23},
    {270, kList, nullptr, 20, 88, 161, 108},
    {271, kButton, "IDC_BTN_DEL", 189, 88, 80, 23},
};

constexpr LayoutRow kSearch[] = {
    {0, kTitle, "SEARCH", 0, 0, 410, 280},
    {258, kLabel, "IDC_SETUMEI07", 10, 10, 384, 32},
    {259, kList, nullptr, 10, 46, 384, 164},
    {260, kButton, "IDC_BTN_CON", 10, 222, 94, 23},
    {261, kButton, "IDC_BTN_BROAD", 110, 222, 94, 23},
    {1, kButton, "IDOK", 212, 222, 88, 23},
    {2, kButton, "IDCANCEL", 306, 222, 88, 23},
};

constexpr LayoutRow kPassword[] = {
    {0, kTitle, "PASS", 0, 0, 389, 177},
    {395, nullptr, nullptr, 12, 12, 32, 32},  // icon
    {396, kLabel, "IDC_SETUMEI11", 56, 12, 315, 42},
    {397, kLabel, "IDC_NAME", 56, 63, 90, 16},
    {398, kEdit, nullptr, 150, 60, 221, 21},
    {399, kLabel, "IDC_KEYWORD", 56, 92, 90, 16},
    {400, kEdit, nullptr, 150, 89, 221, 21},
    {1, kButton, "IDOK", 189, 121, 88, 23},
    {2, kButton, "IDCANCEL", 283, 121, 88, 23},
};

constexpr LayoutRow kRetry[] = {
    {0, kTitle, "RETRY", 0, 0, 599, 120},
    {402, kButton, "IDC_RETRY", 493, 12, 88, 23},
    {2, kButton, "IDCANCEL", 493, 41, 88, 23},
    {403, kLabel, nullptr, 56, 12, 425, 74},  // its text depends on the failure
    {404, nullptr, nullptr, 12, 12, 32, 32},  // icon
};

constexpr LayoutRow kVersion[] = {
    {0, kTitle, "VERSION", 0, 0, 380, 171},
    {1, kButton, "IDOK", 274, 112, 88, 23},
    {389, nullptr, nullptr, 12, 100, 350, 2},  // separator
    {390, kLabel, "IDC_VERSION01", 12, 12, 350, 16},
    {391, kLabel, "IDC_VERSION02", 12, 32, 350, 16},
    {392, kLabel, "IDC_VERSION04", 12, 52, 350, 16},
    {393, kLabel, "IDC_VERSION03", 12, 72, 350, 16},
};

constexpr LayoutRow kIppAdvanced[] = {
    {0, kTitle, "CONFSUB", 0, 0, 302, 186},
    {1, kButton, "IDOK", 104, 132, 88, 23},
    {2, kButton, "IDCANCEL", 198, 132, 88, 23},
    {357, nullptr, nullptr, 10, 8, 276, 66},  // frame around the chunk settings
    {358, kButton, "IDC_CHK_CHUNK", 20, 22, 256, 20},
    {359, kLabel, "IDC_CNF_CHUNKSIZE", 36, 49, 90, 16},
    {360, kEdit, nullptr, 130, 46, 60, 21},
    {361, nullptr, nullptr, 190, 46, 16, 21},  // up-down
    {362, kLabel, "IDC_CNF_BYTE", 212, 49, 64, 16},
    {363, nullptr, nullptr, 10, 80, 276, 44},  // frame around the language
    {364, kLabel, "IDC_LANG", 20, 97, 90, 16},
    {365, kEdit, nullptr, 114, 94, 162, 100},  // language combo box, with its list
};

constexpr LayoutRow kIppConfigure[] = {
    {0, nullptr, nullptr, 0, 0, 400, 345},  // the caption names the port
    {1, kButton, "IDOK", 110, 289, 88, 23},
    {2, kButton, "IDCANCEL", 204, 289, 88, 23},
    {331, kButton, "IDAPPLY", 298, 289, 88, 23},
    {332, kTab, nullptr, 8, 8, 378, 272},
};

constexpr LayoutRow kIppPage1[] = {
    {0, nullptr, nullptr, kIppPageX, kIppPageY, 354, 230},
    {334, kLabel, "IDC_CNF_URI", 8, 8, 338, 16},
    {335, kEdit, nullptr, 8, 26, 338, 21},
    {336, kLabel, "IDC_CNF_TIMEOUT", 8, 58, 120, 16},
    {337, kEdit, nullptr, 132, 55, 56, 21},
    {338, nullptr, nullptr, 188, 55, 16, 21},  // up-down
    {339, kLabel, "IDC_CNF_SEC", 210, 58, 60, 16},
    {340, nullptr, nullptr, 8, 84, 338, 84},  // frame around the proxy settings
    {341, kButton, "IDC_CHK_PROXY", 16, 96, 322, 20},
    {342, kLabel, "IDC_CNF_PROXY", 32, 123, 70, 16},
    {343, kEdit, nullptr, 106, 120, 232, 21},
    {344, kLabel, "IDC_CNF_PORT", 32, 146, 70, 16},
    {345, kEdit, nullptr, 106, 143, 64, 21},
    {371, kButton, "CHK_RECONNECT", 8, 176, 338, 20},
    {346, kButton, "IDC_BTN_VERSION", 166, 202, 88, 23},
    {347, kButton, "IDC_BTN_HIGH", 258, 202, 88, 23},
};

constexpr LayoutRow kIppPage2[] = {
    {0, nullptr, nullptr, kIppPageX, kIppPageY, 354, 200},
    {350, nullptr, nullptr, 8, 8, 338, 110},  // frame around the authentication
    {351, kButton, "IDC_CHK_BASIC", 16, 20, 322, 20},
    {352, kLabel, "IDC_CNF_USER", 32, 51, 90, 16},
    {353, kEdit, nullptr, 126, 48, 212, 21},
    {354, kLabel, "IDC_CNF_PASS", 32, 81, 90, 16},
    {355, kEdit, nullptr, 126, 78, 212, 21},
};

constexpr LayoutRow kLprConfigure[] = {
    {0, nullptr, nullptr, 0, 0, 374, 170},  // the caption names the port
    {371, kButton, "CHK_RECONNECT", 12, 12, 344, 20},
    {372, kButton, "CHK_BYTECNT", 12, 38, 344, 20},
    {1, kButton, "IDOK", 174, 112, 88, 23},
    {2, kButton, "IDCANCEL", 268, 112, 88, 23},
    {370, kButton, "IDC_BTN_VER", 12, 112, 88, 23},
    {367, kLabel, "IDC_TIMEOUT", 12, 71, 150, 16},
    {368, kEdit, nullptr, 166, 68, 56, 21},
    {369, nullptr, nullptr, 222, 68, 16, 21},  // up-down
};

constexpr LayoutRow kMailConfigure[] = {
    {0, nullptr, nullptr, 0, 0, 363, 345},  // the caption names the port
    {1, kButton, "IDOK", 73, 289, 88, 23},
    {2, kButton, "IDCANCEL", 167, 289, 88, 23},
    {331, kButton, "IDAPPLY", 261, 289, 88, 23},
    {332, kTab, nullptr, 8, 8, 341, 276},  // around the 243-pixel pages
};

constexpr LayoutRow kMailPage3[] = {
    {0, nullptr, nullptr, kMailPageX, kMailPageY, 324, 243},
    {275, kLabel, "IDC_STC_SMTP", 8, 8, 308, 16},
    {276, kEdit, nullptr, 8, 26, 308, 21},
    {277, kLabel, "IDC_STC_FROM", 8, 56, 308, 16},
    {278, kEdit, nullptr, 8, 74, 308, 21},
    {279, kLabel, "IDC_STC_MAIL", 8, 104, 308, 16},
    {280, kEdit, nullptr, 8, 122, 308, 21},
    {375, kButton, "IDC_BTN_VER", 228, 212, 88, 23},
};

constexpr LayoutRow kMailPage4[] = {
    {0, nullptr, nullptr, kMailPageX, kMailPageY, 324, 243},
    {283, kLabel, "IDC_STC_TO", 8, 8, 308, 16},
    {284, kCombo, nullptr, 8, 26, 216, 100},  // with its list
    {285, kButton, "IDC_BTN_ADD", 228, 25, 88, 23},
    {286, kList, nullptr, 8, 54, 216, 92},
    {287, kButton, "IDC_BTN_DEL", 228, 54, 88, 23},
    {377, kGroup, nullptr, 8, 154, 308, 80},
    {378, kButton, "IDC_CHK_DIVIDE", 16, 168, 292, 20},
    {379, kLabel, "IDC_STC_DIVIDE", 32, 199, 110, 16},
    {380, kEdit, nullptr, 146, 196, 64, 21},
    {381, nullptr, nullptr, 210, 196, 16, 21},  // up-down
    {382, kLabel, "IDC_STC_KB", 232, 199, 60, 16},
};

constexpr LayoutRow kMailPage5[] = {
    {0, nullptr, nullptr, kMailPageX, kMailPageY, 324, 243},
    {290, kGroup, nullptr, 8, 8, 308, 108},
    {291, kButton, "IDC_CHK_MAIL", 16, 22, 292, 20},
    {292, kButton, "IDC_RAD_VARIABLE", 32, 48, 276, 20},
    {293, kButton, "IDC_RAD_FIXATION", 32, 74, 180, 20},
    {294, kButton, "IDC_BTN_EDIT", 220, 72, 88, 23},
    {385, kLabel, "IDC_STC_ENCODE", 8, 131, 120, 16},
    {386, kCombo, nullptr, 132, 128, 184, 100},  // with its list
};

constexpr LayoutRow kMailPage6[] = {
    {0, nullptr, nullptr, kMailPageX, kMailPageY, 324, 243},
    {297, kGroup, nullptr, 8, 8, 308, 110},
    {298, kButton, "CHK_AUTH", 16, 22, 292, 20},
    {299, kLabel, "STC_ID", 32, 53, 90, 16},
    {300, kEdit, nullptr, 126, 50, 182, 21},
    {301, kLabel, "STC_PASSWORD", 32, 83, 90, 16},
    {302, kEdit, nullptr, 126, 80, 182, 21},
};

template <std::size_t N>
constexpr LayoutTable Table(int template_id, int mode, const LayoutRow (&rows)[N]) {
  return {template_id, mode, rows, static_cast<int>(N)};
}

}  // namespace

constinit const LayoutTable kWizardFrameLayout = Table(200, kLayoutTopLevel, kWizardFrame);
constinit const LayoutTable kWizardKindLayout = Table(205, kLayoutPage, kWizardKind);
constinit const LayoutTable kWizardNameLayout = Table(211, kLayoutPage, kWizardName);
constinit const LayoutTable kWizardLineLayout = Table(215, kLayoutPage, kWizardLine);
constinit const LayoutTable kWizardProxyLayout = Table(219, kLayoutPage, kWizardProxy);
constinit const LayoutTable kWizardUrlLayout = Table(228, kLayoutPage, kWizardUrl);
constinit const LayoutTable kWizardIppSummaryLayout =
    Table(234, kLayoutPage, kWizardIppSummary);
constinit const LayoutTable kWizardLprServerLayout = Table(242, kLayoutPage, kWizardLprServer);
constinit const LayoutTable kWizardLprSummaryLayout =
    Table(249, kLayoutPage, kWizardLprSummary);
constinit const LayoutTable kWizardRawHostLayout = Table(324, kLayoutPage, kWizardRawHost);
constinit const LayoutTable kWizardRawSummaryLayout =
    Table(328, kLayoutPage, kWizardRawSummary);

constinit const LayoutTable kMailBodyLayout = Table(303, kLayoutTopLevel, kMailBody);
constinit const LayoutTable kBroadcastLayout = Table(262, kLayoutTopLevel, kBroadcast);
constinit const LayoutTable kSearchLayout = Table(257, kLayoutTopLevel, kSearch);
constinit const LayoutTable kPasswordLayout = Table(394, kLayoutTopLevel, kPassword);
constinit const LayoutTable kRetryLayout = Table(401, kLayoutTopLevel, kRetry);
constinit const LayoutTable kVersionLayout = Table(388, kLayoutTopLevel, kVersion);
constinit const LayoutTable kIppAdvancedLayout = Table(356, kLayoutTopLevel, kIppAdvanced);

constinit const LayoutTable kIppConfigureLayout = Table(330, kLayoutTopLevel, kIppConfigure);
constinit const LayoutTable kIppPage1Layout = Table(333, kLayoutPage, kIppPage1);
constinit const LayoutTable kIppPage2Layout = Table(349, kLayoutPage, kIppPage2);
constinit const LayoutTable kLprConfigureLayout = Table(366, kLayoutTopLevel, kLprConfigure);
constinit const LayoutTable kMailConfigureLayout = Table(373, kLayoutTopLevel, kMailConfigure);
constinit const LayoutTable kMailPage3Layout = Table(374, kLayoutPage, kMailPage3);
constinit const LayoutTable kMailPage4Layout = Table(376, kLayoutPage, kMailPage4);
constinit const LayoutTable kMailPage5Layout = Table(384, kLayoutPage, kMailPage5);
constinit const LayoutTable kMailPage6Layout = Table(387, kLayoutPage, kMailPage6);

constinit const LayoutTable* const kAllLayouts[] = {
    &kWizardFrameLayout,    &kWizardKindLayout,       &kWizardNameLayout,
    &kWizardLineLayout,     &kWizardProxyLayout,      &kWizardUrlLayout,
    &kWizardIppSummaryLayout, &kWizardLprServerLayout, &kWizardLprSummaryLayout,
    &kWizardRawHostLayout,  &kWizardRawSummaryLayout, &kMailBodyLayout,
    &kBroadcastLayout,      &kSearchLayout,           &kPasswordLayout,
    &kRetryLayout,          &kVersionLayout,          &kIppAdvancedLayout,
    &kIppConfigureLayout,   &kIppPage1Layout,         &kIppPage2Layout,
    &kLprConfigureLayout,   &kMailConfigureLayout,    &kMailPage3Layout,
    &kMailPage4Layout,      &kMailPage5Layout,        &kMailPage6Layout,
};
constinit const int kAllLayoutCount = static_cast<int>(std::size(kAllLayouts));

}  // namespace ui

/* Templates for testing layout code apart from any real dialog. */
#ifndef VEXA_TESTS_GUI_TEST_DIALOGS_H
#define VEXA_TESTS_GUI_TEST_DIALOGS_H

#define IDD_TEST_TOP 9001  /* a top-level dialog with a control of each kind */
#define IDD_TEST_HOST 9002 /* a top-level dialog to hold a page */
#define IDD_TEST_PAGE 9003 /* a child dialog, as wizard and tab pages are */

#define IDC_TEST_LABEL 9101
#define IDC_TEST_EDIT 9102
#define IDC_TEST_BUTTON 9103
#define IDC_TEST_PLAIN 9104
#define IDC_TEST_UNKEYED 9105

#endif

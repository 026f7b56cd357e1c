/* Ids of SETUP.EXE's window. Read by the resource compiler too, hence plain
   macros. */
#ifndef VEXA_RESOURCES_SETUP_H
#define VEXA_RESOURCES_SETUP_H

#define IDD_SETUP 100
#define IDC_SETUP_INTRO 101
#define IDC_SETUP_FOLDER 102
#define IDC_SETUP_BROWSE 103
#define IDC_SETUP_FOLDER_LABEL 104
#define IDI_SETUP 1

#endif

/* Ids of the printer search dialog and its broadcast address dialog. Read
   by the resource compiler too, hence plain macros. */
#ifndef VEXA_RESOURCES_DISCOVERY_H
#define VEXA_RESOURCES_DISCOVERY_H

/* Printer search. */
#define IDD_SEARCH 257
#define IDC_SETUMEI07 258
#define IDC_SEARCH_LIST 259
#define IDC_BTN_CON 260   /* opens the broadcast address dialog */
#define IDC_BTN_BROAD 261 /* searches again */

/* Broadcast addresses. */
#define IDD_BROADCAST 262
#define IDC_SETUMEI08 263
#define IDC_ADDRESS_PICTURE 264
#define IDC_OCTET1 265
#define IDC_OCTET2 266
#define IDC_OCTET3 267
#define IDC_OCTET4 268
#define IDC_BTN_ADD 269
#define IDC_BROADCAST_LIST 270
#define IDC_BTN_DEL 271
#define IDC_BROADCAST_LINE 272

/* The picture behind the four octet fields. */
#define IDB_ADDRESS 104

#endif

/* Ids of the configure dialogs of LPR, Raw and IPP ports, the frame the
   IPP and E-mail dialogs share (OK, Cancel, Apply, tabs), the IPP advanced
   settings and the version box. Read by the resource compiler too, hence
   plain macros. */
#ifndef VEXA_RESOURCES_CONFIGURE_H
#define VEXA_RESOURCES_CONFIGURE_H

/* The tabbed dialogs (IPP 330, E-mail 373): OK, Cancel and these. */
#define IDD_CFG_IPP 330
#define IDC_APPLY 331
#define IDC_TABS 332

/* IPP tab PAGE1: URL, time-out, proxy, automatic retry. */
#define IDD_IPP_PAGE1 333
#define IDC_CNF_URI 334
#define IDC_CNF_URL 335
#define IDC_CNF_TIMEOUT 336
#define IDC_CNF_TIMEOUT_EDIT 337
#define IDC_CNF_TIMEOUT_SPIN 338
#define IDC_CNF_SEC 339
#define IDC_CNF_PROXY_FRAME 340
#define IDC_CHK_PROXY 341
#define IDC_CNF_PROXY 342
#define IDC_CNF_PROXY_EDIT 343
#define IDC_CNF_PORT 344
#define IDC_CNF_PORT_EDIT 345
#define IDC_BTN_VERSION 346
#define IDC_BTN_HIGH 347

/* IPP tab PAGE2: Basic authentication. */
#define IDD_IPP_PAGE2 349
#define IDC_CNF_BASIC_FRAME 350
#define IDC_CHK_BASIC 351
#define IDC_CNF_USER 352
#define IDC_CNF_USER_EDIT 353
#define IDC_CNF_PASS 354
#define IDC_CNF_PASS_EDIT 355

/* IPP advanced settings: chunked sending and the printer's language. */
#define IDD_IPP_ADVANCED 356
#define IDC_CHUNK_FRAME 357
#define IDC_CHK_CHUNK 358
#define IDC_CNF_CHUNKSIZE 359
#define IDC_CNF_CHUNK_EDIT 360
#define IDC_CNF_CHUNK_SPIN 361
#define IDC_CNF_BYTE 362
#define IDC_LANG_FRAME 363
#define IDC_LANG 364
#define IDC_LANG_LIST 365

/* LPR and Raw: one dialog, the byte-count box for LPR only. */
#define IDD_CFG_LPR 366
#define IDC_TIMEOUT 367
#define IDC_TIMEOUT_EDIT 368
#define IDC_TIMEOUT_SPIN 369
#define IDC_BTN_VER 370
#define IDC_CHK_RECONNECT 371 /* also on IPP tab PAGE1 */
#define IDC_CHK_BYTECNT 372

/* The version box. */
#define IDD_VERSION 388
#define IDC_VERSION_LINE 389
#define IDC_VERSION01 390
#define IDC_VERSION02 391
#define IDC_VERSION04 392
#define IDC_VERSION03 393

#endif

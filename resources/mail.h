/* Ids of the e-mail configure dialog's four tab pages and of the mail body
   editor. Read by the resource compiler too, hence plain macros. Ids of
   controls other dialogs also have (Add, Delete, the version button) carry
   MAIL in their names, so that the headers can be included together. */
#ifndef VEXA_RESOURCES_MAIL_H
#define VEXA_RESOURCES_MAIL_H

/* The e-mail configure dialog: its tab control, OK, Cancel and Apply are
   those of resources/configure.h. */
#define IDD_MAIL_CONFIGURE 373

/* Mail body editor. */
#define IDD_MAIL_BODY 303
#define IDC_STC_SUBJECT 304
#define IDC_BODY_SUBJECT 305
#define IDC_STC_BODY 306
#define IDC_BODY_TEXT 307
#define IDC_STC_SIGNATURE 308
#define IDC_BODY_SIGNATURE 309

/* Tab "PAGE3": SMTP server and sender. */
#define IDD_MAIL_SERVER 374
#define IDC_STC_SMTP 275
#define IDC_SMTP_SERVER 276
#define IDC_STC_FROM 277
#define IDC_FROM_NAME 278
#define IDC_STC_MAIL 279
#define IDC_FROM_ADDR 280
#define IDC_MAIL_VERSION 375

/* Tab "PAGE4": destinations and mail division. */
#define IDD_MAIL_DESTINATIONS 376
#define IDC_STC_TO 283
#define IDC_TO_COMBO 284
#define IDC_MAIL_ADD 285
#define IDC_TO_LIST 286
#define IDC_MAIL_DELETE 287
#define IDC_DIVIDE_GROUP 377
#define IDC_CHK_DIVIDE 378
#define IDC_STC_DIVIDE 379
#define IDC_DIVIDE_SIZE 380
#define IDC_DIVIDE_SPIN 381
#define IDC_STC_KB 382

/* Tab "PAGE5": mail body and encoding. */
#define IDD_MAIL_TEXT 384
#define IDC_TEXT_GROUP 290
#define IDC_CHK_MAIL 291
#define IDC_RAD_VARIABLE 292
#define IDC_RAD_FIXATION 293
#define IDC_MAIL_EDIT 294
#define IDC_STC_ENCODE 385
#define IDC_ENCODING 386

/* Tab "PAGE6": SMTP authentication. */
#define IDD_MAIL_AUTH 387
#define IDC_AUTH_GROUP 297
#define IDC_CHK_AUTH 298
#define IDC_STC_ID 299
#define IDC_AUTH_ID 300
#define IDC_STC_PASSWORD 301
#define IDC_AUTH_PASS 302

#endif

/* Ids of the two prompts shown while a job is sent. Read by the resource
   compiler too, hence plain macros. */
#ifndef VEXA_RESOURCES_PROMPTS_H
#define VEXA_RESOURCES_PROMPTS_H

/* User name and password prompt. */
#define IDD_PASS 394
#define IDC_PASS_ICON 395
#define IDC_SETUMEI11 396
#define IDC_NAME 397
#define IDC_NAME_EDIT 398
#define IDC_KEYWORD 399
#define IDC_KEYWORD_EDIT 400

/* Send-error retry prompt. */
#define IDD_RETRY 401
#define IDC_RETRY 402
#define IDC_RETRY_TEXT 403
#define IDC_RETRY_ICON 404

#endif

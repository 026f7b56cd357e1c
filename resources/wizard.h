/* Ids of the add-port wizard: its frame, its ten pages and their controls.
   Read by the resource compiler too, hence plain macros. Ids shared by
   several pages (245, 214) name the same kind of field on each. */
#ifndef VEXA_RESOURCES_WIZARD_H
#define VEXA_RESOURCES_WIZARD_H

/* Frame. */
#define IDD_WIZARD 200
#define IDC_NEXT 201
#define IDC_BACK 202
#define IDC_PICTURE 203
#define IDC_WIZARD_LINE 204

/* Page 0: port kind. */
#define IDD_WIZ_KIND 205
#define IDC_SETUMEI01 206
#define IDC_QDLPR 207
#define IDC_QDIPP 208
#define IDC_QDRAW 209
#define IDC_QDEMAIL 210

/* Page 1: port name. */
#define IDD_WIZ_NAME 211
#define IDC_SETUMEI03 212
#define IDC_TEXT_NAME 213
#define IDC_PORT_NAME 214

/* Page 2: modem or LAN. */
#define IDD_WIZ_LINE 215
#define IDC_SETUMEI10 216
#define IDC_BTN_MODEM 217
#define IDC_BTN_LAN 218

/* Page 3: proxy. */
#define IDD_WIZ_PROXY 219
#define IDC_PROXY_INFO 220
#define IDC_BTN_NO 221
#define IDC_PROXY_FRAME 222
#define IDC_BTN_PROXY 223
#define IDC_TEXT_PROXY 224
#define IDC_PROXY_NAME 225
#define IDC_TEXT_NUM 226
#define IDC_PROXY_NUM 227

/* Page 4: printer URL and connection test. */
#define IDD_WIZ_URL 228
#define IDC_SETUMEI02 229
#define IDC_TEXT_URI 230
#define IDC_URL 231
#define IDC_ANIMATION 232
#define IDC_TEXT_CONNECT 233

/* Page 5: IPP summary. */
#define IDD_WIZ_IPP_END 234
#define IDC_SETUMEI04 235
#define IDC_TEXT_ADR 236
#define IDC_TEXT_PRINT 237
#define IDC_TEXT_PRINTER 238
#define IDC_SUM_URL 239
#define IDC_SUM_IPP_NAME 240
#define IDC_SUM_MODEL 241

/* Page 6: LPR server and queue. */
#define IDD_WIZ_LPR 242
#define IDC_SETUMEI05 243
#define IDC_TEXT_IP 244
#define IDC_HOST 245
#define IDC_TEXT_QDC 246
#define IDC_QUEUE 247
#define IDC_BTN_SEEK 248

/* Page 7: LPR summary. */
#define IDD_WIZ_LPR_END 249
#define IDC_SETUMEI06 250
#define IDC_TEXT_IPADD 251
#define IDC_SUM_HOST 252
#define IDC_TEXT_PNAME 253
#define IDC_SUM_QUEUE 254
#define IDC_TEXT_PRINAME 255
#define IDC_SUM_LPR_NAME 256

/* Page 13: Raw printer address; page 14: Raw summary. */
#define IDD_WIZ_RAW 324
#define IDC_RAW_INFO 325
#define IDC_RAW_TEXT_IP 326
#define IDC_RAW_SEEK 327
#define IDD_WIZ_RAW_END 328
#define IDC_RAW_TEXT_NAME 329

/* Pictures of the frame, by kind, and the connection test's animation. */
#define IDB_WIZ_KIND 100
#define IDB_WIZ_LPR 101
#define IDB_WIZ_IPP 102
#define IDB_WIZ_RAW 103
#define IDI_CONNECT_FIRST 106
#define IDI_CONNECT_COUNT 10

#endif

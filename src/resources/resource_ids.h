// Resource numbers of Rubrikator.dll, and the control and command ids of its dialogs.
#pragma once

#define IDR_MANIFEST         2
#define IDR_REGISTRY_HANDLER 102
#define IDR_REGISTRY_BAND    108
#define IDS_PRODUCT_NAME     128
#define IDB_MENU             201

// Main dialog and its pages.
#define IDD_INFO_PAGE    100
#define IDD_COLUMNS_PAGE 104
#define IDD_NOTES_PAGE   105
#define IDD_DETAILS_PAGE 106
#define IDD_MAIN         129
#define IDR_TOOLBAR      128
#define IDB_TOOLBAR      128
#define IDB_TOOLBAR_24   131 // the toolbar strip for 150 % text
#define IDB_TOOLBAR_32   132 // and for 200 %
#define IDI_PROGRAM      128
#define IDB_BANNER       202
#define IDR_HELP_PAGE    202
#define IDM_INFO         222
#define RT_HTML_PAGE     23

// Controls.
#define IDC_SYSTEM_TEXT   1001
#define IDC_VERSION_TEXT  1004
#define IDC_PAGE_ORIGIN   1007
#define IDC_BANNER        1008
#define IDC_TOOLBAR_PLACE 1020
#define IDC_SITE_ADDRESS  1080
#define IDC_CREDIT_LINE   1081
#define IDC_LIST          207
#define IDC_TEXT          208
#define IDC_NOTES_FRAME   209
#define IDC_NOTES_BESIDE  215
#define IDC_NOTES_BESIDE_OPEN 216
#define IDC_DETAILS_PATH  210
#define IDC_DETAILS_STATE 211
#define IDC_DETAILS_TABS  217
#define IDC_DETAILS_FILES 218
#define IDC_THOUSANDS     212
#define IDC_DECIMALS      213
#define IDC_FILE_SIZES    214
#define IDC_UNIT          221
#define IDC_REMEMBER_SIZES 219
#define IDC_FORGET_SIZES  220

// Commands of the main dialog, its toolbar and its menus.
#define ID_SHOW_COLUMNS        57665
#define ID_SHOW_NOTES          1023
#define ID_SHOW_INFO           57664
#define ID_SHOW_DETAILS        32769
#define ID_INFO_MENU           32783
#define ID_SEARCH_MENU         32784
#define ID_EXPORT_LIST         1019
#define ID_CONTACT             1203
#define ID_MORE_FREEWARE       32803
#define ID_REPORT_FAULT        32805
#define ID_SUGGEST_IMPROVEMENT 32806
#define ID_SUGGEST_COLUMN      32770
#define ID_FAQ                 32807
#define ID_RECOMMEND           32817
#define ID_HELP_PAGE           57670
#define ID_TOOLBAR             59392

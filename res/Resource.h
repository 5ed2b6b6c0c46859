// Resource and control identifiers shared by Quorret.rc and the program.
#pragma once

#define IDI_QUORRET 128
#define IDD_MAIN 129
#define IDD_ABOUT 100
#define IDB_LIST_IMAGES 204
#define IDB_LIST_IMAGES_24 205
#define IDB_LIST_IMAGES_32 206
#define IDC_DIVIDER_CURSOR 202
#define IDC_HYPERLINK_CURSOR 203

// Main dialog (template 129). The Scan button carries the dialog's OK id (1).
#define IDC_SCAN 1
#define IDC_HELP_PAGE 1004
#define IDC_RESTORE 1005
#define IDC_FILE_LIST 1007
#define IDC_PROGRESS 1008
#define IDC_DISKS 1009
#define IDC_FILTERS 1011
#define IDC_FOUND_COUNT 1012
#define IDC_ABOUT 57664

// About box (template 100).
#define IDC_HOME_LINK 1001

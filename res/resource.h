// Resource ids of the program: dialog templates, bitmaps, icon and controls.
#pragma once

#define IDR_MAINFRAME 128

#define IDD_PLUGSTART_DIALOG 102
#define IDD_INIT_DIALOG 146
#define IDD_CDWEBINSTALLER_DIALOG 165

#define IDB_MAIN_BACKGROUND 131
#define IDB_GUIDE_BACKGROUND 170
#define IDB_BUTTON_STRIP 132
#define IDB_CLOSE_STRIP 134
#define IDB_GUIDE_BUTTON_STRIP 169
#define IDB_ANIM_1 147
#define IDB_ANIM_0 148
#define IDB_ANIM_2 149
#define IDB_ANIM_4 151
#define IDB_ANIM_5 152
#define IDB_ANIM_6 153
#define IDB_ANIM_3 156
#define IDB_ANIM_SIZE 164

// Controls of the main dialog (2 is IDCANCEL).
#define IDC_MAIN_OK 3
#define IDC_MAIN_1001 1001
#define IDC_MAIN_1002 1002
#define IDC_MAIN_1003 1003
#define IDC_MAIN_1004 1004
#define IDC_MAIN_EXIT 1005
#define IDC_MAIN_1006 1006

// Controls of the staging dialog.
#define IDC_INIT_CANCEL 1008

// Controls of the PC-suite guide dialog.
#define IDC_GUIDE_OK 1005
#define IDC_GUIDE_CLOSE 1006
#define IDC_GUIDE_INSTALL_CD 1007
#define IDC_GUIDE_DOWNLOAD 1008

// Identifiers of the main dialog template and its controls.
#pragma once

#define IDD_VELLORAN_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_BUTTON_LOAD 1001
#define IDC_EDIT_PATH 1003
#define IDC_BUTTON_OPEN 1004
#define IDC_PROGRESS 1005
#define IDC_EDIT_LOG 1006
#define IDC_RADIO_USB 1012
#define IDC_RADIO_SERIAL 1013
#define IDC_RADIO_NET 1014
#define IDC_RADIO_LPT 1015
#define IDC_COMBO_PORT 1016
#define IDC_COMBO_BAUD 1017
#define IDC_STATIC -1

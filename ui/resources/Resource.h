// Identifiers of the workstation's resources and controls, shared by the resource script and
// the code. Plain #defines, so that windres reads this file as well as the compilers.
// Control identifiers repeat between dialogs, so each name carries its dialog.
#pragma once

// The program's icon group, the only one and so the one Explorer shows.
#define IDI_WORKSTATION 1

// Dialog templates.
#define IDD_MAIN 129
#define IDD_ENCRYPT_PAGE 130
#define IDD_SIGN_PAGE 131
#define IDD_VERIFY_PAGE 132
#define IDD_HASH_PAGE 133
#define IDD_PIN_DIALOG 134
#define IDD_PIN_CHANGE_PAGE 135
#define IDD_JOURNAL_PAGE 137

// Accelerator table: Alt+? and Alt+/ send IDM_ABOUT, which no window acts on.
#define IDR_ACCELERATORS 109
#define IDM_ABOUT 104

// String table.
#define IDS_FILTER_ENCRYPTED 110
#define IDS_FILTER_SIGNATURE 111
#define IDS_FILTER_DIGEST 112
#define IDS_FILTER_DATA 113
#define IDS_EXT_DIGEST 114
#define IDS_EXT_SIGNATURE 115
#define IDS_EXT_ENCRYPTED 116

// The style of the pages' key lists: a fixed list in the token's order, with a vertical scroll
// bar. The combo box takes WS_VSCROLL off its own window when it is created, so the code that
// sizes the drop-down reads the scroll bar from here, not from the window.
#define KEY_LIST_STYLE (CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP)

// Main window.
#define IDC_MAIN_TAB 1000
#define IDC_MAIN_SERIAL_LABEL 1103
#define IDC_MAIN_LABEL_LABEL 1104
#define IDC_MAIN_SERIAL 1105
#define IDC_MAIN_LABEL 1106
#define IDC_MAIN_JOURNAL 1107
#define IDC_MAIN_CHECKSUM 1108
#define IDC_MAIN_CHECKSUM_LABEL 1109

// PIN entry dialog (OK is IDOK, Cancel IDCANCEL).
#define IDC_PIN_PROMPT 1108
#define IDC_PIN_EDIT 1110

// Hashing page.
#define IDC_HASH_GOST94 2
#define IDC_HASH_ALGORITHM_GROUP 1037
#define IDC_HASH_GOST12_256 1039
#define IDC_HASH_GOST12_512 1047
#define IDC_HASH_INPUT_LABEL 1063
#define IDC_HASH_OUTPUT_LABEL 1064
#define IDC_HASH_INPUT 1067
#define IDC_HASH_OUTPUT 1068
#define IDC_HASH_RUN 1069
#define IDC_HASH_INPUT_BROWSE 1070
#define IDC_HASH_OUTPUT_BROWSE 1071

// Signing page.
#define IDC_SIGN_KEY_LABEL 1022
#define IDC_SIGN_INPUT_LABEL 1023
#define IDC_SIGN_SIGNATURE_LABEL 1024
#define IDC_SIGN_KEY 1025
#define IDC_SIGN_INPUT 1027
#define IDC_SIGN_SIGNATURE 1028
#define IDC_SIGN_RUN 1029
#define IDC_SIGN_INPUT_BROWSE 1030
#define IDC_SIGN_SIGNATURE_BROWSE 1031
#define IDC_SIGN_ALGORITHM 1054
#define IDC_SIGN_ALGORITHM_LABEL 1056
#define IDC_SIGN_VISUALIZE 1058

// Verification page.
#define IDC_VERIFY_KEY_LABEL 1042
#define IDC_VERIFY_INPUT_LABEL 1043
#define IDC_VERIFY_SIGNATURE_LABEL 1044
#define IDC_VERIFY_KEY 1045
#define IDC_VERIFY_INPUT 1047
#define IDC_VERIFY_SIGNATURE 1048
#define IDC_VERIFY_RUN 1049
#define IDC_VERIFY_INPUT_BROWSE 1050
#define IDC_VERIFY_SIGNATURE_BROWSE 1051
#define IDC_VERIFY_ALGORITHM 1053
#define IDC_VERIFY_ALGORITHM_LABEL 1057

// Encryption page.
#define IDC_CRYPT_KEY_LABEL 1002
#define IDC_CRYPT_INPUT_LABEL 1003
#define IDC_CRYPT_OUTPUT_LABEL 1004
#define IDC_CRYPT_KEY 1005
#define IDC_CRYPT_INPUT 1007
#define IDC_CRYPT_OUTPUT 1008
#define IDC_CRYPT_RUN 1009
#define IDC_CRYPT_INPUT_BROWSE 1010
#define IDC_CRYPT_OUTPUT_BROWSE 1011
#define IDC_CRYPT_ENCRYPT 1012
#define IDC_CRYPT_DECRYPT 1013
#define IDC_CRYPT_OPERATION_GROUP 1014

// PIN change page.
#define IDC_PINCHANGE_NEW 1023
#define IDC_PINCHANGE_CONFIRM 1024
#define IDC_PINCHANGE_NEW_LABEL 1025
#define IDC_PINCHANGE_CONFIRM_LABEL 1026
#define IDC_PINCHANGE_RUN 1027
#define IDC_PINCHANGE_USER_GROUP 1028
#define IDC_PINCHANGE_PIN2_GROUP 1029
#define IDC_PINCHANGE_PIN2_TEXT 1030
#define IDC_PINCHANGE_PIN2_RUN 1031

// Journal page.
#define IDC_JOURNAL_OUTPUT_LABEL 1032
#define IDC_JOURNAL_OUTPUT 1034
#define IDC_JOURNAL_BROWSE 1035
#define IDC_JOURNAL_RUN 1036

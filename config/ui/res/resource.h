// Identifiers of the configuration library's resources, shared by the
// resource script and the dialog code.

// Dialog templates and the board picture
#define IDD_TEMPLATE_DIALOG 105
#define IDD_ABOUTBOX 106
#define IDD_OUTPUT_RANGE_PAGE 123
#define IDD_DEVICE_PAGE 124
#define IDB_BOARD 127

// Main dialog (105); its Save and Close buttons are IDOK and IDCANCEL
#define IDC_REMOVE_TEMPLATE 1071
#define IDC_TEMPLATE_TABS 1077
#define IDC_TEMPLATE_TREE 1123
#define IDC_ADD_TEMPLATE 1124
// The command that opens the About box; no control of the dialog sends it
#define ID_HELP_ABOUT 1008

// Output-range page (123): voltage and current boxes and labels, channels 0 to 3
#define IDC_VOLTAGE_RANGE0 1018
#define IDC_VOLTAGE_RANGE1 1019
#define IDC_VOLTAGE_RANGE2 1020
#define IDC_VOLTAGE_RANGE3 1021
#define IDC_CURRENT_RANGE0 1022
#define IDC_CURRENT_RANGE1 1023
#define IDC_CURRENT_RANGE2 1024
#define IDC_CURRENT_RANGE3 1025
#define IDC_VOLTAGE_LABEL0 1087
#define IDC_VOLTAGE_LABEL1 1088
#define IDC_VOLTAGE_LABEL2 1089
#define IDC_VOLTAGE_LABEL3 1090
#define IDC_CURRENT_LABEL0 1091
#define IDC_CURRENT_LABEL1 1092
#define IDC_CURRENT_LABEL2 1093
#define IDC_CURRENT_LABEL3 1094

// Device page (124)
#define IDC_BOARD_ID 1125
#define IDC_DEVICE_FEATURES 1126

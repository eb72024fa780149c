// Numbers shared by main.cpp and Tolvane.rc.
#ifndef RESOURCE_H
#define RESOURCE_H

// menus
#define IDR_MAINMENU        101

// dialog templates
#define IDD_TWEAK           102
#define IDD_RESTRICT        103
#define IDD_ABOUT           108
#define IDD_PLAIN           127

// icon group (the shell shows the named group "A", which comes first)
#define IDI_TOLVANE         120

// about box controls
#define IDC_ABOUTCONTACT    1045
#define IDC_ABOUTOK         1048
#define IDC_ABOUTMAKER      1053
#define IDC_ABOUTCREDITS    1054

// menu commands
#define IDM_RESTRICT        40001
#define IDM_TWEAK           40002
#define IDM_EXIT            40003
#define IDM_AUTHOR          40005

// buttons of the policy dialogs; their check boxes are known by number in
// the tables of main.cpp and in the templates
#define IDC_RESTRICTAPPLY   1000
#define IDC_TWEAKCLOSE      1005
#define IDC_TWEAKAPPLY      1006
#define IDC_RESTRICTCLOSE   1007

// quick settings of the Set Restrictions dialog, in preset order
#define IDC_SCHOOL          1107
#define IDC_CYBERCAFE       1108
#define IDC_HIGHLY          1109
#define IDC_CLEARALL        1110

#endif

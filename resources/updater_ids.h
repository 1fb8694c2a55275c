// Resource identifiers of updater.exe, shared by updater.rc and the code.
#pragma once
#define IDI_APP 1

// The progress dialog "DLGINS" and its numbered controls.
#define IDC_ROOT_LABEL 100
#define IDC_COMPANY_LIST 110
#define IDC_OVERALL_METER 120
#define IDC_COMPANY_METER 130
#define IDC_ANIMATION 150
#define IDC_BANNER 160
#define IDC_LOGO 170

// Window classes of the custom controls the dialog template names. They are
// registered by the Win32 gui layer before the dialog is created.
#define KX_METER_CLASS "KxMeter"
#define KX_LIST_CLASS "KxList"
#define KX_PICTURE_CLASS "KxPicture"

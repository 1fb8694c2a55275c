// Resource identifiers of paneltool.exe, shared by paneltool.rc and the code.
#pragma once
#define IDI_APP 1

// Wait window of the automatic run.
#define IDD_ESPERE 100
#define IDC_ESPERE_ANIMACION 101
#define IDC_ESPERE_TEXTO 102

// Resource identifiers of paneltool.exe, shared by paneltool.rc and the code.
#pragma once
#define IDI_APP 1

// Resource identifiers of updater.exe, shared by updater.rc and the code.
#pragma once
#define IDI_APP 1

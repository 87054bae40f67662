// Linux stand-in for <commdlg.h>: the declarations live in tmfake/user.h.
#pragma once

#include <windows.h>

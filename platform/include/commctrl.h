// Linux stand-in for <commctrl.h>: the declarations live in tmfake/user.h.
#pragma once

#include <windows.h>

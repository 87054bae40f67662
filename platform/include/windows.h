// Linux stand-in for <windows.h>: the Win32 subset this project calls.
// kernel.h: kernel32/advapi32/shell services (platform/fake);
// user.h: windows, controls, dialogs, resources, GDI (framework/headless).
#pragma once

#include "tmfake/types.h"
#include "tmfake/kernel.h"
#include "tmfake/user.h"

// Version resources (Linux build): declared with the rest of kernel32 in
// tmfake/kernel.h, as <windows.h> does on Windows.
#pragma once

#include <windows.h>

// Linux stand-in for <prsht.h>: the declarations live in tmfake/user.h.
#pragma once

#include <windows.h>

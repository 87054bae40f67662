// Linux stand-in for <shlwapi.h>: the light-weight shell functions this
// project calls (platform/fake/FakeShlwapi.cpp).
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Shortens the path in place (a buffer of MAX_PATH characters) so that it is
// at most dx pixels wide in hDC's font (the screen's when hDC is NULL): the
// end of the directory part gives way to "..." before the file name, then the
// file name itself is cut behind "...". FALSE when not even "..." plus part of
// the name fits (the text is then as many dots as fit) or pszPath is NULL.
BOOL WINAPI PathCompactPathW(HDC hDC, LPWSTR pszPath, UINT dx);

#ifdef __cplusplus
}
#endif

// Control API of the TmIvro.dll simulator, for tests, demos and tools.
//
// Named exports of the simulator DLL (reach them with GetProcAddress by name;
// WINAPI calling convention) and plain functions of the native tm_sim
// library. Keys and values use the profile syntax of docs/simulator.md, e.g.
// TmSimSet("temperature.cpu", "-10") or TmSimSet("version.21", "\"T4.13\"").
// Text results are UTF-8, cut to the buffer and always terminated; the
// functions that return a DWORD return the full length without the
// terminating zero (call with a NULL buffer and size 0 to ask for it).
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Item filter of TmSimInjectFault that matches every call.
#define TMSIM_ANY_ITEM 0xFFFFFFFFu

// Back to the embedded default profile; clears fault rules and the call log and
// stops watching a profile file.
void WINAPI TmSimReset(void);

// TRUE while a valid profile is loaded (the device is there). Without one every
// operation fails with last error 2.
BOOL WINAPI TmSimIsPresent(void);

// Replaces the profile (each starts from the embedded default). A malformed
// profile makes the device absent and returns FALSE; TmSimGetLastProfileError tells
// why. A loaded file is watched: when it changes, it is read again.
BOOL WINAPI TmSimLoadProfileText(const char* pszUtf8Text);
BOOL WINAPI TmSimLoadProfileFile(const WCHAR* pszPath);

// The reason of the last failed profile load or control call: lines of the
// form "file:line: reason"; empty after a good load.
DWORD WINAPI TmSimGetLastProfileError(char* pszBuffer, DWORD cchBuffer);

// Sets one profile key on the running device ("faults.<Operation>" adds a fault
// rule). FALSE, with the reason in TmSimGetLastProfileError, for a bad key or
// value or an absent device; the device is then unchanged.
BOOL WINAPI TmSimSet(const char* pszKey, const char* pszValue);

// The current value of a profile key in profile syntax; 0 for an unknown key or
// an absent device.
DWORD WINAPI TmSimGet(const char* pszKey, char* pszBuffer, DWORD cchBuffer);

// Makes the operation (its name, e.g. "IvroGetTemperature", or "*" for all)
// fail with dwError once it has succeeded dwAfterCalls times (0: at once), from
// then on until TmSimClearFaults. dwItem limits the rule to calls with that
// item, sensor, layer, LED number or kind; TMSIM_ANY_ITEM for all calls.
BOOL WINAPI TmSimInjectFault(const char* pszOperation, DWORD dwError, DWORD dwAfterCalls,
                             DWORD dwItem);
void WINAPI TmSimClearFaults(void);

// The call log: one line per operation call, each ending in "\n".
DWORD WINAPI TmSimGetCallLog(char* pszBuffer, DWORD cchBuffer);
void WINAPI TmSimClearCallLog(void);

// For GetProcAddress users.
typedef void(WINAPI* PFN_TMSIMRESET)(void);
typedef BOOL(WINAPI* PFN_TMSIMISPRESENT)(void);
typedef BOOL(WINAPI* PFN_TMSIMLOADPROFILETEXT)(const char*);
typedef BOOL(WINAPI* PFN_TMSIMLOADPROFILEFILE)(const WCHAR*);
typedef DWORD(WINAPI* PFN_TMSIMGETLASTPROFILEERROR)(char*, DWORD);
typedef BOOL(WINAPI* PFN_TMSIMSET)(const char*, const char*);
typedef DWORD(WINAPI* PFN_TMSIMGET)(const char*, char*, DWORD);
typedef BOOL(WINAPI* PFN_TMSIMINJECTFAULT)(const char*, DWORD, DWORD, DWORD);
typedef void(WINAPI* PFN_TMSIMCLEARFAULTS)(void);
typedef DWORD(WINAPI* PFN_TMSIMGETCALLLOG)(char*, DWORD);
typedef void(WINAPI* PFN_TMSIMCLEARCALLLOG)(void);

#ifdef __cplusplus
}

#include <string>
#include <vector>

// The call log as lines, for native tests.
inline std::vector<std::string> TmSimCallLogLines() {
    std::string strText(TmSimGetCallLog(nullptr, 0) + 1, '\0');
    DWORD dwLength = TmSimGetCallLog(&strText[0], static_cast<DWORD>(strText.size()));
    strText.resize(dwLength < strText.size() ? dwLength : strText.size() - 1);
    std::vector<std::string> lines;
    size_t nStart = 0;
    while (nStart < strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = strText.size();
        lines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return lines;
}

// The value of a profile key, empty if there is none.
inline std::string TmSimGetString(const char* pszKey) {
    std::string strValue(TmSimGet(pszKey, nullptr, 0) + 1, '\0');
    DWORD dwLength = TmSimGet(pszKey, &strValue[0], static_cast<DWORD>(strValue.size()));
    strValue.resize(dwLength < strValue.size() ? dwLength : strValue.size() - 1);
    return strValue;
}

// The last profile or control error.
inline std::string TmSimLastProfileError() {
    std::string strText(TmSimGetLastProfileError(nullptr, 0) + 1, '\0');
    DWORD dwLength = TmSimGetLastProfileError(&strText[0], static_cast<DWORD>(strText.size()));
    strText.resize(dwLength < strText.size() ? dwLength : strText.size() - 1);
    return strText;
}
#endif

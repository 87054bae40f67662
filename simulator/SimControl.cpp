// The named control exports of the simulator (TmIvroSim.h).
#include "simulator/TmIvroSim.h"

#include <cstring>
#include <string>

#include "simulator/SimDevice.h"

namespace {

tmsim::Simulator& Sim() {
    return tmsim::Simulator::Instance();
}

DWORD CopyOut(const std::string& str, char* pszBuffer, DWORD cchBuffer) {
    if (pszBuffer && cchBuffer > 0) {
        size_t nCopy = str.size() < cchBuffer - 1 ? str.size() : cchBuffer - 1;
        std::memcpy(pszBuffer, str.data(), nCopy);
        pszBuffer[nCopy] = '\0';
    }
    return static_cast<DWORD>(str.size());
}

}  // namespace

extern "C" {

void WINAPI TmSimReset(void) {
    Sim().Reset();
}

BOOL WINAPI TmSimIsPresent(void) {
    return Sim().IsPresent() ? TRUE : FALSE;
}

BOOL WINAPI TmSimLoadProfileText(const char* pszUtf8Text) {
    return Sim().LoadText(pszUtf8Text ? pszUtf8Text : "") ? TRUE : FALSE;
}

BOOL WINAPI TmSimLoadProfileFile(const WCHAR* pszPath) {
    std::wstring strPath = pszPath ? pszPath : L"";
#ifdef _WIN32
    std::filesystem::path path(strPath);
#else
    std::filesystem::path path(tmsim::WideToUtf8(strPath));
#endif
    return Sim().LoadFile(path) ? TRUE : FALSE;
}

DWORD WINAPI TmSimGetLastProfileError(char* pszBuffer, DWORD cchBuffer) {
    return CopyOut(Sim().LastError(), pszBuffer, cchBuffer);
}

BOOL WINAPI TmSimSet(const char* pszKey, const char* pszValue) {
    return Sim().Set(pszKey ? pszKey : "", pszValue ? pszValue : "") ? TRUE : FALSE;
}

DWORD WINAPI TmSimGet(const char* pszKey, char* pszBuffer, DWORD cchBuffer) {
    std::string strValue;
    if (!Sim().Get(pszKey ? pszKey : "", strValue)) strValue.clear();
    return CopyOut(strValue, pszBuffer, cchBuffer);
}

BOOL WINAPI TmSimInjectFault(const char* pszOperation, DWORD dwError, DWORD dwAfterCalls,
                             DWORD dwItem) {
    tmsim::FaultSpec fault;
    fault.m_strOperation = pszOperation ? pszOperation : "";
    fault.m_nError = dwError;
    fault.m_nAfter = dwAfterCalls;
    fault.m_nItem = dwItem;
    return Sim().InjectFault(fault) ? TRUE : FALSE;
}

void WINAPI TmSimClearFaults(void) {
    Sim().ClearFaults();
}

DWORD WINAPI TmSimGetCallLog(char* pszBuffer, DWORD cchBuffer) {
    return CopyOut(Sim().CallLogText(), pszBuffer, cchBuffer);
}

void WINAPI TmSimClearCallLog(void) {
    Sim().ClearCallLog();
}

}  // extern "C"

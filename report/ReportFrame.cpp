#include "applet/ErrorText.h"
#include "report/Report.h"

namespace report {

void AppendHeader(CString& rReport, const wchar_t* pszName) {
    rReport += L"\r\n--- ";
    rReport += pszName;
    rReport += L" ---\r\n\r\n";
}

void AppendLine(CString& rReport, const wchar_t* pszLabel, const CString& value) {
    rReport += pszLabel;
    rReport += value;
    rReport += L"\r\n";
}

CString FailureText(DWORD dwError) {
    return CString(GetSystemErrorText(dwError));
}

CString LastErrorText() {
    return FailureText(::GetLastError());
}

}  // namespace report

void BuildReport(const CReportSections& sections, DWORD nDeviceType, CString& rReport,
                 CString& rDefaultFileName) {
    rReport = L"*** Tolmek Control Center Report ***\r\n\r\n";
    rDefaultFileName.Empty();
    AppendReportHead(rReport, nDeviceType, rDefaultFileName);
    // The order is fixed, whatever the order of the boxes on the page.
    if (sections.bCpu) AppendCpuSection(rReport);
    if (sections.bMemory) AppendMemorySection(rReport);
    if (sections.bBios) AppendBiosSection(rReport);
    if (sections.bFirmware) AppendFirmwareSection(rReport, nDeviceType);
    if (sections.bWindows) AppendWindowsSection(rReport);
    if (sections.bIvronet) AppendIvronetSection(rReport);
    if (sections.bKeyConfig) AppendKeyConfigSection(rReport);
    if (sections.bFactory) AppendFactorySection(rReport);
    if (sections.bTemperatures) AppendTemperaturesSection(rReport);
    if (sections.bSwitches) AppendSwitchesSection(rReport);
    if (sections.bDisplay) AppendDisplaySection(rReport);
    if (sections.bKeysLeds) AppendKeysLedsSection(rReport);
    if (sections.bRavla) AppendRavlaSection(rReport);
    if (sections.bUser) AppendUserSection(rReport);
    rReport += L"\r\n*** Report end ***\r\n";
}

namespace {

// Upper-case hex of nValue with at least two digits ("%02X"), appended.
void AppendHex(CString& rText, size_t nValue) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    wchar_t szDigits[2 * sizeof(size_t) + 1];
    size_t n = 0;
    do {
        szDigits[n++] = kDigits[nValue & 0xF];
        nValue >>= 4;
    } while (nValue != 0);
    if (n < 2) szDigits[n++] = L'0';
    while (n > 0) rText += szDigits[--n];
}

}  // namespace

void AppendHexDump(const BYTE* pData, size_t nCount, CString& rOutput, BOOL bWithChars) {
    rOutput.Empty();
    CString line;
    CString chars;
    for (size_t i = 0; i < nCount; ++i) {
        // The blank lands before the pending line: it ends the label's line
        // at the start and trails the previous line later on.
        if (i % 8 == 0) rOutput += L' ';
        if (i % 16 == 0) {
            rOutput += line;
            if (bWithChars) rOutput += chars;
            line = L"\r\n0x";
            AppendHex(line, i);
            line += L':';
            chars = L" ";
        }
        line += L' ';
        AppendHex(line, pData[i]);
        if (bWithChars) {
            // Printable ASCII without the blank; no locale involved.
            const BYTE b = pData[i];
            chars += (b > 0x20 && b < 0x7F) ? static_cast<wchar_t>(b) : L'.';
        }
    }
    if (bWithChars) {
        for (size_t i = nCount; i % 16 != 0; ++i) line += L"   ";
    }
    rOutput += line;
    if (bWithChars) rOutput += chars;
}

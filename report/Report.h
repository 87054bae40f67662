// The system report: one English text with "\r\n" line ends, built from a
// title, a head and the selected sections in a fixed order. Every value that
// cannot be read is replaced by its failure text; nothing is shown in a
// message box and generation always completes.
#pragma once

#include "framework/Afx.h"

// Which sections a report holds (1 = written).
struct CReportSections {
    BOOL bIvronet;
    BOOL bBios;
    BOOL bMemory;
    BOOL bFactory;
    BOOL bDisplay;
    BOOL bFirmware;
    BOOL bKeyConfig;
    BOOL bKeysLeds;
    BOOL bTemperatures;
    BOOL bSwitches;
    BOOL bCpu;
    BOOL bWindows;
    BOOL bRavla;
    BOOL bUser;
};

// The whole report for a device of type nDeviceType. rDefaultFileName
// becomes the computer name + ".txt", or empty when the name is unreadable.
void BuildReport(const CReportSections& sections, DWORD nDeviceType, CString& rReport,
                 CString& rDefaultFileName);

// Replaces rOutput by the dump of nCount bytes: lines of 16 bytes as
// "\r\n0xOO: XX XX ..." (with bWithChars followed by a blank and the bytes
// as characters), with one blank written before every eighth byte.
void AppendHexDump(const BYTE* pData, size_t nCount, CString& rOutput, BOOL bWithChars);

// Section writers, each appending to rReport.
void AppendReportHead(CString& rReport, DWORD nDeviceType, CString& rDefaultFileName);
void AppendCpuSection(CString& rReport);
void AppendMemorySection(CString& rReport);
void AppendBiosSection(CString& rReport);
void AppendWindowsSection(CString& rReport);
void AppendIvronetSection(CString& rReport);
void AppendFirmwareSection(CString& rReport, DWORD nDeviceType);
void AppendKeyConfigSection(CString& rReport);
void AppendFactorySection(CString& rReport);
void AppendTemperaturesSection(CString& rReport);
void AppendSwitchesSection(CString& rReport);
void AppendDisplaySection(CString& rReport);
void AppendKeysLedsSection(CString& rReport);
void AppendRavlaSection(CString& rReport);
void AppendUserSection(CString& rReport);

// The Windows product, edition, service pack and build as one text; FALSE,
// with an empty text, when the version cannot be read or named.
BOOL GetWindowsVersionText(CString& rText);

// Pieces shared by the section writers.
namespace report {
// "\r\n--- " + name + " ---\r\n\r\n"
void AppendHeader(CString& rReport, const wchar_t* pszName);
// label + value + "\r\n"
void AppendLine(CString& rReport, const wchar_t* pszLabel, const CString& value);
// The system text of an error code, as a failure text.
CString FailureText(DWORD dwError);
// The failure text of the thread's last error.
CString LastErrorText();
}  // namespace report

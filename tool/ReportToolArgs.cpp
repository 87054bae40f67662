#include "tool/ReportToolArgs.h"

#include <cwctype>

namespace {

// The sections in the report's order, each with an English and a German name
// (after the boxes on the report page).
struct CSectionName {
    const wchar_t* pszEnglish;
    const wchar_t* pszGerman;
    BOOL CReportSections::*pbFlag;
    const wchar_t* pszWhat;
};

const CSectionName kSectionNames[] = {
    {L"cpu", L"cpu", &CReportSections::bCpu, L"CPU Info"},
    {L"memory", L"speicher", &CReportSections::bMemory, L"Speicherinfo"},
    {L"bios", L"bios", &CReportSections::bBios, L"BIOS Version"},
    {L"firmware", L"firmware", &CReportSections::bFirmware, L"Firmware Info"},
    {L"windows", L"windows", &CReportSections::bWindows, L"Windows Info"},
    {L"ivronet", L"ivro", &CReportSections::bIvronet, L"IVRO Version"},
    {L"keyconfig", L"tastenkonfiguration", &CReportSections::bKeyConfig, L"Tastenkonfiguration"},
    {L"factory", L"fabrik", &CReportSections::bFactory, L"Fabrikseinstellungen"},
    {L"temperatures", L"temperaturen", &CReportSections::bTemperatures, L"Temperaturen"},
    {L"switches", L"schalter", &CReportSections::bSwitches, L"Schalter"},
    {L"display", L"display", &CReportSections::bDisplay, L"Displayeinstellungen"},
    {L"keys", L"tasten", &CReportSections::bKeysLeds, L"Tasten / LEDs"},
    {L"ravla", L"ravla", &CReportSections::bRavla, L"Ravla Module (Marlet only)"},
    {L"user", L"anwender", &CReportSections::bUser, L"Anwendereinstellung."},
};

std::wstring Lower(std::wstring text) {
    for (wchar_t& ch : text) ch = static_cast<wchar_t>(std::towlower(ch));
    return text;
}

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}

std::wstring Trimmed(const std::wstring& text) {
    size_t nFirst = 0;
    size_t nEnd = text.size();
    while (nFirst < nEnd && IsBlank(text[nFirst])) ++nFirst;
    while (nEnd > nFirst && IsBlank(text[nEnd - 1])) --nEnd;
    return text.substr(nFirst, nEnd - nFirst);
}

void SelectAll(CReportSections& rSections) {
    for (const CSectionName& name : kSectionNames) rSections.*name.pbFlag = TRUE;
}

// A comma-separated list of names, or "all".
bool ParseSections(const std::wstring& list, CReportSections& rSections, std::wstring& rError) {
    rSections = {};
    if (Trimmed(list).empty()) {
        rError = L"/sections: names no section";
        return false;
    }
    size_t nStart = 0;
    for (;;) {
        const size_t nComma = list.find(L',', nStart);
        const std::wstring item = Lower(Trimmed(list.substr(nStart, nComma - nStart)));
        bool bKnown = item == L"all";
        if (bKnown) SelectAll(rSections);
        for (const CSectionName& name : kSectionNames) {
            if (item == name.pszEnglish || item == name.pszGerman) {
                rSections.*name.pbFlag = TRUE;
                bKnown = true;
            }
        }
        if (!bKnown) {
            rError = L"unknown section \"" + item + L"\"";
            return false;
        }
        if (nComma == std::wstring::npos) return true;
        nStart = nComma + 1;
    }
}

// The value of "/name:value" (also "-name:value", any case) in rValue.
bool IsOption(const std::wstring& arg, const wchar_t* pszName, std::wstring& rValue) {
    const std::wstring prefix = std::wstring(1, L'/') + pszName + L':';
    if (arg.size() < prefix.size() || (arg[0] != L'/' && arg[0] != L'-')) return false;
    if (Lower(arg.substr(1, prefix.size() - 1)) != prefix.substr(1)) return false;
    rValue = arg.substr(prefix.size());
    return true;
}

}  // namespace

bool ParseReportToolArgs(int argc, const wchar_t* const* argv, CReportToolArgs& rArgs,
                         std::wstring& rError) {
    rArgs = CReportToolArgs();
    SelectAll(rArgs.sections);
    bool bSections = false;
    bool bOut = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        std::wstring value;
        if (arg == L"/?" || arg == L"-?") {
            rArgs.bHelp = true;
        } else if (IsOption(arg, L"sections", value)) {
            if (bSections) {
                rError = L"/sections: given twice";
                return false;
            }
            bSections = true;
            if (!ParseSections(value, rArgs.sections, rError)) return false;
        } else if (IsOption(arg, L"out", value)) {
            if (bOut || value.empty()) {
                rError = bOut ? L"/out: given twice" : L"/out: names no file";
                return false;
            }
            bOut = true;
            rArgs.strOut = value;
        } else {
            rError = L"unknown argument \"" + arg + L"\"";
            return false;
        }
    }
    return true;
}

std::wstring ReportToolUsage() {
    std::wstring text =
        L"Writes the Control Center system report of this panel PC, without any window.\r\n"
        L"\r\n"
        L"TmRoveReport.exe [/sections:LIST|all] [/out:FILE]\r\n"
        L"\r\n"
        L"  /sections:LIST  the sections, separated by commas (default: all)\r\n"
        L"  /out:FILE       saves the report as the report view does (UTF-16LE);\r\n"
        L"                  without it the report goes to standard output as UTF-8\r\n"
        L"\r\n"
        L"Sections (English or German name, as on the \"Bericht\" page):\r\n";
    for (const CSectionName& name : kSectionNames) {
        std::wstring line = L"  " + std::wstring(name.pszEnglish);
        if (std::wstring(name.pszGerman) != name.pszEnglish)
            line += L", " + std::wstring(name.pszGerman);
        line.resize(34, L' ');
        text += line + name.pszWhat + L"\r\n";
    }
    text +=
        L"\r\n"
        L"Exit codes: 0 written; 1 written, but no Marlet or Ferrow found; 2 bad arguments;\r\n"
        L"3 the report could not be written.\r\n";
    return text;
}

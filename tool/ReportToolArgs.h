// The command line of TmRoveReport.exe:
//   TmRoveReport.exe [/sections:LIST|all] [/out:FILE]   or   /?
#pragma once

#include <string>

#include "report/Report.h"

struct CReportToolArgs {
    bool bHelp = false;
    // Every section unless /sections names some; the caller drops what the
    // device does not have, as the report page does.
    CReportSections sections = {};
    // Empty: the report goes to standard output.
    std::wstring strOut;
};

// false with rError saying which argument is wrong.
bool ParseReportToolArgs(int argc, const wchar_t* const* argv, CReportToolArgs& rArgs,
                         std::wstring& rError);

// The usage text with the section names, lines ending in "\r\n".
std::wstring ReportToolUsage();

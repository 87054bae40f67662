// sheet_probe: drives a property sheet shown by another process (Wine's
// control.exe) on the same desktop.
//
//   sheet_probe [--caption TEXT] [--timeout SECONDS] [--shots DIR]
//               [--expect ID=TEXT]... [--answer-messages] [--report-view FILE]
//
// Waits for the sheet with that caption (any sheet without --caption), visits
// every page (saving a BMP of each into DIR as NN-title.bmp, and checking that
// control ID of whichever page has it shows TEXT), then presses Cancel and
// waits for the sheet to go. With --answer-messages, message boxes shown
// before the sheet are reported, saved as 00-message.bmp and answered with OK.
// With --shots, the key matrix dialog of the Keys page is opened too (its
// question answered with OK) and saved once it shows a pressed key.
// With --report-view, the report view of the Report page is opened and saved
// as FILE (a BMP) once it shows the report.
// Prints one line per check and "N passed, M failed" last.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "tests/wine/WineTest.h"

namespace {

struct CExpectation {
    int m_nId = 0;
    std::wstring m_strText;
    bool m_bSeen = false;
};

struct COptions {
    std::wstring m_strCaption;
    DWORD m_dwTimeoutMs = 15000;
    std::wstring m_strShotDir;
    std::vector<CExpectation> m_expectations;
    bool m_bAnswerMessages = false;
    std::wstring m_strReportView;
};

// "Anwendereinstellungen" -> "anwendereinstellungen": letters and digits in
// lower case, a dash for anything else.
std::wstring FileNameOf(const std::wstring& strTitle) {
    std::wstring strOut;
    for (wchar_t ch : strTitle) {
        if (ch < 0x80 && std::iswalnum(ch))
            strOut += static_cast<wchar_t>(std::towlower(ch));
        else if (!strOut.empty() && strOut.back() != L'-')
            strOut += L'-';
    }
    while (!strOut.empty() && strOut.back() == L'-') strOut.pop_back();
    return strOut.empty() ? L"page" : strOut;
}

bool ParseOptions(int argc, wchar_t** argv, COptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring strArg = argv[i];
        if (strArg == L"--answer-messages") {
            options.m_bAnswerMessages = true;
            continue;
        }
        if (i + 1 == argc) return false;
        const std::wstring strValue = argv[++i];
        const size_t nEquals = strValue.find(L'=');
        if (strArg == L"--caption")
            options.m_strCaption = strValue;
        else if (strArg == L"--timeout")
            options.m_dwTimeoutMs = std::wcstoul(strValue.c_str(), nullptr, 10) * 1000;
        else if (strArg == L"--shots")
            options.m_strShotDir = strValue;
        else if (strArg == L"--report-view")
            options.m_strReportView = strValue;
        else if (strArg == L"--expect" && nEquals != std::wstring::npos)
            options.m_expectations.push_back(
                {static_cast<int>(std::wcstol(strValue.c_str(), nullptr, 10)),
                 strValue.substr(nEquals + 1)});
        else
            return false;
    }
    return true;
}

// The "Zeigen..." buttons of the Keys page and the Report page, and a
// control of the dialog each opens.
const int kIdShowMatrix = 1192;
const int kIdFirstKey = 1199;
const int kIdShowReport = 1264;
const int kIdReportText = 1265;

// Opens the dialog behind a page's button, waits until its control nId shows
// something (the key matrix: a key the simulator's key demo presses; the
// report view: the report), saves it as a BMP and closes it. The key
// matrix's question before it (the keys will not reach Windows) gets OK.
void ShootDialog(wt::CChecks& checks, HWND hSheet, HWND hButton, int nId, const char* pszWhat,
                 const std::wstring& strPath) {
    if (!::IsWindowEnabled(hButton)) return;
    ::PostMessageW(hButton, BM_CLICK, 0, 0);
    HWND hDlg = nullptr;
    bool bShown = wt::WaitFor(30000, [&] {
        for (HWND hWnd : wt::TopLevelWindows(0)) {
            if (!wt::IsDialog(hWnd) || hWnd == hSheet) continue;
            if (::GetDlgItem(hWnd, nId)) {
                if (!wt::ControlText(hWnd, nId).empty()) hDlg = hWnd;
            } else if (::GetDlgItem(hWnd, wt::kIdMessageText) && ::GetDlgItem(hWnd, IDOK)) {
                ::PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
        }
        return hDlg != nullptr;
    });
    if (!checks.Check(bShown, "the %s shows what it is for", pszWhat)) return;
    wt::ShowForShot(hDlg);
    checks.Check(wt::SaveWindowBitmap(hDlg, strPath), "screenshot %s", wt::Utf8(strPath).c_str());
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    checks.Check(wt::WaitFor(10000, [&] { return !::IsWindow(hDlg); }), "the %s closes", pszWhat);
}

void VisitPages(wt::CChecks& checks, HWND hSheet, COptions& options) {
    int nTabs = wt::TabCount(hSheet);
    for (int i = 0; i < nTabs; ++i) {
        HWND hPage = wt::SelectTab(hSheet, i, 5000);
        // Focus on the tab, as after a click on it: no selected edit text in the shot.
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(hSheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(wt::SheetTab(hSheet)),
                              TRUE, SMTO_ABORTIFHUNG, 5000, &nResult);
        std::wstring strTitle = hPage ? wt::WindowText(hPage) : std::wstring();
        if (!checks.Check(hPage != nullptr, "page %d (\"%s\") becomes active", i + 1,
                          wt::Utf8(strTitle).c_str()))
            continue;

        for (CExpectation& expectation : options.m_expectations) {
            if (!::GetDlgItem(hPage, expectation.m_nId)) continue;
            expectation.m_bSeen = true;
            std::wstring strSeen;
            bool bShown = wt::WaitFor(5000, [&] {
                strSeen = wt::ControlText(hPage, expectation.m_nId);
                return strSeen == expectation.m_strText;
            });
            checks.Check(bShown, "control %d on \"%s\" shows \"%s\" (saw \"%s\")",
                         expectation.m_nId, wt::Utf8(strTitle).c_str(),
                         wt::Utf8(expectation.m_strText).c_str(), wt::Utf8(strSeen).c_str());
        }

        if (!options.m_strShotDir.empty()) {
            wchar_t szName[16];
            std::swprintf(szName, _countof(szName), L"%02d-", i + 1);
            std::wstring strPath =
                options.m_strShotDir + L"\\" + szName + FileNameOf(strTitle) + L".bmp";
            wt::ShowForShot(hSheet);
            checks.Check(wt::SaveWindowBitmap(hSheet, strPath), "screenshot %s",
                         wt::Utf8(strPath).c_str());
            if (HWND hButton = ::GetDlgItem(hPage, kIdShowMatrix))
                ShootDialog(checks, hSheet, hButton, kIdFirstKey, "key matrix",
                            options.m_strShotDir + L"\\" + szName + L"tastenmatrix.bmp");
        }
        HWND hButton = ::GetDlgItem(hPage, kIdShowReport);
        if (!options.m_strReportView.empty() && hButton)
            ShootDialog(checks, hSheet, hButton, kIdReportText, "report view",
                        options.m_strReportView);
    }
    for (const CExpectation& expectation : options.m_expectations)
        if (!expectation.m_bSeen) checks.Check(false, "no page has control %d", expectation.m_nId);
}

// Waits for the sheet; message boxes before it are answered if allowed.
HWND WaitForSheet(wt::CChecks& checks, const COptions& options) {
    const wchar_t* pszCaption =
        options.m_strCaption.empty() ? nullptr : options.m_strCaption.c_str();
    HWND hSheet = nullptr;
    wt::WaitFor(options.m_dwTimeoutMs, [&] {
        HWND hBox = options.m_bAnswerMessages ? wt::FindDialog(0, false, nullptr) : nullptr;
        if (hBox) {
            checks.Note("message box \"%s\": %s", wt::Utf8(wt::WindowText(hBox)).c_str(),
                        wt::Utf8(wt::MessageBoxText(hBox)).c_str());
            if (!options.m_strShotDir.empty()) {
                wt::ShowForShot(hBox);
                wt::SaveWindowBitmap(hBox, options.m_strShotDir + L"\\00-message.bmp");
            }
            int nButton = ::GetDlgItem(hBox, IDOK) ? IDOK : IDCANCEL;
            ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(nButton, BN_CLICKED), 0);
            wt::WaitFor(5000, [&] { return !::IsWindow(hBox); });
        }
        return (hSheet = wt::FindDialog(0, true, pszCaption)) != nullptr;
    });
    return hSheet;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    COptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: sheet_probe [--caption TEXT] [--timeout SECONDS] [--shots DIR] "
                     "[--expect ID=TEXT]... [--answer-messages] [--report-view FILE]\n");
        return 2;
    }
    wt::CChecks checks;

    HWND hSheet = WaitForSheet(checks, options);
    std::string strCaption =
        options.m_strCaption.empty() ? "(any)" : wt::Utf8(options.m_strCaption);
    if (!checks.Check(hSheet != nullptr, "sheet \"%s\" appears", strCaption.c_str())) {
        wt::DumpWindows(checks, 0);
        return checks.Finish();
    }
    checks.Check(wt::TabCount(hSheet) > 0, "the sheet \"%s\" has pages (%d)",
                 wt::Utf8(wt::WindowText(hSheet)).c_str(), wt::TabCount(hSheet));
    wt::ShowForShot(hSheet);

    if (!options.m_strShotDir.empty() || !options.m_expectations.empty())
        VisitPages(checks, hSheet, options);

    ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    bool bClosed = wt::WaitFor(options.m_dwTimeoutMs, [&] { return !::IsWindow(hSheet); });
    if (!checks.Check(bClosed, "the sheet closes with Cancel")) wt::DumpWindows(checks, 0);
    return checks.Finish();
}

// The "Info über" dialog: applet, driver package and module versions.
#include "AppletTestEnv.h"
#include "applet/AboutDlg.h"
#include "res/resource.h"

namespace {

const wchar_t kDriverKey[] = L"SOFTWARE\\Tolmek_Zerozureri\\IVRO\\Driver";

fakeplat::VersionInfo Version(const std::wstring& strDescription, const std::wstring& strFile,
                              const std::wstring& strVersion, bool bLegal = true) {
    std::vector<std::pair<std::wstring, std::wstring>> values = {
        {L"FileDescription", strDescription},
        {L"OriginalFilename", strFile},
        {L"FileVersion", strVersion}};
    if (bLegal) values.push_back({L"LegalCopyright", L"(c) Tolmek"});
    return fakeplat::MakeVersionInfo(0x0407, 1200, values);
}

class AboutTest : public AppletTest {
protected:
    struct Shown {
        std::wstring caption, driver, applet, modules;
    };
    Shown Show() {
        Shown shown;
        headless::ScopedModalHandler handler([&](HWND hDialog) {
            shown = {headless::TextOf(hDialog),
                     headless::TextOf(GetDlgItem(hDialog, IDC_ABOUT_DRIVER)),
                     headless::TextOf(GetDlgItem(hDialog, IDC_ABOUT_APPLET)),
                     headless::TextOf(GetDlgItem(hDialog, IDC_ABOUT_MODULES))};
            headless::PressOk(hDialog);
        });
        CAboutDlg dialog;
        EXPECT_EQ(IDOK, dialog.DoModal());
        return shown;
    }
};

TEST_F(AboutTest, ShowsAppletDriverAndModuleVersionsOrWhatIsMissing) {
    LoadModule();
    // Nothing to read: the template texts stay and the module list is empty.
    Shown shown = Show();
    EXPECT_EQ(L"Info über Control Center", shown.caption);
    EXPECT_EQ(L"Ivronet\nVersion (keine)", shown.driver);
    EXPECT_EQ(L"Control Center Version", shown.applet);
    EXPECT_EQ(L"", shown.modules);
    // A driver version that is not a text counts as missing.
    fakeplat::SetRegDword(HKEY_LOCAL_MACHINE, kDriverKey, L"Version", 42);
    EXPECT_EQ(L"Ivronet\nVersion (keine)", Show().driver);

    fakeplat::SetFileVersionInfo(L"C:\\Windows\\System32\\TmRoveVodore.cpl",
                                 Version(L"Control Center", L"TmRoveVodore.cpl", L"2.01"));
    fakeplat::SetFileVersionInfo(L"C:\\Windows\\system32\\TmIvro.dll",
                                 Version(L"Simulator", L"TmIvro.dll", L"1.0"));
    fakeplat::SetFileVersionInfo(L"C:\\Windows\\system32\\TmKvcSvc.exe",
                                 Version(L"KVC", L"TmKvcSvc.exe", L"3.4", false));
    fakeplat::AddFile(L"C:\\Windows\\system32\\Drivers\\TmBiosDrv.sys", "no version resource");
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kDriverKey, L"Version", L"4.2.0");
    shown = Show();
    EXPECT_EQ(L"Ivronet\nVersion 4.2.0", shown.driver);
    EXPECT_EQ(L"Control Center (TmRoveVodore.cpl) 2.01\r\n(c) Tolmek\r\n", shown.applet);
    // Three lines a module, in list order; missing ones and those without
    // version information are left out; a missing notice reads "?".
    EXPECT_EQ(
        L"Simulator (TmIvro.dll) 1.0\r\n(c) Tolmek\r\n\r\n"
        L"KVC (TmKvcSvc.exe) 3.4\r\n?\r\n\r\n",
        shown.modules);

    // A 32-bit applet on 64-bit Windows: its library from the 32-bit system
    // folder, the driver package from the real one.
    fakeplat::SetWow64(true);
    fakeplat::SetFileVersionInfo(L"C:\\Windows\\SysWOW64\\TmIvro.dll",
                                 Version(L"Simulator", L"TmIvro.dll", L"1.0 x86"));
    EXPECT_EQ(
        L"Simulator (TmIvro.dll) 1.0 x86\r\n(c) Tolmek\r\n\r\n"
        L"KVC (TmKvcSvc.exe) 3.4\r\n?\r\n\r\n",
        Show().modules);
    // No system directory: no modules.
    fakeplat::SetSystemDirectory(L"");
    EXPECT_EQ(L"", Show().modules);
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
}

}  // namespace

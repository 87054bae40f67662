// The Control Panel contract and the sheet run of a double-click.
#include <cpl.h>

#include <cstring>

#include "AppletTestEnv.h"

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

namespace {

const wchar_t kPolicyKey[] = L"Control Panel\\IVRO";

LONG Send(UINT uMsg, LPARAM lParam2 = 0) {
    return CPlApplet(nullptr, uMsg, 0, lParam2);
}

class CplAppletTest : public AppletTest {
protected:
    // Double-clicks the applet; the sheet is closed with Cancel at once.
    LONG DoubleClick() {
        headless::ScopedModalHandler handler([this](HWND hWnd) {
            if (!headless::ModalRuns().back().sheet) return;
            m_strCaption = headless::TextOf(hWnd);
            m_nWmiCallsWhileOpen = CallsOf("IvroSetWmiMode").size();
            headless::PressCancel(hWnd);
        });
        return CPlApplet(nullptr, CPL_DBLCLK, 0, 0);
    }

    void SetPolicy(const wchar_t* pszName, DWORD dwValue) {
        fakeplat::SetRegDword(HKEY_CURRENT_USER, kPolicyKey, pszName, dwValue);
    }

    std::wstring m_strCaption;
    size_t m_nWmiCallsWhileOpen = 0;
};

// What the Control Panel lists and what a double-click opens; a foreign
// system, or one whose type cannot be read, is told so before the sheet. The
// type is read once per initialisation, again after CPL_EXIT.
TEST_F(CplAppletTest, IdentityAndSheetFollowTheDeviceFamily) {
    struct Case {
        const char* type;  // nullptr: the type query fails
        DWORD nType;
        int icon, name, info;
        const wchar_t* szName;
        const wchar_t* szInfo;
        const wchar_t* szCaption;
    } cases[] = {
        {"4", 4, 1003, 1004, 1005, L"Control Center (Marlet)",
         L"Ändert und zeigt Tolmek Marlet Einstellungen.", L"Eigenschaften von Marlet"},
        {"5", 5, 1006, 1007, 1008, L"Control Center (Ferrow)",
         L"Ändert und zeigt Tolmek Ferrow Einstellungen.", L"Eigenschaften von Ferrow"},
        {"3", 3, 0, 0, 0, L"Control Center", L"Ändert und zeigt Tolmek Geräteeinstellungen.",
         L"Control Center"},
        {nullptr, 0, 0, 0, 0, L"Control Center", L"Ändert und zeigt Tolmek Geräteeinstellungen.",
         L"Control Center"},
    };
    LoadModule();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nType);
        if (c.type) {
            TmSimSet("device.type", c.type);
        } else {
            TmSimInjectFault("IvroGetDeviceType", ERROR_FILE_NOT_FOUND, 0, TMSIM_ANY_ITEM);
            LoadModule();  // no type read before
        }
        TmSimClearCallLog();
        EXPECT_EQ(1, Send(CPL_INIT));
        EXPECT_EQ(0, Send(CPL_INIT));
        EXPECT_EQ(1u, CallsOf("IvroGetDeviceType").size());
        EXPECT_EQ(c.nType, m_pApp->m_nDeviceType);
        EXPECT_EQ(1, Send(CPL_GETCOUNT));

        CPLINFO info = {-1, -1, -1, 42};
        EXPECT_EQ(1, Send(CPL_INQUIRE, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ((std::vector<LONG_PTR>{c.icon, c.name, c.info, 0}),
                  (std::vector<LONG_PTR>{info.idIcon, info.idName, info.idInfo, info.lData}));

        // Garbage beyond what the applet fills must be cleared, whatever the
        // structure's size on this build.
        NEWCPLINFOW newInfo;
        std::memset(&newInfo, 0xAB, sizeof(newInfo));
        EXPECT_EQ(1, Send(CPL_NEWINQUIRE, reinterpret_cast<LPARAM>(&newInfo)));
        EXPECT_EQ(sizeof(NEWCPLINFOW), static_cast<size_t>(newInfo.dwSize));
        EXPECT_EQ(0u, newInfo.dwFlags | newInfo.dwHelpContext | newInfo.szHelpFile[0] |
                          newInfo.szHelpFile[_countof(newInfo.szHelpFile) - 1]);
        EXPECT_EQ(0, static_cast<LONG_PTR>(newInfo.lData));
        EXPECT_STREQ(c.szName, newInfo.szName);
        EXPECT_STREQ(c.szInfo, newInfo.szInfo);
        auto image = headless::ImageOf(newInfo.hIcon);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(c.icon ? c.icon : 1000, image->resourceId);
        EXPECT_EQ(std::make_pair(48, 48), std::make_pair(image->cx, image->cy));

        headless::ClearMessageBoxes();
        EXPECT_EQ(1, DoubleClick());
        EXPECT_EQ(c.szCaption, m_strCaption);
        EXPECT_STREQ(c.szName, m_pApp->m_pszAppName);
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(c.icon ? 0u : 1u, boxes.size());
        if (!c.icon) {
            EXPECT_EQ(L"Das verwendete System ist kein Tolmek Gerät.", boxes[0].text);
            EXPECT_EQ(L"Control Center", boxes[0].caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP),
                      boxes[0].type & (MB_TYPEMASK | MB_ICONMASK));
        }
        EXPECT_EQ(1, Send(CPL_EXIT));
    }
    const UINT others[] = {CPL_SELECT, CPL_STOP, CPL_STARTWPARMSA, CPL_STARTWPARMSW, 0x4711};
    for (UINT uMsg : others) EXPECT_EQ(0, Send(uMsg)) << uMsg;
}

TEST_F(CplAppletTest, PoliciesCountOnlyAsFourByteDwords) {
    LoadModule();
    Send(CPL_INIT);
    SetPolicy(L"DisableFirmwareUpdate", 1);
    SetPolicy(L"DisableKcfUpdate", 0);
    fakeplat::SetRegString(HKEY_CURRENT_USER, kPolicyKey, L"DisableKeyLock", L"1");
    SetPolicy(L"DisableBiosUpdate", 2);
    fakeplat::SetRegBinary(HKEY_CURRENT_USER, kPolicyKey, L"DisableUserlogoUpdate",
                           {1, 0, 0, 0, 0, 0, 0, 0});
    DoubleClick();
    EXPECT_TRUE(m_pApp->m_bDisableFirmwareUpdate);
    EXPECT_FALSE(m_pApp->m_bDisableKcfUpdate);
    EXPECT_FALSE(m_pApp->m_bDisableKeyLock);
    EXPECT_TRUE(m_pApp->m_bDisableBiosUpdate);
    EXPECT_FALSE(m_pApp->m_bDisableUserlogoUpdate);
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
    EXPECT_TRUE(CallsOf("IvroSetWmiMode").empty());

    // Each run starts from cleared flags: a removed key clears them again.
    fakeplat::DeleteRegKey(HKEY_CURRENT_USER, kPolicyKey);
    DoubleClick();
    EXPECT_FALSE(m_pApp->m_bDisableFirmwareUpdate);
    EXPECT_FALSE(m_pApp->m_bDisableBiosUpdate);

    // A key that cannot be opened reads as no policies, silently.
    SetPolicy(L"DisableBiosUpdate", 1);
    fakeplat::FailRegOpen(HKEY_CURRENT_USER, kPolicyKey, ERROR_ACCESS_DENIED);
    DoubleClick();
    EXPECT_FALSE(m_pApp->m_bDisableBiosUpdate);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(CplAppletTest, WmiModeAndManifestAreOnExactlyWhileTheSheetIsOpen) {
    LoadModule();
    Send(CPL_INIT);
    SetPolicy(L"UseWmi", 1);
    DoubleClick();
    EXPECT_EQ(1u, m_nWmiCallsWhileOpen);
    auto calls = CallsOf("IvroSetWmiMode");
    ASSERT_EQ(2u, calls.size());
    EXPECT_NE(std::string::npos, calls[0].find("=1"));
    EXPECT_NE(std::string::npos, calls[1].find("=0"));

    // The pages are chosen before the switch: the key count is read first.
    auto log = TmSimCallLogLines();
    auto first = [&](const char* pszOperation) {
        for (size_t i = 0; i < log.size(); ++i)
            if (log[i].rfind(pszOperation, 0) == 0) return i;
        return log.size();
    };
    EXPECT_LT(first("IvroGetKeyCount"), first("IvroSetWmiMode"));

    // The module's manifest (common controls 6) likewise, whatever the host did.
    auto stats = fakeplat::ActCtx();
    EXPECT_EQ(1, stats.nActivations);
    EXPECT_EQ(1, stats.nDeactivations);
    EXPECT_EQ(0, stats.nActive);
    EXPECT_EQ(0, stats.nBadDeactivations);
    EXPECT_EQ(stats.nCreated, stats.nReleased);
    ASSERT_EQ(1u, stats.requests.size());
    EXPECT_EQ(123u, stats.requests[0].nResourceId);
}

// After the sheet: a power cycle is asked for before, and instead of, a
// restart; a question answered No comes back with the next run.
TEST_F(CplAppletTest, PowerCycleOrRestartIsAskedAfterTheSheet) {
    LoadModule();
    Send(CPL_INIT);
    m_pApp->m_bPowerCycleRequired = TRUE;
    m_pApp->m_bRestartRequired = TRUE;
    DoubleClick();  // answered No by default
    m_pApp->m_bPowerCycleRequired = FALSE;
    DoubleClick();
    DoubleClick();
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(
        L"Sie müssen die Stromversorgung des PC aus/einschalten, damit die Änderungen wirksam "
        L"werden.\n\nWollen Sie jetzt ausschalten?",
        boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND), boxes[0].type);
    EXPECT_EQ(
        L"Sie müssen Ihr System neu starten, damit die Änderungen wirksam werden.\n\nWollen Sie "
        L"jetzt neu starten?",
        boxes[1].text);
    EXPECT_EQ(boxes[1].text, boxes[2].text);
    EXPECT_TRUE(fakeplat::Shutdown().exitCalls.empty());

    // Yes powers off, with the shutdown privilege enabled first.
    headless::ClearMessageBoxes();
    headless::ScopedMessageBoxHandler yes(
        [](const headless::MessageBoxRecord& box) { return (box.type & MB_YESNO) ? IDYES : IDOK; });
    fakeplat::SetShutdownPrivilegeHeld(true);
    m_pApp->m_bPowerCycleRequired = TRUE;
    EXPECT_EQ(1, DoubleClick());
    auto shutdown = fakeplat::Shutdown();
    ASSERT_EQ(1u, shutdown.exitCalls.size());
    EXPECT_EQ(static_cast<UINT>(EWX_POWEROFF), shutdown.exitCalls[0].uFlags);
    EXPECT_EQ(0u, shutdown.exitCalls[0].dwReason);
    EXPECT_TRUE(fakeplat::ShutdownPrivilegeEnabled());

    // Without the privilege ExitWindowsEx fails: message 1052, the run ends normally.
    fakeplat::SetShutdownPrivilegeHeld(false);
    m_pApp->m_bPowerCycleRequired = FALSE;
    EXPECT_EQ(1, DoubleClick());
    boxes = headless::MessageBoxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(L"Das System kann nicht neu gestartet werden.", boxes[2].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[2].type);
    shutdown = fakeplat::Shutdown();
    ASSERT_EQ(2u, shutdown.exitCalls.size());
    EXPECT_EQ(static_cast<UINT>(EWX_REBOOT), shutdown.exitCalls[1].uFlags);
    EXPECT_FALSE(shutdown.exitCalls[1].bResult);

    // A token that cannot be opened does not stop the attempt.
    fakeplat::FailOpenProcessToken(ERROR_ACCESS_DENIED);
    DoubleClick();
    EXPECT_EQ(3u, fakeplat::Shutdown().exitCalls.size());
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
}

}  // namespace

// The transfer dialog with its worker on a real thread against the simulated
// device; "transfer.hold_step" holds a transfer after it reported a step. The
// suite is named ...Thread...: the ThreadSanitizer run picks it.
#include <atomic>
#include <chrono>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>

#include "AppletTestEnv.h"
#include "applet/Help.h"
#include "device/TmIvro.h"
#include "res/resource.h"
#include "simulator/SimTransferFile.h"
#include "transfer/TransferDlg.h"
#include "transfer/TransferKinds.h"

namespace {

const wchar_t kFile[] = L"C:\\fw\\fpga.pci";
const wchar_t kBackup[] = L"C:\\fw\\backup.pci";
const wchar_t kSystemText13[] = L"Die Daten sind unzul\u00E4ssig.";
const wchar_t kSystemText1117[] = L"E/A-Ger\u00E4tefehler.";

std::vector<BYTE> FpgaFile(DWORD dwVersion = 108) {
    return tmsim::BuildTransferFile(TK_FPGA, 4, dwVersion,
                                    tmsim::SampleTransferData(TK_FPGA, dwVersion, 3000));
}

SYSTEMTIME At(WORD wMinute, WORD wSecond) {
    return SYSTEMTIME{2024, 5, 0, 6, 10, wMinute, wSecond, 0};
}

class TransferThreadTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule().SetAppName(L"Control Center (Marlet)");
        CTransferDlg::s_nDifferingTicks = 0;
        // Sleep only moves the fake tick count: the dialog's pauses cost nothing.
        fakeplat::SetTickCount(0);
        fakeplat::SetSystemMessage(13, std::wstring(kSystemText13) + L"\r\n");
        fakeplat::SetSystemMessage(1117, std::wstring(kSystemText1117) + L"\r\n");
        fakeplat::AddFile(kFile, FpgaFile());
    }

    INT_PTR Run(BOOL bDownload, DWORD nKind, const std::function<void(HWND)>& fn,
                const wchar_t* pszPath = nullptr) {
        CTransferDlg dialog;
        dialog.m_bDownload = bDownload;
        dialog.m_nKind = nKind;
        std::wcscpy(dialog.m_szPath, pszPath ? pszPath : bDownload ? kFile : kBackup);
        headless::ScopedModalHandler handler([&](HWND hDlg) { fn(hDlg); });
        return dialog.DoModal();
    }

    static HWND Item(HWND hDlg, int nId) { return GetDlgItem(hDlg, nId); }
    static std::wstring Text(HWND hDlg, int nId) { return headless::TextOf(Item(hDlg, nId)); }
    static std::wstring String(UINT nId) {
        CString text;
        text.LoadString(nId);
        return text.GetString();
    }

    // Timer ticks until the condition holds or the dialog has ended; bounded
    // so that a fault fails the test instead of hanging it.
    static bool TickUntil(HWND hDlg, const std::function<bool()>& condition) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition()) return true;
            if (headless::IsModalEnded(hDlg)) return false;
            headless::FireTimer(hDlg, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    static bool TickUntilStep(HWND hDlg, UINT nStepId) {
        return TickUntil(hDlg, [&] { return Text(hDlg, IDC_TRANSFER_STEP) == String(nStepId); });
    }
    // Holds the running transfer after it reports this step (0: runs on).
    static void Hold(DWORD nStep) { TmSimSet("transfer.hold_step", std::to_string(nStep).c_str()); }

    // Ends the dialog the way a user waits for the end and closes it.
    static void FinishAndClose(HWND hDlg) {
        Hold(0);
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_DOWNLOAD_DONE));
        headless::Click(Item(hDlg, IDC_TRANSFER_BUTTON));
    }

    // The error message of a failed transfer, or "" (the dialog ends by itself).
    std::wstring FailureText(BOOL bDownload, DWORD nKind) {
        headless::ClearMessageBoxes();
        INT_PTR nResult = Run(bDownload, nKind, [](HWND hDlg) {
            TickUntil(hDlg, [&] { return headless::IsModalEnded(hDlg); });
        });
        EXPECT_EQ(IDCANCEL, nResult);
        auto boxes = headless::MessageBoxes();
        if (boxes.empty()) return L"";
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes.back().type);
        return boxes.back().text;
    }

    // The resource id of the system icon shown, 0 for none.
    static int IconId(HWND hDlg) {
        auto icon = headless::ImageOf(reinterpret_cast<HANDLE>(
            SendMessageW(Item(hDlg, IDC_TRANSFER_ICON), STM_GETICON, 0, 0)));
        return icon ? icon->resourceId : 0;
    }

    // The red of the step text while the device is written.
    static COLORREF StepTextColor(HWND hDlg) {
        headless::ClearDrawCalls();
        headless::Paint(Item(hDlg, IDC_TRANSFER_STEP));
        for (const auto& call : headless::DrawCalls())
            if (call.op == "DrawText") return call.textColor;
        return CLR_INVALID;
    }
};

// Waits, bounded, until the condition holds.
bool WaitFor(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

// Until the user-interface thread has taken every queued message, which it
// does only inside the cancel's wait.
bool WaitUntilPumped() {
    return WaitFor([] { return headless::PendingMessages() == 0; });
}

// Presses the transfer button from the user-interface thread while another
// thread waits until the cancel's wait pumps messages, runs duringWait there
// (its messages are pumped too), then lets the held transfer go on.
void ClickWhileWaiting(HWND hDlg, bool* pbPumped,
                       const std::function<void()>& duringWait = nullptr) {
    std::thread helper([&] {
        PostMessageW(hDlg, WM_NULL, 0, 0);
        *pbPumped = WaitUntilPumped();
        if (duringWait) {
            duringWait();
            *pbPumped = *pbPumped && WaitUntilPumped();
        }
        TmSimSet("transfer.hold_step", "0");
    });
    headless::Click(GetDlgItem(hDlg, IDC_TRANSFER_BUTTON));
    helper.join();
}

// Whether one of the presses started the cancel's wait; a helper lets the held
// transfer go on once the wait pumps, so that a wrong wait cannot hang the test.
bool PressesWait(HWND hDlg, const std::function<void()>& presses) {
    std::atomic<bool> bPressed{false};
    std::atomic<bool> bWaited{false};
    PostMessageW(hDlg, WM_NULL, 0, 0);
    std::thread helper([&] {
        while (!bPressed) {
            if (headless::PendingMessages() == 0) {
                bWaited = true;
                TmSimSet("transfer.hold_step", "0");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    presses();
    bPressed = true;
    helper.join();
    headless::PumpMessages();  // the probe nobody took
    return bWaited;
}

// Records on the user-interface thread which cursor is set when its message
// WM_APP + n arrives; WM_APP + 2 asks that thread's loop to quit.
HCURSOR g_probedCursors[2];
LRESULT CALLBACK CursorProbeProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (nMessage == WM_APP || nMessage == WM_APP + 1) {
        g_probedCursors[nMessage - WM_APP] = GetCursor();
        return 0;
    }
    if (nMessage == WM_APP + 2) {
        PostQuitMessage(static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProcW(hWnd, nMessage, wParam, lParam);
}

HWND MakeCursorProbe() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &CursorProbeProc;
    wc.lpszClassName = L"TmCursorProbe";
    RegisterClassW(&wc);
    g_probedCursors[0] = g_probedCursors[1] = nullptr;
    return CreateWindowExW(0, L"TmCursorProbe", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           nullptr, nullptr);
}

TEST_F(TransferThreadTest, DownloadShowsEveryStepAndRefusesEveryCancelFromTheWriteOn) {
    TmSimSet("transfer.fpga.power_cycle", "no");
    Hold(1);
    INT_PTR nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        EXPECT_EQ(String(IDS_DOWNLOAD_INFO), Text(hDlg, IDC_TRANSFER_INFO));
        EXPECT_EQ(32515, IconId(hDlg));  // the system's warning icon
        ASSERT_EQ(1u, headless::Timers().size());
        EXPECT_EQ(500u, headless::Timers()[0].elapse);

        const UINT steps[] = {IDS_STEP_OPEN_FILE, IDS_STEP_INIT,         IDS_STEP_READ_FILE,
                              IDS_STEP_CHECK,     IDS_STEP_WRITE_DEVICE, IDS_STEP_COMPARE,
                              IDS_STEP_RELOAD,    IDS_STEP_CLOSE_FILE};
        HWND hButton = Item(hDlg, IDC_TRANSFER_BUTTON);
        for (DWORD nStep = 1; nStep <= 8; ++nStep) {
            Hold(nStep);
            ASSERT_TRUE(TickUntilStep(hDlg, steps[nStep - 1])) << nStep;
            headless::FireTimer(hDlg, 1);
            EXPECT_EQ(nStep < 5, IsWindowEnabled(hButton) != FALSE) << nStep;
            EXPECT_EQ(nStep == 5, StepTextColor(hDlg) == RGB(255, 0, 0)) << nStep;
            EXPECT_EQ(std::to_wstring(headless::ProgressPos(Item(hDlg, IDC_TRANSFER_PROGRESS))) +
                          L"% - Download",
                      headless::TextOf(hDlg))
                << nStep;
            if (nStep < 5) continue;
            // From the write on the device must get its restart: the button,
            // Esc, Enter and the close box start no wait and end nothing.
            EXPECT_FALSE(PressesWait(hDlg, [&] {
                headless::Click(hButton);
                headless::PressCancel(hDlg);
                headless::PressOk(hDlg);
                headless::SysCommand(hDlg, SC_CLOSE);
            })) << nStep;
            EXPECT_FALSE(headless::IsModalEnded(hDlg)) << nStep;
        }
        EXPECT_EQ(100, headless::ProgressPos(Item(hDlg, IDC_TRANSFER_PROGRESS)));
        Hold(0);
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_DOWNLOAD_DONE));
        EXPECT_EQ(String(IDS_DOWNLOAD_DONE), headless::TextOf(hDlg));
        EXPECT_EQ(String(IDS_CLOSE), headless::TextOf(hButton));
        EXPECT_TRUE(IsWindowEnabled(hButton));
        EXPECT_EQ(0u, Text(hDlg, IDC_TRANSFER_TIME).find(L"Ben\u00F6tigte Zeit: "));
        EXPECT_FALSE(headless::HasTimer(hDlg, 1));
        // After success the close box ends with IDOK too.
        headless::SysCommand(hDlg, SC_CLOSE);
    });
    EXPECT_EQ(IDOK, nResult);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ("108", TmSimGetString("transfer.fpga.version"));
}

TEST_F(TransferThreadTest, UploadShowsItsStepsNeverAsksForARestartAndEndsWellWhileCancelled) {
    TmSimSet("transfer.fpga.restart", "yes");
    TmSimSet("transfer.fpga.power_cycle", "yes");
    Hold(1);
    bool bPumped = false;
    INT_PTR nResult = Run(FALSE, TK_FPGA, [&](HWND hDlg) {
        EXPECT_EQ(String(IDS_UPLOAD_INFO), Text(hDlg, IDC_TRANSFER_INFO));
        const std::pair<DWORD, UINT> steps[] = {
            {1, IDS_STEP_OPEN_FILE}, {2, IDS_STEP_INIT},       {3, IDS_STEP_READ_DEVICE},
            {4, IDS_STEP_CHECK},     {5, IDS_STEP_WRITE_FILE}, {7, IDS_STEP_CLOSE_FILE}};
        for (const auto& step : steps) {
            Hold(step.first);
            ASSERT_TRUE(TickUntilStep(hDlg, step.second)) << step.first;
            EXPECT_TRUE(IsWindowEnabled(Item(hDlg, IDC_TRANSFER_BUTTON))) << step.first;
        }
        // Held at its last step: the transfer that ends while the cancel
        // waits has succeeded after all.
        ClickWhileWaiting(hDlg, &bPumped);
        EXPECT_EQ(String(IDS_UPLOAD_DONE), headless::TextOf(hDlg));
        EXPECT_EQ(L"", Text(hDlg, IDC_TRANSFER_INFO));
        // Esc after success: IDOK.
        EXPECT_TRUE(headless::PressCancel(hDlg));
    });
    EXPECT_TRUE(bPumped);
    EXPECT_EQ(IDOK, nResult);
    EXPECT_FALSE(m_pApp->m_bRestartRequired);
    EXPECT_FALSE(m_pApp->m_bPowerCycleRequired);
    EXPECT_TRUE(fakeplat::FileContents(kBackup));
}

TEST_F(TransferThreadTest, CancelOutsideTheWritePhaseWaitsForTheWorkerAndEndsSilently) {
    HCURSOR hCursor = GetCursor();
    const HCURSOR hWait = LoadCursorW(nullptr, IDC_WAIT);
    HWND hProbe = MakeCursorProbe();
    // Held after the check: the stop counts at the write's first report,
    // before anything is written.
    Hold(4);
    bool bPumped = false;
    INT_PTR nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_STEP_CHECK));
        // The mouse moves over the button and the dialog while the cancel waits.
        ClickWhileWaiting(hDlg, &bPumped, [&] {
            headless::MouseMove(Item(hDlg, IDC_TRANSFER_BUTTON));
            PostMessageW(hProbe, WM_APP, 0, 0);
            headless::MouseMove(hDlg);
            PostMessageW(hProbe, WM_APP + 1, 0, 0);
            PostMessageW(hProbe, WM_APP + 2, 5, 0);
        });
        EXPECT_TRUE(headless::IsModalEnded(hDlg));
        // A quit that arrived during the wait is handed on to the loop that owns it.
        MSG msg = {};
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(5u, msg.wParam);
    });
    EXPECT_TRUE(bPumped);
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_EQ(hWait, g_probedCursors[0]);
    EXPECT_EQ(hWait, g_probedCursors[1]);
    EXPECT_EQ(hCursor, GetCursor());
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_NE(std::string::npos, CallsOf("IvroDownloadFile").at(0).find("error=1223"));
    EXPECT_EQ("107", TmSimGetString("transfer.fpga.version"));
    DestroyWindow(hProbe);

    // One that fails while the cancel waits shows its failure.
    TmSimSet("transfer.fpga.upload_check", "6");
    Hold(4);
    nResult = Run(FALSE, TK_FPGA, [&](HWND hDlg) {
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_STEP_CHECK));
        ClickWhileWaiting(hDlg, &bPumped);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    ASSERT_EQ(1u, headless::MessageBoxes().size());
    EXPECT_EQ(L"Es wurden keine g\u00FCltigen Daten f\u00FCr das Ger\u00E4t gefunden.",
              headless::MessageBoxes()[0].text);
}

// Ended from outside while the device is written (the host going away): the
// dialog object waits for its worker, serving messages meanwhile.
TEST_F(TransferThreadTest, DialogEndedFromOutsideWaitsForItsWorker) {
    HWND hProbe = MakeCursorProbe();
    Hold(5);
    std::atomic<bool> bReturned{false};
    bool bPumped = false;
    std::thread helper([&] {
        while (!bReturned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Past the messages the modal run delivers itself.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        PostMessageW(hProbe, WM_NULL, 0, 0);
        bPumped = WaitUntilPumped();
        Hold(0);
    });
    Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        EXPECT_TRUE(TickUntilStep(hDlg, IDS_STEP_WRITE_DEVICE));
        // Returns without ending it: the backend ends it by force.
        bReturned = true;
    });
    helper.join();
    DestroyWindow(hProbe);
    EXPECT_TRUE(bPumped);
    EXPECT_EQ("108", TmSimGetString("transfer.fpga.version"));
}

TEST_F(TransferThreadTest, FailureShowsOneMessageWhateverArrivesFirst) {
    TmSimInjectFault("IvroDownloadFile", 13, 0, TMSIM_ANY_ITEM);
    HWND hShown = nullptr;
    bool bInBox = false;
    // While the message box is shown the poll timer may tick and a press that
    // was queued before may arrive.
    std::wstring strTitle;
    headless::ScopedMessageBoxHandler box([&](const headless::MessageBoxRecord&) {
        strTitle = headless::TextOf(hShown);
        if (!bInBox) {
            bInBox = true;
            headless::FireTimer(hShown, 1);
            headless::PressCancel(hShown);
            bInBox = false;
        }
        return IDOK;
    });
    const std::pair<const char*, std::function<void(HWND)>> firsts[] = {
        {"close box", [](HWND hDlg) { headless::SysCommand(hDlg, SC_CLOSE); }},
        {"tick", [](HWND hDlg) { headless::FireTimer(hDlg, 1); }},
    };
    for (const auto& first : firsts) {
        headless::ClearMessageBoxes();
        TmSimClearCallLog();
        INT_PTR nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
            hShown = hDlg;
            // The worker has failed; no tick has seen it yet.
            WaitFor([] { return !CallsOf("IvroDownloadFile").empty(); });
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            first.second(hDlg);
            EXPECT_TRUE(headless::IsModalEnded(hDlg)) << first.first;
        });
        EXPECT_EQ(IDCANCEL, nResult) << first.first;
        auto boxes = headless::MessageBoxes();
        EXPECT_EQ(1u, boxes.size()) << first.first;
        for (const auto& shown : boxes)
            EXPECT_EQ(String(IDS_DOWNLOAD_FAILED) + L"\n" + kSystemText13, shown.text);
        // A tick that sees the failure first says so in the title.
        if (std::string(first.first) == "tick") {
            EXPECT_EQ(String(IDS_DOWNLOAD_ABORTED), strTitle);
        }
    }
}

TEST_F(TransferThreadTest, OlderVersionQuestionIsOwnedByTheDialogAndItsTimeIsNotCounted) {
    fakeplat::AddFile(kFile, FpgaFile(105));
    // Answered No: the download stops without a message.
    HWND hQuestionOwner = nullptr;
    INT_PTR nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        hQuestionOwner = hDlg;
        TickUntil(hDlg, [&] { return headless::IsModalEnded(hDlg); });
    });
    EXPECT_EQ(IDCANCEL, nResult);
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(String(IDS_ASK_OLDER_VERSION), boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION), boxes[0].type);
    EXPECT_EQ(hQuestionOwner, boxes[0].owner);
    EXPECT_EQ(L"Control Center (Marlet)", boxes[0].caption);
    EXPECT_EQ("107", TmSimGetString("transfer.fpga.version"));
    // Answered Yes after a quarter of an hour: that time is not part of the
    // time needed.
    headless::ClearMessageBoxes();
    fakeplat::SetNow(At(0, 0));
    headless::ScopedMessageBoxHandler answer([&](const headless::MessageBoxRecord&) {
        fakeplat::SetNow(At(15, 0));
        return IDYES;
    });
    Hold(8);
    nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_STEP_CLOSE_FILE));
        fakeplat::SetNow(At(15, 42));
        FinishAndClose(hDlg);
        EXPECT_EQ(L"Ben\u00F6tigte Zeit: 42 Sek.", Text(hDlg, IDC_TRANSFER_TIME));
    });
    EXPECT_EQ(IDOK, nResult);
    EXPECT_EQ(1u, headless::MessageBoxes().size());
    fakeplat::SetNow(std::nullopt);
}

TEST_F(TransferThreadTest, RemainingTimeShowsOnTheSecondDifferingTickInThreeForms) {
    fakeplat::SetNow(At(0, 0));
    auto remaining = [](HWND hDlg) { return Text(hDlg, IDC_TRANSFER_TIME); };
    Hold(1);
    INT_PTR nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        // No percent yet: nothing, however long it takes.
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_STEP_OPEN_FILE));
        fakeplat::SetNow(At(1, 40));
        headless::FireTimer(hDlg, 1);
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"", remaining(hDlg));

        // The check reports 25 percent.
        fakeplat::SetNow(At(0, 1));
        Hold(4);
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_STEP_CHECK));
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"", remaining(hDlg)) << "within the first two seconds";
        fakeplat::SetNow(At(2, 0));  // E = 120 s: R = 361 s
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"", remaining(hDlg)) << "first differing tick";
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"Verbleibende Zeit: 6 Min. 1 Sek.", remaining(hDlg));
        fakeplat::SetNow(At(22, 14));  // E = 1334 s: R = 4003 s
        headless::FireTimer(hDlg, 1);
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"Verbleibende Zeit: 1 Std. 6 Min. 43 Sek.", remaining(hDlg));

        // At 100 percent one second is left.
        Hold(8);
        ASSERT_TRUE(TickUntilStep(hDlg, IDS_STEP_CLOSE_FILE));
        headless::FireTimer(hDlg, 1);
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"Verbleibende Zeit: 1 Sek.", remaining(hDlg));
        FinishAndClose(hDlg);
    });
    EXPECT_EQ(IDOK, nResult);
    fakeplat::SetNow(std::nullopt);
}

TEST_F(TransferThreadTest, CheckResultsGiveTheirMessagesInBothDirections) {
    std::vector<BYTE> badChecksum = FpgaFile();
    badChecksum.back() ^= 1;
    const std::pair<std::vector<BYTE>, const wchar_t*> downloads[] = {
        {std::vector<BYTE>(5, 0), L"Die Datei hat eine ung\u00FCltige Gr\u00F6\u00DFe."},
        {FpgaFile(50), L"Die Datei hat eine zu niedrige Version."},
        {FpgaFile(300), L"Die Datei hat eine zu hohe Version."},
        {tmsim::BuildTransferFile(7, 4, 420, {1, 2, 3}), L"keine g\u00FCltige FPGA Datei!"},
        {tmsim::BuildTransferFile(TK_FPGA, 5, 108, {1, 2, 3}), L"Die Datei beinhaltet keine"},
        {badChecksum, L"Die Datei hat eine ung\u00FCltige Pr\u00FCfsumme."},
    };
    for (const auto& download : downloads) {
        fakeplat::AddFile(kFile, download.first);
        EXPECT_NE(std::wstring::npos, FailureText(TRUE, TK_FPGA).find(download.second))
            << download.second;
    }
    // The kind's display name stands for %1.
    fakeplat::AddFile(kFile, std::vector<BYTE>(5, 0));
    EXPECT_NE(std::wstring::npos,
              FailureText(TRUE, TK_RAVLA_SLOT2).find(L"g\u00FCltige Ravla Datei!"));

    // Check result 2 has no message of its own: the general text.
    const std::wstring strGeneral = String(IDS_UPLOAD_FAILED) + L"\n" + kSystemText13;
    const wchar_t* const uploads[] = {
        L"Die Daten haben eine ung\u00FCltige Gr\u00F6\u00DFe.",
        strGeneral.c_str(),
        L"Die Daten haben eine zu niedrige Version.",
        L"Die Daten haben eine zu hohe Version.",
        L"Es wurden keine g\u00FCltigen FPGA Daten gefunden!",
        L"Es wurden keine g\u00FCltigen Daten f\u00FCr das Ger\u00E4t gefunden.",
        L"Die Daten haben eine ung\u00FCltige Pr\u00FCfsumme.",
    };
    for (DWORD nCheck = 1; nCheck <= 7; ++nCheck) {
        TmSimSet("transfer.fpga.upload_check", std::to_string(nCheck).c_str());
        EXPECT_EQ(0u, FailureText(FALSE, TK_FPGA).find(uploads[nCheck - 1])) << nCheck;
    }
}

TEST_F(TransferThreadTest, RestartNeedsEndTheDownloadOrWarnWhenTheWriteFails) {
    // Failing runs take an older file, accepted: check result 2 leaves the
    // general text.
    headless::ScopedMessageBoxHandler yes([](const headless::MessageBoxRecord& box) {
        return (box.type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    });
    const std::wstring strFailed =
        String(IDS_DOWNLOAD_FAILED) + L"\n" + kSystemText1117 + L"\n\n" + String(IDS_REPEAT_UPDATE);
    const struct {
        const char* pszRestart;
        const char* pszPowerCycle;
        UINT nTextId;     // when finished; only the power cycle when both are needed
        UINT nWarningId;  // when the write failed
    } cases[] = {
        {"no", "no", 0, 0},
        {"yes", "no", IDS_RESTART_NEEDED, IDS_DO_NOT_RESTART},
        {"no", "yes", IDS_POWER_CYCLE_NEEDED, IDS_DO_NOT_POWER_OFF},
        {"yes", "yes", IDS_POWER_CYCLE_NEEDED, IDS_DO_NOT_POWER_OFF},
    };
    DWORD nVersion = 108;
    for (const auto& c : cases) {
        LoadModule();
        TmSimSet("transfer.fpga.restart", c.pszRestart);
        TmSimSet("transfer.fpga.power_cycle", c.pszPowerCycle);
        TmSimSet("transfer.fpga.write_error", "0");
        fakeplat::AddFile(kFile, FpgaFile(nVersion++));
        std::wstring strInfo;
        int nIcon = -1;
        EXPECT_EQ(IDOK, Run(TRUE, TK_FPGA, [&](HWND hDlg) {
                      FinishAndClose(hDlg);
                      strInfo = Text(hDlg, IDC_TRANSFER_INFO);
                      nIcon = IconId(hDlg);
                  }));
        EXPECT_EQ(c.nTextId ? String(c.nTextId) : L"", strInfo);
        EXPECT_EQ(c.nTextId ? 32516 : 0, nIcon);  // the system's information icon
        EXPECT_EQ(c.nTextId == IDS_RESTART_NEEDED, m_pApp->m_bRestartRequired != FALSE);
        EXPECT_EQ(c.nTextId == IDS_POWER_CYCLE_NEEDED, m_pApp->m_bPowerCycleRequired != FALSE);

        LoadModule();
        TmSimSet("transfer.fpga.write_error", "1117");
        fakeplat::AddFile(kFile, FpgaFile(105));
        EXPECT_EQ(c.nWarningId ? strFailed + L" " + String(c.nWarningId) : strFailed,
                  FailureText(TRUE, TK_FPGA));
        EXPECT_FALSE(m_pApp->m_bRestartRequired);
        EXPECT_FALSE(m_pApp->m_bPowerCycleRequired);
    }
}

TEST_F(TransferThreadTest, WithoutTimerOrWorkerTheDialogClosesAtOnce) {
    headless::FailSetTimer(true);
    INT_PTR nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        EXPECT_TRUE(headless::Click(Item(hDlg, IDC_TRANSFER_BUTTON)));
        EXPECT_TRUE(headless::IsModalEnded(hDlg));
    });
    headless::FailSetTimer(false);
    EXPECT_EQ(IDCANCEL, nResult);
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Ein Timer kann nicht gestartet werden.", boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[0].type);

    headless::ClearMessageBoxes();
    fakeplat::FailCreateThread(ERROR_NOT_ENOUGH_MEMORY);
    nResult = Run(TRUE, TK_FPGA, [&](HWND hDlg) {
        headless::SysCommand(hDlg, SC_CLOSE);
        EXPECT_TRUE(headless::IsModalEnded(hDlg));
    });
    EXPECT_EQ(IDCANCEL, nResult);
    boxes = headless::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Ein Thread kann nicht gestartet werden.", boxes[0].text);
    EXPECT_TRUE(CallsOf("IvroDownloadFile").empty());
}

std::vector<std::pair<std::wstring, UINT>> g_htmlHelpCalls;

HWND WINAPI FakeHtmlHelpW(HWND, LPCWSTR pszFile, UINT uCommand, DWORD_PTR) {
    g_htmlHelpCalls.emplace_back(pszFile ? pszFile : L"", uCommand);
    return nullptr;
}

TEST_F(TransferThreadTest, HelpAndALongPathShortenedWithAnEllipsis) {
    ResetHtmlHelpBinding();
    g_htmlHelpCalls.clear();
    fakeplat::RegisterModule(L"hhctrl.ocx", {{15, &FakeHtmlHelpW}});
    fakeplat::AddFile(L"C:\\Windows\\Help\\TmRoveVodore.chm");
    LoadModule();
    headless::ScopedMessageBoxHandler yes([](const headless::MessageBoxRecord&) { return IDYES; });
    const wchar_t kLong[] =
        L"C:\\Firmware\\Marlet\\Releases\\2024\\Updates for the FPGA of the panel\\fpga_2.pci";
    fakeplat::AddFile(kLong, FpgaFile());
    Hold(1);
    INT_PTR nResult = Run(
        TRUE, TK_FPGA,
        [&](HWND hDlg) {
            std::wstring strShown = Text(hDlg, IDC_TRANSFER_PATH);
            RECT rc;
            GetClientRect(Item(hDlg, IDC_TRANSFER_PATH), &rc);
            EXPECT_LE(6 * static_cast<LONG>(strShown.size()), rc.right);  // 6 pixels a character
            EXPECT_EQ(0u, strShown.find(L"C:\\Firmware\\"));
            EXPECT_NE(std::wstring::npos, strShown.find(L"...\\fpga_2.pci"));

            EXPECT_TRUE(GetWindowLongPtrW(hDlg, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
            // No popup help for the step text: after a question, the topic.
            headless::PressF1(Item(hDlg, IDC_TRANSFER_STEP));
            ASSERT_EQ(1u, g_htmlHelpCalls.size());
            EXPECT_EQ(
                L"C:\\Windows\\Help\\TmRoveVodore.chm::/html/ZuVereruKeys.htm#FileTransferDlg",
                g_htmlHelpCalls[0].first);
            FinishAndClose(hDlg);
        },
        kLong);
    EXPECT_EQ(IDOK, nResult);
    ResetHtmlHelpBinding();
}

TEST_F(TransferThreadTest, TimeFormsAreHoursMinutesOrSecondsWithoutWholeDays) {
    const std::pair<DWORD, const wchar_t*> cases[] = {{0, L"0 Sek."},
                                                      {60, L"1 Min. 0 Sek."},
                                                      {3600, L"1 Std. 0 Min. 0 Sek."},
                                                      {86400 + 61, L"1 Min. 1 Sek."},
                                                      {86399, L"23 Std. 59 Min. 59 Sek."}};
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(L"Ben\u00F6tigte Zeit: ") + c.second,
                  CTransferDlg::FormatSpan(c.first, IDS_ELAPSED_HMS, IDS_ELAPSED_MS, IDS_ELAPSED_S)
                      .GetString());
}

}  // namespace

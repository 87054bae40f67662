#include "transfer/TransferDlg.h"

#include <shlwapi.h>

#include <cwchar>

#include "applet/CplApp.h"
#include "applet/ErrorText.h"
#include "applet/Help.h"
#include "device/TmIvro.h"
#include "res/resource.h"
#include "transfer/TransferKinds.h"

namespace {

const UINT_PTR kPollTimer = 1;
const UINT kPollMs = 500;
const DWORD kCancelPollMs = 100;
const DWORD kCallbackPauseMs = 10;
// Once when the device write begins, so that the timer disables "Abbrechen"
// before the first block is written.
const DWORD kWriteStartPauseMs = 300;
const LONG kNoRemaining = 0x7FFFFFFF;
const COLORREF kWritingColor = RGB(255, 0, 0);

// IvroGetTransferInfo items.
const DWORD kInfoDownloadStep = 0;
const DWORD kInfoDownloadCheck = 1;
const DWORD kInfoUploadStep = 2;
const DWORD kInfoUploadCheck = 3;
const DWORD kInfoRestart = 4;
const DWORD kInfoPowerCycle = 5;

const DWORD kStepWriteDevice = 5;
const DWORD kCheckOlderVersion = 2;

UINT DownloadStepText(DWORD nStep) {
    static const UINT s_ids[] = {0,
                                 IDS_STEP_OPEN_FILE,
                                 IDS_STEP_INIT,
                                 IDS_STEP_READ_FILE,
                                 IDS_STEP_CHECK,
                                 IDS_STEP_WRITE_DEVICE,
                                 IDS_STEP_COMPARE,
                                 IDS_STEP_RELOAD,
                                 IDS_STEP_CLOSE_FILE};
    return nStep < _countof(s_ids) ? s_ids[nStep] : 0;
}

UINT UploadStepText(DWORD nStep) {
    static const UINT s_ids[] = {0,
                                 IDS_STEP_OPEN_FILE,
                                 IDS_STEP_INIT,
                                 IDS_STEP_READ_DEVICE,
                                 IDS_STEP_CHECK,
                                 IDS_STEP_WRITE_FILE,
                                 0,
                                 IDS_STEP_CLOSE_FILE};
    return nStep < _countof(s_ids) ? s_ids[nStep] : 0;
}

BOOL ReadTransferInfo(DWORD nItem, DWORD& nValue) {
    DWORD dwValue = 0;
    if (!IvroGetTransferInfo(nItem, &dwValue, sizeof(dwValue))) return FALSE;
    nValue = dwValue;
    return TRUE;
}

CString LoadText(UINT nId) {
    CString text;
    if (nId) text.LoadString(nId);
    return text;
}

}  // namespace

int CTransferDlg::s_nDifferingTicks = 0;

CTransferDlg::CTransferDlg()
    : CDialog(IDD_TRANSFER),
      m_bDownload(TRUE),
      m_nKind(0),
      m_szPath(),
      m_nTimerId(0),
      m_hWndQuestionOwner(nullptr),
      m_bFinishedShown(false),
      m_bWaiting(false),
      m_bEnding(false),
      m_nErrorCode(0),
      m_bCancelRequested(FALSE),
      m_bDone(FALSE),
      m_nPercent(0),
      m_nStepTextId(IDS_STEP_INIT),
      m_bWriting(FALSE),
      m_bWriteStarted(FALSE),
      m_bOlderVersionAsked(FALSE),
      m_timeStart(0),
      m_nLastRemaining(kNoRemaining),
      m_bRestartNeeded(FALSE),
      m_bPowerCycleNeeded(FALSE) {}

CTransferDlg::~CTransferDlg() {
    if (m_nTimerId && m_hWnd) KillTimer(m_nTimerId);
    // Only when the dialog was ended from outside: the worker still uses
    // this object until it is done.
    if (m_hWorker && !m_bDone.load(std::memory_order_acquire)) {
        m_bCancelRequested = TRUE;
        WaitForWorker();
    }
}

CString CTransferDlg::FormatSpan(DWORD nSeconds, UINT nIdHours, UINT nIdMinutes, UINT nIdSeconds) {
    // Whole days are not shown.
    const UINT nHours = static_cast<UINT>(nSeconds / 3600 - 24 * (nSeconds / 86400));
    const UINT nMinutes = static_cast<UINT>(nSeconds / 60 - 60 * (nSeconds / 3600));
    const UINT nRest = static_cast<UINT>(nSeconds - 60 * (nSeconds / 60));
    CString text;
    if (nHours > 0)
        text.Format(LoadText(nIdHours), nHours, nMinutes, nRest);
    else if (nMinutes > 0)
        text.Format(LoadText(nIdMinutes), nMinutes, nRest);
    else
        text.Format(LoadText(nIdSeconds), nRest);
    return text;
}

DWORD CTransferDlg::Now() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    ULONGLONG nTicks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    const ULONGLONG kSecondsFrom1601To1970 = 11644473600ull;
    return static_cast<DWORD>(nTicks / 10000000ull - kSecondsFrom1601To1970);
}

void CTransferDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TRANSFER_ICON, m_icon);
    DDX_Control(pDX, IDC_TRANSFER_PROGRESS, m_progress);
}

BOOL CTransferDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const CCplApp& app = GetCplApp();
    if (app.m_bHelpAvailable) ModifyStyleEx(0, WS_EX_CONTEXTHELP, SWP_FRAMECHANGED);

    m_progress.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ShowPath();
    SetDlgItemText(IDC_TRANSFER_STEP, L"");
    SetDlgItemText(IDC_TRANSFER_TIME, L"");
    m_timeStart = Now();
    m_nLastRemaining = kNoRemaining;

    // What the worker needs of the user interface, taken on this thread.
    m_hWndQuestionOwner = m_hWnd;
    m_strCaption = app.m_pszAppName;
    m_strOlderVersionQuestion = LoadText(IDS_ASK_OLDER_VERSION);

    m_nTimerId = SetTimer(kPollTimer, kPollMs);
    if (!m_nTimerId) {
        AfxMessageBox(IDS_TIMER_FAILED, MB_OK | MB_ICONSTOP);
    } else {
        m_hWorker.Reset(::CreateThread(nullptr, 0, m_bDownload ? &DownloadWorker : &UploadWorker,
                                       this, 0, nullptr));
        if (!m_hWorker) {
            // Nothing to watch: the dialog stays as it started.
            StopTimer();
            AfxMessageBox(IDS_THREAD_FAILED, MB_OK);
        }
    }

    SetDlgItemText(IDC_TRANSFER_INFO, LoadText(m_bDownload ? IDS_DOWNLOAD_INFO : IDS_UPLOAD_INFO));
    HICON hIcon = ::LoadIconW(nullptr, m_bDownload ? IDI_WARNING : IDI_INFORMATION);
    m_icon.SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
    return TRUE;
}

void CTransferDlg::OnOK() {
    // Enter on the default button does what the button does: IDOK only
    // after a successful transfer.
    CancelOperation();
}

void CTransferDlg::OnCancel() {
    CancelOperation();
}

BEGIN_MESSAGE_MAP(CTransferDlg, CDialog)
ON_WM_HELPINFO()
ON_WM_TIMER()
ON_WM_CTLCOLOR()
ON_MESSAGE(WM_SETCURSOR, OnSetCursor)
ON_BN_CLICKED(IDC_TRANSFER_BUTTON, OnTransferButton)
END_MESSAGE_MAP()

BOOL CTransferDlg::OnHelpInfo(HELPINFO* pHelpInfo) {
    ShowHelp(m_hWnd, pHelpInfo, kTopicTransfer);
    // Not passed on: the owner would answer it with its own topic.
    return TRUE;
}

void CTransferDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kPollTimer) {
        Default();
        return;
    }
    if (m_bCancelRequested || m_bEnding) return;

    // After m_bDone the worker has stored everything it will store.
    const bool bDone = m_bDone.load(std::memory_order_acquire) != FALSE;
    const DWORD nPercent = m_nPercent;
    m_progress.SendMessage(PBM_SETPOS, nPercent, 0);
    AfxSetWindowText(GetDlgItem(IDC_TRANSFER_STEP)->m_hWnd, LoadText(m_nStepTextId));

    if (bDone) {
        StopTimer();
        if (m_nErrorCode != 0) {
            SetWindowText(LoadText(m_bDownload ? IDS_DOWNLOAD_ABORTED : IDS_UPLOAD_ABORTED));
            CancelOperation();
        } else {
            ShowFinished();
        }
        return;
    }

    CWnd* pButton = GetDlgItem(IDC_TRANSFER_BUTTON);
    const bool bRefused = CancelRefused();
    if ((pButton->IsWindowEnabled() != FALSE) == bRefused) {
        pButton->EnableWindow(!bRefused);
        if (!bRefused) SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pButton->m_hWnd), TRUE);
    }
    ShowRemainingTime();

    CString title;
    title.Format(L"%u%% - %ls", static_cast<UINT>(nPercent),
                 LoadText(m_bDownload ? IDS_TITLE_DOWNLOAD : IDS_TITLE_UPLOAD).GetString());
    AfxSetWindowText(m_hWnd, title);
}

HBRUSH CTransferDlg::OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) {
    HBRUSH hBrush = CDialog::OnCtlColor(hDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC && pWnd && ::GetDlgCtrlID(pWnd->m_hWnd) == IDC_TRANSFER_STEP &&
        m_bWriting)
        ::SetTextColor(hDC, kWritingColor);
    return hBrush;
}

LRESULT CTransferDlg::OnSetCursor(WPARAM, LPARAM lParam) {
    // The wait pumps messages: without this the first mouse move over the
    // dialog would bring back the arrow. HTERROR (a question is open) keeps
    // its default handling.
    if (!m_bWaiting || static_cast<short>(LOWORD(lParam)) == HTERROR) return Default();
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return TRUE;
}

void CTransferDlg::OnTransferButton() {
    CancelOperation();
}

// ---------------------------------------------------------------------------
// Worker thread

DWORD WINAPI CTransferDlg::DownloadWorker(LPVOID pParam) {
    static_cast<CTransferDlg*>(pParam)->RunWorker(TRUE);
    return 0;
}

DWORD WINAPI CTransferDlg::UploadWorker(LPVOID pParam) {
    static_cast<CTransferDlg*>(pParam)->RunWorker(FALSE);
    return 0;
}

void CTransferDlg::RunWorker(BOOL bDownload) {
    BOOL bOk = bDownload ? IvroDownloadFile(m_szPath, m_nKind, &TransferProgressProc, this)
                         : IvroUploadFile(m_szPath, m_nKind, &TransferProgressProc, this);
    if (!bOk) {
        // A failure without a reason must not pass for success.
        DWORD dwError = ::GetLastError();
        m_nErrorCode = dwError ? dwError : ERROR_GEN_FAILURE;
    }
    if (bDownload) m_bWriting = FALSE;
    // Last: after this the dialog may end at any moment.
    m_bDone.store(TRUE, std::memory_order_release);
}

BOOL CALLBACK CTransferDlg::TransferProgressProc(DWORD dwPercent, void* pContext) {
    return static_cast<CTransferDlg*>(pContext)->OnProgress(dwPercent);
}

BOOL CTransferDlg::OnProgress(DWORD dwPercent) {
    m_nPercent = dwPercent > 100 ? 100 : dwPercent;
    // An earlier report of the write step was answered with "go on": the
    // device is being changed, and nothing may stop the library any more.
    const bool bWriteBegun = m_bWriteStarted != FALSE;
    DWORD nStep = 0;
    // The write state changes before the step text, so that the timer never
    // shows the write step with "Abbrechen" still usable.
    if (m_bDownload) {
        if (ReadTransferInfo(kInfoDownloadStep, nStep)) {
            if (nStep == kStepWriteDevice) {
                if (!m_bWriting.exchange(TRUE)) ::Sleep(kWriteStartPauseMs);
                m_bWriteStarted = TRUE;
            } else {
                m_bWriting = FALSE;
            }
            m_nStepTextId = DownloadStepText(nStep);
        }
    } else if (ReadTransferInfo(kInfoUploadStep, nStep)) {
        if (nStep == 1 || nStep == 7) m_bWriting = FALSE;
        m_nStepTextId = UploadStepText(nStep);
    }

    // A stop asked for before the write began still counts at the write's
    // first report; after that the device is changed and must be finished,
    // also through compare, reload and close.
    BOOL bContinue = bWriteBegun || !m_bCancelRequested;

    DWORD nCheck = 0;
    if (m_bDownload && !m_bOlderVersionAsked && ReadTransferInfo(kInfoDownloadCheck, nCheck) &&
        nCheck == kCheckOlderVersion) {
        m_bOlderVersionAsked = TRUE;
        // Pointless once the user has cancelled, and too late once the
        // device is being written.
        if (bContinue && !bWriteBegun) {
            const DWORD nAsked = Now();
            // Owned by the dialog, so it stays in front of it; the dialog's
            // thread keeps serving it, also while a cancel waits.
            int nAnswer = ::MessageBoxW(m_hWndQuestionOwner, m_strOlderVersionQuestion,
                                        m_strCaption, MB_YESNO | MB_ICONEXCLAMATION);
            if (nAnswer != IDYES) bContinue = FALSE;
            // The time of the question is neither elapsed nor part of the estimate.
            m_timeStart += Now() - nAsked;
        }
    }
    ::Sleep(kCallbackPauseMs);
    return bContinue;
}

// ---------------------------------------------------------------------------
// User-interface thread

void CTransferDlg::ShowPath() {
    CWnd* pPath = GetDlgItem(IDC_TRANSFER_PATH);
    if (!pPath) return;
    RECT rect = {0, 0, 0, 0};
    pPath->GetClientRect(&rect);
    // Room for the longest request; the shortened text is never longer.
    WCHAR szShown[2 * MAX_PATH];
    std::wcsncpy(szShown, m_szPath, _countof(szShown) - 1);
    szShown[_countof(szShown) - 1] = L'\0';
    HDC hDC = ::GetDC(pPath->m_hWnd);
    if (hDC) {
        HGDIOBJ hFont = reinterpret_cast<HGDIOBJ>(pPath->SendMessage(WM_GETFONT));
        HGDIOBJ hOldFont = hFont ? ::SelectObject(hDC, hFont) : nullptr;
        ::PathCompactPathW(hDC, szShown, static_cast<UINT>(rect.right - rect.left));
        if (hOldFont) ::SelectObject(hDC, hOldFont);
        ::ReleaseDC(pPath->m_hWnd, hDC);
    }
    pPath->SetWindowText(szShown);
}

void CTransferDlg::ShowRemainingTime() {
    const LONG nElapsed = static_cast<LONG>(Now() - m_timeStart);
    const DWORD nPercent = m_nPercent;
    if (nPercent == 0 || nElapsed <= 1) return;
    // In 64 bits, then cut to 32: the 32-bit result without overflow.
    const LONG nRemaining =
        static_cast<LONG>(static_cast<LONGLONG>(nElapsed) * 100 / nPercent - nElapsed + 1);
    if (nRemaining == m_nLastRemaining) return;
    // A changed estimate shows on the second tick that differs.
    if (++s_nDifferingTicks > 1) {
        m_nLastRemaining = nRemaining;
        s_nDifferingTicks = 0;
        SetDlgItemText(IDC_TRANSFER_TIME,
                       FormatSpan(static_cast<DWORD>(nRemaining), IDS_REMAINING_HMS,
                                  IDS_REMAINING_MS, IDS_REMAINING_S));
    }
}

void CTransferDlg::ShowFinished() {
    m_bFinishedShown = true;
    const CString done = LoadText(m_bDownload ? IDS_DOWNLOAD_DONE : IDS_UPLOAD_DONE);
    SetWindowText(done);
    SetDlgItemText(IDC_TRANSFER_STEP, done);
    CWnd* pButton = GetDlgItem(IDC_TRANSFER_BUTTON);
    pButton->SetWindowText(LoadText(IDS_CLOSE));
    pButton->EnableWindow(TRUE);
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pButton->m_hWnd), TRUE);

    LONG nElapsed = static_cast<LONG>(Now() - m_timeStart);
    if (nElapsed < 0) nElapsed = 0;  // the clock was set back
    SetDlgItemText(IDC_TRANSFER_TIME, FormatSpan(static_cast<DWORD>(nElapsed), IDS_ELAPSED_HMS,
                                                 IDS_ELAPSED_MS, IDS_ELAPSED_S));

    CString end;
    if (m_bDownload) {
        ReadRestartNeeds();
        CCplApp& app = GetCplApp();
        if (m_bPowerCycleNeeded) {
            end = LoadText(IDS_POWER_CYCLE_NEEDED);
            app.m_bPowerCycleRequired = TRUE;
        } else if (m_bRestartNeeded) {
            end = LoadText(IDS_RESTART_NEEDED);
            app.m_bRestartRequired = TRUE;
        }
    }
    SetDlgItemText(IDC_TRANSFER_INFO, end);
    HICON hIcon = end.IsEmpty() ? nullptr : ::LoadIconW(nullptr, IDI_INFORMATION);
    m_icon.SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
}

void CTransferDlg::ReadRestartNeeds() {
    DWORD nValue = 0;
    if (ReadTransferInfo(kInfoPowerCycle, nValue)) m_bPowerCycleNeeded = nValue != 0;
    if (ReadTransferInfo(kInfoRestart, nValue)) m_bRestartNeeded = nValue != 0;
}

bool CTransferDlg::CancelRefused() const {
    return m_bWriting || m_bWriteStarted;
}

void CTransferDlg::CancelOperation() {
    // Clicks, Esc and the close box that arrive while the cancel waits or
    // while the failure is shown (a tick inside that message box too).
    if (m_bWaiting || m_bEnding) return;
    if (!m_hWorker) {
        // The timer or the worker never started: nothing to wait for.
        StopTimer();
        EndDialog(IDCANCEL);
        return;
    }
    if (m_bDone.load(std::memory_order_acquire)) {
        if (m_nErrorCode != 0) {
            EndFailed(m_nErrorCode);
            return;
        }
        // Done before the timer showed it: the restart needs still go to
        // the application.
        if (!m_bFinishedShown) {
            StopTimer();
            ShowFinished();
        }
        CDialog::OnOK();
        return;
    }
    // From the write on, the download ends as finished (restart needs,
    // updated flag) or failed with its warning; never silently.
    if (CancelRefused()) return;

    CWaitCursor wait;
    m_bCancelRequested = TRUE;
    m_bWaiting = true;
    WaitForWorker();
    m_bWaiting = false;
    StopTimer();
    if (m_nErrorCode == 0) {
        // The transfer had already finished: it succeeded after all.
        ShowFinished();
        return;
    }
    if (m_nErrorCode == ERROR_CANCELLED) {
        EndDialog(IDCANCEL);
        return;
    }
    EndFailed(m_nErrorCode);
}

void CTransferDlg::EndFailed(DWORD nErrorCode) {
    // One failure, one message: no tick and no press shows it again.
    m_bEnding = true;
    StopTimer();
    if (nErrorCode == ERROR_CANCELLED) {
        EndDialog(IDCANCEL);
        return;
    }
    CString text = LoadText(m_bDownload ? IDS_DOWNLOAD_FAILED : IDS_UPLOAD_FAILED);
    text += L"\n";
    text += GetSystemErrorText(nErrorCode);

    DWORD nCheck = 0;
    if (ReadTransferInfo(m_bDownload ? kInfoDownloadCheck : kInfoUploadCheck, nCheck)) {
        if (UINT nId = GetCheckResultTextId(m_bDownload, nCheck))
            AfxFormatString1(text, nId, GetTransferKindName(m_nKind));
    }
    if (m_bWriteStarted) {
        text += L"\n\n";
        text += LoadText(IDS_REPEAT_UPDATE);
        ReadRestartNeeds();
        if (m_bPowerCycleNeeded) {
            text += L" ";
            text += LoadText(IDS_DO_NOT_POWER_OFF);
        } else if (m_bRestartNeeded) {
            text += L" ";
            text += LoadText(IDS_DO_NOT_RESTART);
        }
    }
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
    EndDialog(IDCANCEL);
}

void CTransferDlg::WaitForWorker() {
    // Messages keep flowing: the worker's question is owned by this dialog,
    // and its window needs this thread to answer while it is shown.
    bool bQuit = false;
    WPARAM nQuitCode = 0;
    while (!m_bDone.load(std::memory_order_acquire)) {
        HANDLE hWorker = m_hWorker.Get();
        if (::MsgWaitForMultipleObjects(1, &hWorker, FALSE, kCancelPollMs, QS_ALLINPUT) ==
            WAIT_FAILED)
            ::Sleep(kCancelPollMs);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Handed on to the loop that owns it once the worker is done.
                bQuit = true;
                nQuitCode = msg.wParam;
                continue;
            }
            if (!m_hWnd || !::IsDialogMessageW(m_hWnd, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
    if (bQuit) ::PostQuitMessage(static_cast<int>(nQuitCode));
}

void CTransferDlg::StopTimer() {
    if (m_nTimerId) {
        KillTimer(m_nTimerId);
        m_nTimerId = 0;
    }
}

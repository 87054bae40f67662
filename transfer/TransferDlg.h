// The transfer dialog: runs one download or upload on a worker thread while
// the user watches progress, step, remaining time and can cancel outside the
// write phase.
#pragma once

#include <atomic>

#include "framework/Afx.h"
#include "framework/AfxHandles.h"

class CTransferDlg : public CDialog {
public:
    CTransferDlg();
    ~CTransferDlg() override;

    static constexpr int kMaxPathChars = 260;

    // The request, set by the starter before DoModal.
    BOOL m_bDownload;
    DWORD m_nKind;
    WCHAR m_szPath[kMaxPathChars + 1];

    // Ticks on which the remaining-time estimate differed from the shown one;
    // one counter for all transfer dialogs of the module, user-interface
    // thread only.
    static int s_nDifferingTicks;

    // Forms of a span of seconds: hours form, minutes form or seconds form.
    static CString FormatSpan(DWORD nSeconds, UINT nIdHours, UINT nIdMinutes, UINT nIdSeconds);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    void OnTimer(UINT_PTR nIDEvent);
    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    void OnTransferButton();
    DECLARE_MESSAGE_MAP()

private:
    static DWORD WINAPI DownloadWorker(LPVOID pParam);
    static DWORD WINAPI UploadWorker(LPVOID pParam);
    static BOOL CALLBACK TransferProgressProc(DWORD dwPercent, void* pContext);
    void RunWorker(BOOL bDownload);
    BOOL OnProgress(DWORD dwPercent);

    void ShowPath();
    void ShowFinished();
    void ShowRemainingTime();
    void CancelOperation();
    void EndFailed(DWORD nErrorCode);
    void WaitForWorker();
    void ReadRestartNeeds();
    bool CancelRefused() const;
    void StopTimer();
    // Seconds of the wall clock (since 1970, wrapping in 2106).
    static DWORD Now();

    CWnd m_icon;
    CWnd m_progress;
    UINT_PTR m_nTimerId;
    CHandle m_hWorker;
    HWND m_hWndQuestionOwner;  // for the worker's question
    CString m_strCaption;
    CString m_strOlderVersionQuestion;
    bool m_bFinishedShown;
    bool m_bWaiting;  // the cancel operation waits for the worker
    bool m_bEnding;   // the failure is being shown; the dialog ends after it

    // Shared with the worker thread. The worker publishes m_bDone last
    // (release); m_nErrorCode is read only after m_bDone was seen (acquire).
    DWORD m_nErrorCode;
    std::atomic<BOOL> m_bCancelRequested;
    std::atomic<BOOL> m_bDone;
    std::atomic<DWORD> m_nPercent;
    std::atomic<UINT> m_nStepTextId;
    std::atomic<BOOL> m_bWriting;
    // Set while m_bWriting is still TRUE: from the first write on, the
    // user-interface thread sees at least one of the two.
    std::atomic<BOOL> m_bWriteStarted;
    BOOL m_bOlderVersionAsked;       // worker only
    std::atomic<DWORD> m_timeStart;  // Now() at the start, moved on by the question's time

    LONG m_nLastRemaining;
    BOOL m_bRestartNeeded;
    BOOL m_bPowerCycleNeeded;
};

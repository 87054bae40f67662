// The simulated device: one process-wide state behind one mutex, the profile
// source (file, text or embedded default), fault rules and the call log.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "device/TmIvro.h"
#include "simulator/SimProfile.h"

namespace tmsim {

class Simulator {
public:
    static Simulator& Instance();

    // Runs one device operation: under the lock it checks that the device is
    // there and whether a fault rule fires, runs the body (which returns 0 or
    // a last-error code) and logs the call; then sets the thread's last error.
    // Nothing is called back while the lock is held.
    template <typename Body>
    BOOL Run(const char* pszOperation, bool bHasItem, Dword nItem, const std::string& strArgs,
             Body&& body) {
        Dword nError = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Prepare();
            nError = CheckFaults(pszOperation, bHasItem, nItem);
            if (nError == 0) {
                nError = body(m_state);
                if (nError == 0) CountSuccess(pszOperation, bHasItem, nItem);
            }
            LogCall(pszOperation, strArgs, nError);
        }
        SetLastError(nError);
        return nError == 0 ? TRUE : FALSE;
    }

    // IvroDownloadFile and IvroUploadFile (SimTransfer.cpp): the blocking
    // transfer with its progress callbacks, which run without the lock.
    BOOL Transfer(const char* pszOperation, bool bDownload, const WCHAR* pszPath, Dword nKind,
                  TransferProgressProc pfnProgress, void* pContext);
    BOOL GetTransferInfo(Dword nItem, DWORD* pdwValue, DWORD cbSize);

    // Control API (TmIvroSim.h).
    void Reset();
    bool LoadText(const std::string& strText);
    bool LoadFile(const std::filesystem::path& path);
    bool Set(const std::string& strKey, const std::string& strValue);
    bool Get(const std::string& strKey, std::string& strValue);
    bool InjectFault(const FaultSpec& fault);
    void ClearFaults();
    std::string CallLogText();
    void ClearCallLog();
    std::string LastError();
    bool IsPresent();

    // How often a watched profile file is checked for changes.
    static constexpr std::chrono::milliseconds kWatchInterval{250};
    // The in-process call log keeps this many of the latest lines.
    static constexpr size_t kMaxLogLines = 20000;

private:
    struct Fault {
        FaultSpec m_spec;
        Dword m_nSuccesses = 0;
        Dword m_nFired = 0;
        bool m_bFromProfile = false;
    };

    struct FileStamp {
        bool m_bExists = false;
        std::filesystem::file_time_type m_time{};
        uintmax_t m_nSize = 0;
        bool operator==(const FileStamp& other) const {
            return m_bExists == other.m_bExists && m_time == other.m_time &&
                   m_nSize == other.m_nSize;
        }
    };

    // IvroGetTransferInfo items 0..5 and whether a transfer runs now.
    struct TransferInfo {
        Dword m_anItems[6] = {0, 0, 0, 0, 0, 0};
        bool m_bRunning = false;
    };
    // What one transfer needs from the device, taken when it starts.
    struct TransferPlan {
        bool m_bDownload = true;
        Dword m_nKind = 0;
        Dword m_nDevice = 0;
        TransferKindSettings m_settings;
        Dword m_nStepDelayMs = 0;
        std::vector<Byte> m_abImage;  // upload: what the device holds
    };
    class TransferRun;

    Simulator() = default;

    Dword BeginTransferLocked(bool bDownload, Dword nKind, TransferPlan& plan);
    Dword Download(const TransferPlan& plan, const WCHAR* pszPath, TransferRun& run);
    Dword Upload(const TransferPlan& plan, const WCHAR* pszPath, TransferRun& run);

    void Prepare();
    void EnsureInitialized();
    void MarkInitialized();
    void ReadLogPaths();
    bool LoadTextLocked(const std::string& strText, const std::string& strName);
    bool LoadFileLocked(const std::filesystem::path& path);
    void Install(const DeviceState& state, const std::vector<ProfileEntry>& entries);
    void SetAbsent(const std::string& strErrors, const std::string& strName);
    void CheckReload();
    void Reload();
    void UpdateDrift();
    void TakeFaults(std::vector<FaultSpec>& faults, bool bFromProfile);
    Dword CheckFaults(const char* pszOperation, bool bHasItem, Dword nItem);
    void CountSuccess(const char* pszOperation, bool bHasItem, Dword nItem);
    void LogCall(const char* pszOperation, const std::string& strArgs, Dword nError);
    void Report(const std::string& strMessage, bool bProblem);

    static FileStamp StampOf(const std::filesystem::path& path);

    std::mutex m_mutex;
    bool m_bInitialized = false;
    bool m_bPresent = false;
    DeviceState m_state;
    std::vector<ProfileEntry> m_entries;  // lines of the profile loaded last
    std::vector<Fault> m_faults;
    std::deque<std::string> m_callLog;
    std::string m_strLastError;

    bool m_bWatch = false;
    std::filesystem::path m_watchPath;
    FileStamp m_stamp;
    std::chrono::steady_clock::time_point m_lastCheck{};

    bool m_bCallLogFile = false;
    std::filesystem::path m_callLogPath;
    bool m_bSimLogFile = false;
    std::filesystem::path m_simLogPath;

    std::chrono::steady_clock::time_point m_lastDrift{};
    TransferInfo m_transfer;
    std::minstd_rand m_random{1};
};

std::string PathText(const std::filesystem::path& path);

}  // namespace tmsim

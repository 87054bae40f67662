// Transfers of the simulated device: files in the format of SimTransferFile.h
// read and written through the Win32 file API, step codes and percent through
// the caller's progress callback, check results and restart needs for
// IvroGetTransferInfo.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "simulator/SimDevice.h"
#include "simulator/SimTransferFile.h"

namespace tmsim {

namespace {

// Step codes of IvroGetTransferInfo items 0 (download) and 2 (upload).
enum : Dword {
    kStepOpen = 1,
    kStepInit = 2,
    kStepRead = 3,
    kStepCheck = 4,
    kStepWrite = 5,
    kStepCompare = 6,
    kStepReload = 7,
    kStepClose = 8,
    kUploadStepClose = 7,
};

// Callbacks of one transfer, to spread its duration over.
const Dword kCallbacksPerTransfer = 24;
const DWORD kChunk = 64 * 1024;

// Owns a file handle of the Win32 file API.
class CFileHandle {
public:
    explicit CFileHandle(HANDLE h) : m_h(h) {}
    ~CFileHandle() { Close(); }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    void Close() {
        if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h;
};

Dword LastErrorOr(Dword nFallback) {
    DWORD dwError = GetLastError();
    return dwError ? dwError : nFallback;
}

bool KindPresent(const DeviceState& s, Dword nKind) {
    switch (nKind) {
        case 0:
            return s.m_nKeyCount > 0;
        case 8:
            return s.m_bFpga;
        case 9:
            return s.m_bRavla1;
        case 10:
            return s.m_bRavla2;
        case 11:
            return s.m_bFpga1;
        case 12:
            return s.m_bUserLogo;
        default:
            return true;
    }
}

}  // namespace

// Reports steps and percent of one transfer: the item under the lock, then
// the pause of the configured speed and the callback without it.
class Simulator::TransferRun {
public:
    TransferRun(Simulator& sim, const TransferPlan& plan, TransferProgressProc pfn, void* pContext)
        : m_sim(sim), m_plan(plan), m_pfn(pfn), m_pContext(pContext) {}

    // False when the callback asked to stop.
    bool Step(Dword nStep, Dword nPercent) {
        {
            std::lock_guard<std::mutex> lock(m_sim.m_mutex);
            m_sim.m_transfer.m_anItems[m_plan.m_bDownload ? 0 : 2] = nStep;
        }
        if (m_plan.m_nStepDelayMs) Sleep(m_plan.m_nStepDelayMs);
        if (m_pfn && !m_pfn(nPercent, m_pContext)) return false;
        // Held here while "transfer.hold_step" names this step (demos, tests).
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_sim.m_mutex);
                if (m_sim.m_state.m_nTransferHoldStep != static_cast<int64_t>(nStep)) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    void SetItem(int nItem, Dword nValue) {
        std::lock_guard<std::mutex> lock(m_sim.m_mutex);
        m_sim.m_transfer.m_anItems[nItem] = nValue;
    }

private:
    Simulator& m_sim;
    const TransferPlan& m_plan;
    TransferProgressProc m_pfn;
    void* m_pContext;
};

Dword Simulator::BeginTransferLocked(bool bDownload, Dword nKind, TransferPlan& plan) {
    if (!FindTransferKind(nKind)) return kErrInvalidParameter;
    if (!KindPresent(m_state, nKind)) return kErrNotSupported;
    if (m_transfer.m_bRunning) return kErrBusy;
    plan.m_bDownload = bDownload;
    plan.m_nKind = nKind;
    plan.m_nDevice = static_cast<Dword>(m_state.m_nType);
    auto it = m_state.m_transferKinds.find(nKind);
    if (it != m_state.m_transferKinds.end()) plan.m_settings = it->second;
    plan.m_nStepDelayMs = static_cast<Dword>(m_state.m_nTransferDuration) / kCallbacksPerTransfer;
    if (!bDownload) {
        auto image = m_state.m_transferImages.find(nKind);
        if (image != m_state.m_transferImages.end()) {
            plan.m_abImage = image->second;
        } else {
            Dword nVersion = static_cast<Dword>(plan.m_settings.m_nVersion);
            plan.m_abImage = BuildTransferFile(
                nKind, plan.m_nDevice, nVersion,
                SampleTransferData(nKind, nVersion, static_cast<size_t>(plan.m_settings.m_nSize)));
        }
    }
    m_transfer.m_bRunning = true;
    return 0;
}

Dword Simulator::Download(const TransferPlan& plan, const WCHAR* pszPath, TransferRun& run) {
    CFileHandle file(CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return LastErrorOr(kErrFileNotFound);
    if (!run.Step(kStepOpen, 0)) return kErrCancelled;
    if (!run.Step(kStepInit, 2)) return kErrCancelled;

    DWORD dwSizeHigh = 0;
    DWORD dwSize = GetFileSize(file.Get(), &dwSizeHigh);
    if (dwSize == INVALID_FILE_SIZE && GetLastError() != 0) return LastErrorOr(kErrInvalidData);
    if (dwSizeHigh != 0 || dwSize > kTransferHeaderSize + kMaxTransferData) {
        run.SetItem(1, 1);
        return kErrInvalidData;
    }
    std::vector<Byte> abFile(dwSize);
    DWORD dwDone = 0;
    while (dwDone < dwSize) {
        DWORD dwRead = 0;
        DWORD dwWant = std::min(kChunk, dwSize - dwDone);
        if (!ReadFile(file.Get(), abFile.data() + dwDone, dwWant, &dwRead, nullptr))
            return LastErrorOr(kErrInvalidData);
        if (dwRead == 0) break;
        dwDone += dwRead;
        if (!run.Step(kStepRead, 5 + 15 * dwDone / dwSize)) return kErrCancelled;
    }
    abFile.resize(dwDone);
    if (dwSize == 0 && !run.Step(kStepRead, 20)) return kErrCancelled;

    if (!run.Step(kStepCheck, 25)) return kErrCancelled;
    Dword nCheck = CheckTransferFile(abFile, plan.m_nKind, plan.m_nDevice, plan.m_settings);
    if (nCheck != 0) {
        run.SetItem(1, nCheck);
        if (nCheck != 2) return kErrInvalidData;
        // Older than what the device holds: the caller decides in its callback.
        if (!run.Step(kStepCheck, 27)) return kErrCancelled;
    }

    // From here on the device holds changed data.
    run.SetItem(4, plan.m_settings.m_nRestart ? 1 : 0);
    run.SetItem(5, plan.m_settings.m_nPowerCycle ? 1 : 0);
    for (Dword nPercent = 30; nPercent <= 85; nPercent += 5) {
        if (plan.m_settings.m_nWriteError && nPercent == 60)
            return static_cast<Dword>(plan.m_settings.m_nWriteError);
        if (!run.Step(kStepWrite, nPercent)) return kErrCancelled;
    }
    TransferFileHeader header;
    ReadTransferHeader(abFile, header);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state.m_transferImages[plan.m_nKind] = abFile;
        m_state.m_transferKinds[plan.m_nKind].m_nVersion = header.m_nVersion;
    }
    if (!run.Step(kStepCompare, 90)) return kErrCancelled;
    if (!run.Step(kStepReload, 95)) return kErrCancelled;
    file.Close();
    if (!run.Step(kStepClose, 100)) return kErrCancelled;
    return 0;
}

Dword Simulator::Upload(const TransferPlan& plan, const WCHAR* pszPath, TransferRun& run) {
    // An existing file stays as it was until the data is written into it.
    SetLastError(0);
    CFileHandle file(CreateFileW(pszPath, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return LastErrorOr(kErrFileNotFound);
    bool bExisted = GetLastError() == ERROR_ALREADY_EXISTS;
    bool bWriting = false;
    // Whatever stops the upload leaves no half-written or new empty file behind.
    auto fail = [&](Dword nError) {
        file.Close();
        if (bWriting || !bExisted) DeleteFileW(pszPath);
        return nError;
    };
    if (!run.Step(kStepOpen, 0)) return fail(kErrCancelled);
    if (!run.Step(kStepInit, 5)) return fail(kErrCancelled);
    for (Dword nPercent = 10; nPercent <= 40; nPercent += 10) {
        if (!run.Step(kStepRead, nPercent)) return fail(kErrCancelled);
    }
    if (!run.Step(kStepCheck, 45)) return fail(kErrCancelled);
    if (plan.m_settings.m_nUploadCheck) {
        run.SetItem(3, static_cast<Dword>(plan.m_settings.m_nUploadCheck));
        return fail(kErrInvalidData);
    }
    const std::vector<Byte>& abImage = plan.m_abImage;
    bWriting = true;
    if (!SetEndOfFile(file.Get())) return fail(LastErrorOr(kErrInvalidData));
    DWORD dwSize = static_cast<DWORD>(abImage.size());
    DWORD dwDone = 0;
    while (dwDone < dwSize) {
        DWORD dwWritten = 0;
        DWORD dwWant = std::min(kChunk, dwSize - dwDone);
        if (!WriteFile(file.Get(), abImage.data() + dwDone, dwWant, &dwWritten, nullptr) ||
            dwWritten == 0)
            return fail(LastErrorOr(kErrInvalidData));
        dwDone += dwWritten;
        if (!run.Step(kStepWrite, 50 + 45 * dwDone / dwSize)) return fail(kErrCancelled);
    }
    file.Close();
    if (!run.Step(kUploadStepClose, 100)) return fail(kErrCancelled);
    return 0;
}

BOOL Simulator::Transfer(const char* pszOperation, bool bDownload, const WCHAR* pszPath,
                         Dword nKind, TransferProgressProc pfnProgress, void* pContext) {
    std::string strArgs = "kind=" + std::to_string(nKind) + " path=\"" +
                          (pszPath ? WideToUtf8(pszPath) : std::string()) + "\"";
    TransferPlan plan;
    Dword nError = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Prepare();
        if (!m_transfer.m_bRunning) {
            // A call starts with no step, no check result and nothing to
            // restart, even one that fails at once.
            int nFirst = bDownload ? 0 : 2;
            m_transfer.m_anItems[nFirst] = 0;
            m_transfer.m_anItems[nFirst + 1] = 0;
            m_transfer.m_anItems[4] = 0;
            m_transfer.m_anItems[5] = 0;
        }
        nError = CheckFaults(pszOperation, true, nKind);
        if (nError == 0 && !pszPath) nError = kErrInvalidParameter;
        if (nError == 0) nError = BeginTransferLocked(bDownload, nKind, plan);
        if (nError != 0) {
            LogCall(pszOperation, strArgs, nError);
            SetLastError(nError);
            return FALSE;
        }
    }
    TransferRun run(*this, plan, pfnProgress, pContext);
    nError = bDownload ? Download(plan, pszPath, run) : Upload(plan, pszPath, run);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_transfer.m_bRunning = false;
        if (nError == 0) CountSuccess(pszOperation, true, nKind);
        LogCall(pszOperation, strArgs, nError);
    }
    SetLastError(nError);
    return nError == 0 ? TRUE : FALSE;
}

BOOL Simulator::GetTransferInfo(Dword nItem, DWORD* pdwValue, DWORD cbSize) {
    return Run("IvroGetTransferInfo", true, nItem,
               "item=" + std::to_string(nItem) + " size=" + std::to_string(cbSize),
               [&](DeviceState&) {
                   if (nItem > 5 || !pdwValue) return kErrInvalidParameter;
                   if (cbSize < sizeof(DWORD)) return kErrInsufficientBuffer;
                   *pdwValue = m_transfer.m_anItems[nItem];
                   return Dword(0);
               });
}

}  // namespace tmsim

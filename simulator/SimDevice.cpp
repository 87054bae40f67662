#include "simulator/SimDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace tmsim {

namespace {

const char kProfileFileName[] = "TmIvro.profile";

void AppendToFile(const fs::path& path, const std::string& strText) {
    std::ofstream out(path, std::ios::out | std::ios::app | std::ios::binary);
    out << strText;
}

bool EnvironmentPath(const char* pszName, fs::path& path) {
#ifdef _WIN32
    // The process environment, not the C runtime's copy taken at start-up.
    std::wstring strName(pszName, pszName + std::char_traits<char>::length(pszName));
    std::vector<wchar_t> buffer(32768);
    DWORD dwLength =
        GetEnvironmentVariableW(strName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (dwLength == 0 || dwLength >= buffer.size()) return false;
    path = fs::path(std::wstring(buffer.data(), dwLength));
    return true;
#else
    const char* pszValue = std::getenv(pszName);
    if (!pszValue || !*pszValue) return false;
    path = fs::path(pszValue);
    return true;
#endif
}

#ifdef _WIN32
const int s_nModuleAnchor = 0;

// "TmIvro.profile" in the folder of this DLL.
bool ModuleProfilePath(fs::path& path) {
    HMODULE hModule = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&s_nModuleAnchor), &hModule)) {
        return false;
    }
    std::vector<wchar_t> buffer(32768);
    DWORD dwLength = GetModuleFileNameW(hModule, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (dwLength == 0 || dwLength >= buffer.size()) return false;
    path = fs::path(std::wstring(buffer.data(), dwLength));
    path.replace_filename(kProfileFileName);
    return true;
}
#endif

bool Matches(const FaultSpec& spec, const char* pszOperation, bool bHasItem, Dword nItem) {
    if (spec.m_strOperation != "*" && spec.m_strOperation != pszOperation) return false;
    return spec.m_nItem == kAnyItem || (bHasItem && spec.m_nItem == nItem);
}

}  // namespace

std::string PathText(const fs::path& path) {
#ifdef _WIN32
    return WideToUtf8(path.wstring());
#else
    return path.string();
#endif
}

Simulator& Simulator::Instance() {
    static Simulator s_simulator;
    return s_simulator;
}

void Simulator::Prepare() {
    EnsureInitialized();
    CheckReload();
    UpdateDrift();
}

void Simulator::EnsureInitialized() {
    if (m_bInitialized) return;
    m_bInitialized = true;
    ReadLogPaths();
    fs::path path;
    if (EnvironmentPath("TMIVRO_PROFILE", path)) {
        LoadFileLocked(path);
        return;
    }
#ifdef _WIN32
    std::error_code error;
    if (ModuleProfilePath(path) && fs::exists(path, error)) {
        LoadFileLocked(path);
        return;
    }
#endif
    LoadTextLocked(DefaultProfileText(), "<default>");
}

// Control calls that replace the profile skip the start-up profile search.
void Simulator::MarkInitialized() {
    if (m_bInitialized) return;
    m_bInitialized = true;
    ReadLogPaths();
}

void Simulator::ReadLogPaths() {
    m_bCallLogFile = EnvironmentPath("TMIVRO_LOG", m_callLogPath);
    m_bSimLogFile = EnvironmentPath("TMIVRO_SIMLOG", m_simLogPath);
}

void Simulator::Install(const DeviceState& state, const std::vector<ProfileEntry>& entries) {
    m_state = state;
    m_faults.clear();
    TakeFaults(m_state.m_faults, true);
    m_entries = entries;
    m_bPresent = true;
    m_strLastError.clear();
    m_lastDrift = std::chrono::steady_clock::now();
}

void Simulator::SetAbsent(const std::string& strErrors, const std::string& strName) {
    m_bPresent = false;
    m_faults.clear();
    m_entries.clear();
    m_strLastError = strErrors;
    Report(strErrors + "\nprofile " + strName +
               " rejected: the device is absent (every operation fails with error 2)",
           true);
}

bool Simulator::LoadTextLocked(const std::string& strText, const std::string& strName) {
    DeviceState state = DefaultState();
    std::vector<ProfileEntry> entries;
    std::vector<ProfileError> errors;
    if (!ParseProfile(strText, strName, state, entries, errors)) {
        SetAbsent(FormatErrors(errors), strName);
        return false;
    }
    Install(state, entries);
    Report("profile " + strName + " loaded, device type " + std::to_string(m_state.m_nType), false);
    return true;
}

bool Simulator::LoadFileLocked(const fs::path& path) {
    m_bWatch = true;
    m_watchPath = path;
    m_stamp = StampOf(path);
    m_lastCheck = std::chrono::steady_clock::now();
    std::string strText, strReason;
    std::string strName = Printable(PathText(path));
    if (!ReadProfileFile(path, strText, strReason)) {
        SetAbsent("cannot read " + strName + ": " + strReason, strName);
        return false;
    }
    return LoadTextLocked(strText, strName);
}

Simulator::FileStamp Simulator::StampOf(const fs::path& path) {
    FileStamp stamp;
    std::error_code error;
    fs::file_time_type time = fs::last_write_time(path, error);
    if (error) return stamp;
    stamp.m_bExists = true;
    stamp.m_time = time;
    uintmax_t nSize = fs::file_size(path, error);
    stamp.m_nSize = error ? 0 : nSize;
    return stamp;
}

void Simulator::CheckReload() {
    if (!m_bWatch) return;
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastCheck < kWatchInterval) return;
    m_lastCheck = now;
    FileStamp stamp = StampOf(m_watchPath);
    if (stamp == m_stamp) return;
    m_stamp = stamp;
    Reload();
}

// A changed file: only the lines whose values changed (or that are new) are
// applied, so values set at run time through the operations or TmSimSet stay
// unless the file speaks about them anew. A bad file leaves the running device
// as it is.
void Simulator::Reload() {
    std::string strName = Printable(PathText(m_watchPath));
    std::string strText, strReason;
    if (!ReadProfileFile(m_watchPath, strText, strReason)) {
        m_strLastError = "cannot read " + strName + ": " + strReason;
        Report(m_strLastError + "\nreload skipped: keeping the previous values", true);
        return;
    }
    if (!m_bPresent) {
        LoadTextLocked(strText, strName);
        return;
    }
    DeviceState scratch = DefaultState();
    std::vector<ProfileEntry> entries;
    std::vector<ProfileError> errors;
    if (!ParseProfile(strText, strName, scratch, entries, errors)) {
        m_strLastError = FormatErrors(errors);
        Report(m_strLastError + "\nreloaded profile " + strName +
                   " rejected: keeping the previous values",
               true);
        return;
    }
    std::map<std::string, std::string> previous;
    std::vector<std::string> previousFaults;
    for (const ProfileEntry& entry : m_entries) {
        if (entry.m_strKey.compare(0, 7, "faults.") == 0) {
            previousFaults.push_back(entry.m_strKey + "=" + entry.m_strValue);
        } else {
            previous[entry.m_strKey] = entry.m_strValue;
        }
    }
    std::vector<std::string> faults;
    for (const ProfileEntry& entry : entries) {
        if (entry.m_strKey.compare(0, 7, "faults.") == 0) {
            faults.push_back(entry.m_strKey + "=" + entry.m_strValue);
            continue;
        }
        auto it = previous.find(entry.m_strKey);
        if (it != previous.end() && it->second == entry.m_strValue) continue;
        std::string strReason;
        ApplyKey(m_state, entry.m_strKey, entry.m_strValue, strReason);
    }
    if (faults != previousFaults) {
        std::vector<Fault> kept;
        for (const Fault& fault : m_faults) {
            if (!fault.m_bFromProfile) kept.push_back(fault);
        }
        m_faults = kept;
        TakeFaults(scratch.m_faults, true);
    }
    m_entries = entries;
    m_strLastError.clear();
    Report("profile " + strName + " reloaded", false);
}

void Simulator::UpdateDrift() {
    auto now = std::chrono::steady_clock::now();
    if (m_state.m_nDrift <= 0) {
        m_lastDrift = now;
        return;
    }
    auto interval = std::chrono::milliseconds(m_state.m_nDriftInterval);
    std::uniform_int_distribution<int> step(-1, 1);
    for (int i = 0; i < 16 && now - m_lastDrift >= interval; ++i) {
        m_lastDrift += interval;
        m_state.m_nCpuDrift = std::clamp<int64_t>(m_state.m_nCpuDrift + step(m_random),
                                                  -m_state.m_nDrift, m_state.m_nDrift);
        m_state.m_nIoDrift = std::clamp<int64_t>(m_state.m_nIoDrift + step(m_random),
                                                 -m_state.m_nDrift, m_state.m_nDrift);
    }
    if (now - m_lastDrift >= interval) m_lastDrift = now;
}

void Simulator::TakeFaults(std::vector<FaultSpec>& faults, bool bFromProfile) {
    for (const FaultSpec& spec : faults) {
        Fault fault;
        fault.m_spec = spec;
        fault.m_bFromProfile = bFromProfile;
        m_faults.push_back(fault);
    }
    faults.clear();
}

Dword Simulator::CheckFaults(const char* pszOperation, bool bHasItem, Dword nItem) {
    if (!m_bPresent) return kErrFileNotFound;
    for (Fault& fault : m_faults) {
        const FaultSpec& spec = fault.m_spec;
        if (!Matches(spec, pszOperation, bHasItem, nItem)) continue;
        if (spec.m_nTimes != 0 && fault.m_nFired >= spec.m_nTimes) continue;
        if (fault.m_nSuccesses < spec.m_nAfter) continue;
        ++fault.m_nFired;
        return spec.m_nError;
    }
    return 0;
}

void Simulator::CountSuccess(const char* pszOperation, bool bHasItem, Dword nItem) {
    for (Fault& fault : m_faults) {
        if (fault.m_nSuccesses < fault.m_spec.m_nAfter &&
            Matches(fault.m_spec, pszOperation, bHasItem, nItem)) {
            ++fault.m_nSuccesses;
        }
    }
}

void Simulator::LogCall(const char* pszOperation, const std::string& strArgs, Dword nError) {
    std::string strLine = pszOperation;
    if (!strArgs.empty()) strLine += " " + strArgs;
    strLine += nError == 0 ? " -> 1" : " -> 0";
    strLine += " error=" + std::to_string(nError);
    if (m_callLog.size() >= kMaxLogLines) m_callLog.pop_front();
    m_callLog.push_back(strLine);
    if (m_bCallLogFile) AppendToFile(m_callLogPath, strLine + "\n");
}

void Simulator::Report(const std::string& strMessage, bool bProblem) {
    std::string strText;
    std::istringstream lines(strMessage);
    std::string strLine;
    while (std::getline(lines, strLine)) strText += "TmIvro: " + strLine + "\n";
    if (m_bSimLogFile) AppendToFile(m_simLogPath, strText);
    if (!bProblem) return;
#ifdef _WIN32
    std::wstring strWide;
    if (Utf8ToWide(strText, strWide)) OutputDebugStringW(strWide.c_str());
#else
    std::fputs(strText.c_str(), stderr);
#endif
}

void Simulator::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bInitialized = true;
    m_bWatch = false;
    ReadLogPaths();
    Install(DefaultState(), {});
    m_callLog.clear();
    // A transfer that runs on keeps its claim on the device.
    bool bRunning = m_transfer.m_bRunning;
    m_transfer = TransferInfo();
    m_transfer.m_bRunning = bRunning;
}

bool Simulator::LoadText(const std::string& strText) {
    std::lock_guard<std::mutex> lock(m_mutex);
    MarkInitialized();
    m_bWatch = false;
    return LoadTextLocked(strText, "<text>");
}

bool Simulator::LoadFile(const fs::path& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    MarkInitialized();
    return LoadFileLocked(path);
}

bool Simulator::Set(const std::string& strKey, const std::string& strValue) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Prepare();
    if (!m_bPresent) {
        m_strLastError = "TmSimSet " + strKey + ": the device is absent (no valid profile)";
        return false;
    }
    std::string strReason;
    if (!ApplyKey(m_state, strKey, strValue, strReason)) {
        m_strLastError = "TmSimSet " + strKey + ": " + strReason;
        return false;
    }
    TakeFaults(m_state.m_faults, false);
    return true;
}

bool Simulator::Get(const std::string& strKey, std::string& strValue) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Prepare();
    if (!m_bPresent) {
        m_strLastError = "TmSimGet " + strKey + ": the device is absent (no valid profile)";
        return false;
    }
    if (!FormatKey(m_state, strKey, strValue)) {
        m_strLastError = "TmSimGet: unknown key '" + strKey + "'";
        return false;
    }
    return true;
}

bool Simulator::InjectFault(const FaultSpec& fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    EnsureInitialized();
    const OperationInfo* pOp = FindOperation(fault.m_strOperation);
    if (!pOp && fault.m_strOperation != "*") {
        m_strLastError = "TmSimInjectFault: unknown operation '" + fault.m_strOperation + "'";
        return false;
    }
    if (fault.m_nError == 0) {
        m_strLastError = "TmSimInjectFault: the error code must not be 0";
        return false;
    }
    if (pOp && !pOp->m_bHasItem && fault.m_nItem != kAnyItem) {
        m_strLastError = "TmSimInjectFault: " + fault.m_strOperation + " takes no item";
        return false;
    }
    std::vector<FaultSpec> faults{fault};
    TakeFaults(faults, false);
    return true;
}

void Simulator::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

std::string Simulator::CallLogText() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string strText;
    for (const std::string& strLine : m_callLog) strText += strLine + "\n";
    return strText;
}

void Simulator::ClearCallLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callLog.clear();
}

std::string Simulator::LastError() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastError;
}

bool Simulator::IsPresent() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Prepare();
    return m_bPresent;
}

}  // namespace tmsim

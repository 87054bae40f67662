// Fake registry: keys below the predefined roots, kept in memory. Registry
// functions return their error code and leave the thread's last error alone,
// as advapi32 does.
#include "FakeInternal.h"

#include <algorithm>
#include <cstring>
#include <map>

using namespace fakeplat::detail;

namespace {

struct RegValue {
    std::wstring strName;
    DWORD dwType = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKeyNode {
    std::wstring strName;  // last path component as created
    std::vector<RegValue> values;
    FILETIME ftLastWrite{};
};

struct OpenKey {
    std::wstring strKey;  // upper-case full key "<root id>\\PATH"
    REGSAM sam = 0;
    HKEY hRoot = nullptr;
    std::wstring strShown;  // path below the root as opened
};

// Full key names are "<root id>\\<path>" in upper case; the root ids are the
// low digits of the predefined handles.
std::map<std::wstring, RegKeyNode> g_keys;
std::map<HKEY, OpenKey> g_openKeys;
std::map<std::wstring, LONG> g_failOpen;
std::map<std::pair<std::wstring, std::wstring>, LONG> g_failQuery;
std::vector<fakeplat::RegOpenCall> g_openCalls;
std::vector<fakeplat::RegQueryCall> g_queryCalls;

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                       HKEY_CURRENT_CONFIG};

bool IsRoot(HKEY h) {
    for (HKEY r : kRoots)
        if (r == h) return true;
    return false;
}

std::wstring RootId(HKEY h) {
    return L"#" + std::to_wstring(static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(h) & 0xF));
}

// Splits a subkey path into its components. A leading backslash is invalid;
// empty components (doubled or trailing separators) are skipped.
bool SplitPath(const std::wstring& strPath, std::vector<std::wstring>& parts) {
    if (!strPath.empty() && strPath[0] == L'\\') return false;
    std::wstring cur;
    for (wchar_t ch : strPath) {
        if (ch == L'\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return true;
}

std::wstring Join(const std::wstring& strBase, const std::vector<std::wstring>& parts) {
    std::wstring str = strBase;
    for (const auto& p : parts) str += L"\\" + p;
    return str;
}

// Creates the key and its parents; returns the node.
RegKeyNode& EnsureKeyLocked(HKEY hRoot, const std::wstring& strPath) {
    std::vector<std::wstring> parts;
    SplitPath(strPath, parts);
    std::wstring strKey = RootId(hRoot);
    RegKeyNode* pNode = &g_keys[strKey];
    for (const auto& p : parts) {
        strKey += L"\\" + Upper(p);
        pNode = &g_keys[strKey];
        if (pNode->strName.empty()) {
            pNode->strName = p;
            pNode->ftLastWrite = ToFileTime(NowFileTimeLocked());
        }
    }
    return *pNode;
}

std::wstring KeyNameOf(HKEY hRoot, const std::wstring& strPath) {
    std::vector<std::wstring> parts;
    SplitPath(strPath, parts);
    return Upper(Join(RootId(hRoot), parts));
}

REGSAM MapAccess(REGSAM sam) {
    if (sam & (GENERIC_ALL | MAXIMUM_ALLOWED)) sam |= KEY_ALL_ACCESS;
    if (sam & GENERIC_READ) sam |= KEY_READ;
    if (sam & GENERIC_WRITE) sam |= KEY_WRITE;
    return sam;
}

// Resolves a handle to its key; predefined roots have every right.
LONG ResolveLocked(HKEY hKey, std::wstring& strKey, REGSAM& sam) {
    if (IsRoot(hKey)) {
        strKey = RootId(hKey);
        sam = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    auto it = g_openKeys.find(hKey);
    if (it == g_openKeys.end()) return ERROR_INVALID_HANDLE;
    strKey = it->second.strKey;
    sam = it->second.sam;
    if (!g_keys.count(strKey)) return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

std::vector<std::pair<std::wstring, RegKeyNode*>> ChildrenLocked(const std::wstring& strKey) {
    std::vector<std::pair<std::wstring, RegKeyNode*>> children;
    const std::wstring strPrefix = strKey + L"\\";
    for (auto it = g_keys.lower_bound(strPrefix);
         it != g_keys.end() && it->first.compare(0, strPrefix.size(), strPrefix) == 0; ++it) {
        if (it->first.find(L'\\', strPrefix.size()) == std::wstring::npos)
            children.emplace_back(it->first, &it->second);
    }
    return children;
}

RegValue* FindValueLocked(RegKeyNode& node, const std::wstring& strName) {
    for (auto& v : node.values)
        if (EqualNoCase(v.strName, strName)) return &v;
    return nullptr;
}

LONG OpenKeyLocked(HKEY hKey, const std::wstring& strSubKey, REGSAM samDesired, PHKEY phkResult) {
    std::wstring strBase;
    REGSAM samParent = 0;
    LONG lResult = ResolveLocked(hKey, strBase, samParent);
    std::vector<std::wstring> parts;
    const bool bPathOk = SplitPath(strSubKey, parts);
    const std::wstring strKey = Upper(Join(strBase, parts));
    // The path below the root as the caller spelled it, for the call log.
    std::wstring strShown;
    auto parent = g_openKeys.find(hKey);
    if (parent != g_openKeys.end()) strShown = parent->second.strShown;
    for (const auto& p : parts) strShown += (strShown.empty() ? L"" : L"\\") + p;
    HKEY hRoot =
        IsRoot(hKey) ? hKey : (parent != g_openKeys.end() ? parent->second.hRoot : nullptr);

    if (lResult == ERROR_SUCCESS && !bPathOk) lResult = ERROR_BAD_PATHNAME;
    if (lResult == ERROR_SUCCESS) {
        auto fail = g_failOpen.find(strKey);
        if (fail != g_failOpen.end())
            lResult = fail->second;
        else if (!g_keys.count(strKey))
            lResult = ERROR_FILE_NOT_FOUND;
    }
    if (hRoot) g_openCalls.push_back({hRoot, strShown, samDesired, lResult});
    if (lResult != ERROR_SUCCESS) {
        *phkResult = nullptr;
        return lResult;
    }
    auto h = reinterpret_cast<HKEY>(NextHandleValueLocked());
    g_openKeys[h] = OpenKey{strKey, MapAccess(samDesired), hRoot, strShown};
    *phkResult = h;
    return ERROR_SUCCESS;
}

// Copies a value's bytes with the usual size protocol.
LONG CopyData(const std::vector<BYTE>& data, LPBYTE lpData, LPDWORD lpcbData) {
    const auto cb = static_cast<DWORD>(data.size());
    if (!lpcbData) return ERROR_SUCCESS;
    if (!lpData) {
        *lpcbData = cb;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < cb) {
        *lpcbData = cb;
        return ERROR_MORE_DATA;
    }
    if (cb) std::memcpy(lpData, data.data(), cb);
    *lpcbData = cb;
    return ERROR_SUCCESS;
}

LONG QueryValueLocked(HKEY hKey, const std::wstring& strName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData, RegValue& found) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    std::wstring strKey;
    REGSAM sam = 0;
    const LONG lResult = ResolveLocked(hKey, strKey, sam);
    if (lResult != ERROR_SUCCESS) return lResult;
    if (IsRoot(hKey)) {
        g_queryCalls.push_back({hKey, L"", strName});
    } else {
        const OpenKey& open = g_openKeys[hKey];
        g_queryCalls.push_back({open.hRoot, open.strShown, strName});
    }
    if (!(sam & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto fail = g_failQuery.find({strKey, Upper(strName)});
    if (fail != g_failQuery.end()) return fail->second;
    RegValue* pValue = FindValueLocked(g_keys[strKey], strName);
    if (!pValue) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = pValue->dwType;
    found = *pValue;
    return ERROR_SUCCESS;
}

bool IsStringType(DWORD dwType) {
    return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
}

}  // namespace

namespace fakeplat {
namespace detail {

void ResetRegistryLocked() {
    g_keys.clear();
    g_openKeys.clear();
    g_failOpen.clear();
    g_failQuery.clear();
    g_openCalls.clear();
    g_queryCalls.clear();
    for (HKEY r : kRoots) g_keys[RootId(r)] = RegKeyNode{};
}

}  // namespace detail

void SetRegValue(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName, DWORD dwType,
                 std::vector<BYTE> data) {
    Lock lock(StateMutex());
    RegKeyNode& node = EnsureKeyLocked(hRoot, strPath);
    RegValue* pValue = FindValueLocked(node, strName);
    if (!pValue) {
        node.values.push_back(RegValue{strName, dwType, {}});
        pValue = &node.values.back();
    }
    pValue->dwType = dwType;
    pValue->data = std::move(data);
    node.ftLastWrite = ToFileTime(NowFileTimeLocked());
}

void SetRegDword(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                 DWORD dwValue) {
    std::vector<BYTE> data(sizeof(DWORD));
    std::memcpy(data.data(), &dwValue, sizeof(DWORD));
    SetRegValue(hRoot, strPath, strName, REG_DWORD, std::move(data));
}

void SetRegString(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                  const std::wstring& strValue, DWORD dwType) {
    std::vector<BYTE> data((strValue.size() + 1) * sizeof(WCHAR));
    std::memcpy(data.data(), strValue.c_str(), data.size());
    SetRegValue(hRoot, strPath, strName, dwType, std::move(data));
}

void SetRegBinary(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                  std::vector<BYTE> data) {
    SetRegValue(hRoot, strPath, strName, REG_BINARY, std::move(data));
}

void CreateRegKey(HKEY hRoot, const std::wstring& strPath) {
    Lock lock(StateMutex());
    EnsureKeyLocked(hRoot, strPath);
}

void DeleteRegKey(HKEY hRoot, const std::wstring& strPath) {
    Lock lock(StateMutex());
    const std::wstring strKey = KeyNameOf(hRoot, strPath);
    if (strKey == RootId(hRoot)) return;  // roots stay
    g_keys.erase(strKey);
    const std::wstring strPrefix = strKey + L"\\";
    auto it = g_keys.lower_bound(strPrefix);
    while (it != g_keys.end() && it->first.compare(0, strPrefix.size(), strPrefix) == 0)
        it = g_keys.erase(it);
}

void DeleteRegValue(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName) {
    Lock lock(StateMutex());
    auto it = g_keys.find(KeyNameOf(hRoot, strPath));
    if (it == g_keys.end()) return;
    auto& values = it->second.values;
    for (auto v = values.begin(); v != values.end(); ++v) {
        if (EqualNoCase(v->strName, strName)) {
            values.erase(v);
            return;
        }
    }
}

void FailRegOpen(HKEY hRoot, const std::wstring& strPath, LONG lError) {
    Lock lock(StateMutex());
    if (lError)
        g_failOpen[KeyNameOf(hRoot, strPath)] = lError;
    else
        g_failOpen.erase(KeyNameOf(hRoot, strPath));
}

void FailRegQuery(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                  LONG lError) {
    Lock lock(StateMutex());
    const auto key = std::make_pair(KeyNameOf(hRoot, strPath), Upper(strName));
    if (lError)
        g_failQuery[key] = lError;
    else
        g_failQuery.erase(key);
}

int OpenRegKeyCount() {
    Lock lock(StateMutex());
    return static_cast<int>(g_openKeys.size());
}

std::vector<RegOpenCall> RegOpenCalls() {
    Lock lock(StateMutex());
    return g_openCalls;
}

std::vector<RegQueryCall> RegQueryCalls() {
    Lock lock(StateMutex());
    return g_queryCalls;
}

}  // namespace fakeplat

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult) {
    if (!phkResult || (ulOptions & ~static_cast<DWORD>(REG_OPTION_OPEN_LINK)))
        return ERROR_INVALID_PARAMETER;
    Lock lock(StateMutex());
    return OpenKeyLocked(hKey, lpSubKey ? lpSubKey : L"", samDesired, phkResult);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult) {
    const std::wstring strSubKey = FromNarrow(lpSubKey);
    return RegOpenKeyExW(hKey, lpSubKey ? strSubKey.c_str() : nullptr, ulOptions, samDesired,
                         phkResult);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (IsRoot(hKey)) return ERROR_SUCCESS;
    Lock lock(StateMutex());
    return g_openKeys.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    Lock lock(StateMutex());
    RegValue value;
    const LONG lResult = QueryValueLocked(hKey, lpValueName ? lpValueName : L"", lpReserved, lpType,
                                          lpData, lpcbData, value);
    if (lResult != ERROR_SUCCESS) return lResult;
    return CopyData(value.data, lpData, lpcbData);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    Lock lock(StateMutex());
    RegValue value;
    const LONG lResult = QueryValueLocked(hKey, FromNarrow(lpValueName), lpReserved, lpType, lpData,
                                          lpcbData, value);
    if (lResult != ERROR_SUCCESS) return lResult;
    if (IsStringType(value.dwType)) {
        // One ANSI byte per stored character (Latin-1; others become '?').
        std::vector<BYTE> ansi;
        for (size_t i = 0; i + sizeof(WCHAR) <= value.data.size(); i += sizeof(WCHAR)) {
            WCHAR wc;
            std::memcpy(&wc, value.data.data() + i, sizeof(WCHAR));
            ansi.push_back(static_cast<uint32_t>(wc) <= 0xFF ? static_cast<BYTE>(wc) : BYTE('?'));
        }
        return CopyData(ansi, lpData, lpcbData);
    }
    return CopyData(value.data, lpData, lpcbData);
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    Lock lock(StateMutex());
    std::wstring strKey;
    REGSAM sam = 0;
    const LONG lResult = ResolveLocked(hKey, strKey, sam);
    if (lResult != ERROR_SUCCESS) return lResult;
    if (!(sam & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    const auto children = ChildrenLocked(strKey);
    if (dwIndex >= children.size()) return ERROR_NO_MORE_ITEMS;
    const RegKeyNode& node = *children[dwIndex].second;
    if (!CopyToBuffer(node.strName, lpName, *lpcchName)) return ERROR_MORE_DATA;
    if (lpClass && lpcchClass && *lpcchClass) {
        lpClass[0] = L'\0';
        *lpcchClass = 0;
    }
    *lpcchName = static_cast<DWORD>(node.strName.size());
    if (lpftLastWriteTime) *lpftLastWriteTime = node.ftLastWrite;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    Lock lock(StateMutex());
    std::wstring strKey;
    REGSAM sam = 0;
    const LONG lResult = ResolveLocked(hKey, strKey, sam);
    if (lResult != ERROR_SUCCESS) return lResult;
    if (!(sam & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const auto& values = g_keys[strKey].values;
    if (dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& value = values[dwIndex];
    if (!CopyToBuffer(value.strName, lpValueName, *lpcchValueName)) return ERROR_MORE_DATA;
    *lpcchValueName = static_cast<DWORD>(value.strName.size());
    if (lpType) *lpType = value.dwType;
    return CopyData(value.data, lpData, lpcbData);
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    Lock lock(StateMutex());
    std::wstring strKey;
    REGSAM sam = 0;
    const LONG lResult = ResolveLocked(hKey, strKey, sam);
    if (lResult != ERROR_SUCCESS) return lResult;
    if (!(sam & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const RegKeyNode& node = g_keys[strKey];
    const auto children = ChildrenLocked(strKey);
    DWORD nMaxSub = 0, nMaxName = 0, nMaxData = 0;
    for (const auto& c : children)
        nMaxSub = std::max<DWORD>(nMaxSub, static_cast<DWORD>(c.second->strName.size()));
    for (const auto& v : node.values) {
        nMaxName = std::max<DWORD>(nMaxName, static_cast<DWORD>(v.strName.size()));
        nMaxData = std::max<DWORD>(nMaxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = L'\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(children.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = nMaxSub;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(node.values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = nMaxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = nMaxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = node.ftLastWrite;
    return ERROR_SUCCESS;
}

// The fake platform's Win32 buffer and error conventions: the application's
// size checks are written against them, and a fake that differs would let
// them pass natively and fail on Windows.
#include "platform/fake/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { fakeplat::Reset(); }
};

TEST_F(PlatformTest, RegistryIsCaseInsensitiveAndCountsStringBytesWithTerminator) {
    fakeplat::SetRegString(HKEY_CURRENT_USER, L"Control Panel\\IVRO", L"UseWmi", L"1");
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"control panel\\ivro", 0, KEY_QUERY_VALUE, &hKey));
    DWORD dwType = 0, dwValue = 0, cb = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(hKey, L"usewmi", nullptr, &dwType, nullptr, &cb));
    EXPECT_EQ(DWORD(REG_SZ), dwType);
    EXPECT_EQ(2 * sizeof(WCHAR), cb);
    cb = sizeof(WCHAR);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(hKey, L"UseWmi", nullptr, &dwType,
                                                reinterpret_cast<LPBYTE>(&dwValue), &cb));
    EXPECT_EQ(2 * sizeof(WCHAR), cb);
    char szAnsi[8] = {};
    cb = sizeof(szAnsi);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(hKey, "UseWmi", nullptr, &dwType,
                                              reinterpret_cast<LPBYTE>(szAnsi), &cb));
    EXPECT_STREQ("1", szAnsi);
    EXPECT_EQ(2u, cb);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hKey));
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
}

TEST_F(PlatformTest, FilesSharingReplacementAndRedirectionAsOnWindows) {
    // A file open without delete sharing cannot be replaced; a replaced one
    // keeps its attributes.
    wchar_t szTemp[MAX_PATH] = {};
    ASSERT_NE(0u, GetTempFileNameW(L"C:\\Users\\user\\", L"rep", 0, szTemp));
    fakeplat::AddFile(L"C:\\old.txt", std::string("old"), FILE_ATTRIBUTE_HIDDEN);
    fakeplat::AddFile(szTemp, std::string("new"));
    HANDLE h = CreateFileW(L"C:\\old.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReplaceFileW(L"C:\\old.txt", szTemp, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(h);
    EXPECT_TRUE(ReplaceFileW(L"C:\\old.txt", szTemp, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_HIDDEN), GetFileAttributesW(L"C:\\old.txt"));
    EXPECT_FALSE(fakeplat::FileContents(szTemp).has_value());

    // A full disk takes what fits.
    fakeplat::FailWriteFile(L"C:\\full.txt", 5, ERROR_DISK_FULL);
    h = CreateFileW(L"C:\\full.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD cbWritten = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &cbWritten, nullptr));
    EXPECT_FALSE(WriteFile(h, "defg", 4, &cbWritten, nullptr));
    EXPECT_EQ(DWORD(ERROR_DISK_FULL), GetLastError());
    EXPECT_EQ(2u, cbWritten);
    CloseHandle(h);

    // A 32-bit program on 64-bit Windows.
    fakeplat::AddFile(L"C:\\Windows\\System32\\Drivers\\a.sys", std::string("64"));
    fakeplat::SetWow64(true);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW(L"C:\\Windows\\system32\\Drivers\\a.sys"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW(L"C:\\Windows\\Sysnative\\Drivers\\a.sys"));
}

TEST_F(PlatformTest, StringQueriesUseTheirOwnSizeConventions) {
    WCHAR sz[32];
    EXPECT_EQ(10u, GetWindowsDirectoryW(sz, 32));
    EXPECT_EQ(11u, GetWindowsDirectoryW(sz, 10));  // needed size with terminator
    DWORD n = 7;                                   // "PANEL01" needs 8
    EXPECT_FALSE(GetComputerNameW(sz, &n));
    EXPECT_EQ(DWORD(ERROR_BUFFER_OVERFLOW), GetLastError());
    EXPECT_EQ(8u, n);
    EXPECT_TRUE(GetComputerNameW(sz, &n));
    EXPECT_EQ(7u, n);  // without terminator
    n = 32;
    EXPECT_TRUE(GetUserNameW(sz, &n));
    EXPECT_EQ(5u, n);  // with terminator

    // The Windows runtime writes a two-digit day.
    SYSTEMTIME st{2026, 3, 0, 1, 23, 30, 0, 0};
    fakeplat::SetNow(st);
    fakeplat::SetTimeZoneBias(-120);  // two hours east: already 2 March
    time_t now = 0;
    _time64(&now);
    EXPECT_STREQ(L"Mon Mar 02 01:30:00 2026\n", _wctime64(&now));
}

}  // namespace

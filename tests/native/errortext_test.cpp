// System texts, status words and the device-error message.
#include "AppletTestEnv.h"
#include "applet/DeviceText.h"
#include "applet/ErrorText.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {

using ErrorTextTest = AppletTest;

TEST_F(ErrorTextTest, TimeoutsShareTextAndStatusWord) {
    std::wstring text121 = GetSystemErrorText(ERROR_SEM_TIMEOUT);
    EXPECT_EQ(L"This operation returned because the timeout period expired.", text121);
    EXPECT_EQ(text121, GetSystemErrorText(ERROR_TIMEOUT));

    const std::pair<DWORD, const wchar_t*> words[] = {
        {121, L"Timeout"}, {1460, L"Timeout"}, {2, L"(keine)"}, {50, L"(keine)"},
        {120, L"(keine)"}, {1168, L"(keine)"}, {170, L"Busy"},  {0, L"Fehler"},
        {1, L"Fehler"},    {5, L"Fehler"},     {87, L"Fehler"}, {1223, L"Fehler"}};
    for (const auto& [dwError, pszWord] : words)
        EXPECT_EQ(pszWord, LoadStatusWord(dwError).Str()) << dwError;
}

TEST_F(ErrorTextTest, SystemTextLosesItsLineEndAndFitsItsBuffer) {
    // The last one is exactly as long as the buffer: cut to leave room for the terminator.
    const std::pair<std::wstring, std::wstring> texts[] = {
        {L"Text with CR LF.\r\n", L"Text with CR LF."},
        {L"Only LF\n", L"Only LF"},
        {L"Only CR\r", L"Only CR"},
        {L"\r\n", L""},
        {std::wstring(1024, L'x'), std::wstring(1023, L'x')}};
    DWORD dwCode = 7001;
    for (const auto& [strSystem, strShown] : texts) {
        fakeplat::SetSystemMessage(dwCode, strSystem);
        EXPECT_EQ(strShown, GetSystemErrorText(dwCode++));
    }

    // No text for a code: empty, not the previous caller's text.
    GetSystemErrorText(7001);
    EXPECT_STREQ(L"", GetSystemErrorText(0xDEAD));
    EXPECT_EQ(0, fakeplat::LocalAllocCount());
}

TEST_F(ErrorTextTest, DeviceErrorMessageNamesTheReasonOfTheLastError) {
    CCplApp& app = LoadModule();
    app.SetAppName(L"Control Center (Marlet)");
    SetLastError(ERROR_SEM_TIMEOUT);
    ShowDeviceError(IDS_CANNOT_SET_BRIGHTNESS);
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(
        L"Die Displayhelligkeit kann nicht eingestellt werden.\n"
        L"This operation returned because the timeout period expired.",
        boxes[0].text);
    EXPECT_EQ(L"Control Center (Marlet)", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[0].type);
}

TEST_F(ErrorTextTest, DeviceTextThatFillsItsBufferIsCutNotOverread) {
    const DWORD cbBuffer = 64;
    const size_t nChars = cbBuffer / sizeof(WCHAR);
    std::string longText = "\"" + std::string(nChars + 20, 'V') + "\"";
    ASSERT_TRUE(TmSimSet("version.21", longText.c_str()));
    CString text;
    EXPECT_TRUE(ReadDeviceText(&IvroGetVersionText, 21, cbBuffer, text));
    EXPECT_EQ(std::wstring(nChars, L'V'), text.Str());

    TmSimSet("version.21", "\"T4.13\"");
    EXPECT_TRUE(ReadDeviceText(&IvroGetVersionText, 21, cbBuffer, text));
    EXPECT_EQ(L"T4.13", text.Str());

    // FPGA1 is absent on the default device: the library's reason stays.
    text = L"old";
    EXPECT_FALSE(ReadDeviceText(&IvroGetVersionText, 3, cbBuffer, text));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
    EXPECT_EQ(L"old", text.Str());
}

}  // namespace

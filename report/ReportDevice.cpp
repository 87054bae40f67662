// The sections about the panel hardware, read through the device-access
// library with the same operations the pages use. Nothing is changed on the
// device.
#include "applet/DeviceText.h"
#include "device/TmIvro.h"
#include "report/Report.h"

using report::AppendHeader;
using report::AppendLine;
using report::LastErrorText;

namespace {

const DWORD kTextBytes = 256 * sizeof(WCHAR);  // 512 bytes on Windows

CString TextOrFailure(DeviceTextProc pfnRead, DWORD dwItem) {
    CString text;
    if (!ReadDeviceText(pfnRead, dwItem, kTextBytes, text)) return LastErrorText();
    return text;
}

CString Formatted(const wchar_t* pszFormat, unsigned nValue) {
    CString text;
    text.Format(pszFormat, nValue);
    return text;
}

const wchar_t* BootStatusText(BYTE bStatus) {
    static const wchar_t* const kTexts[] = {
        L"FPGA firmware not found",
        L"Bad FPGA firmware size (file data corrupted)",
        L"FPGA or Ravla module not found",
        L"Can't enter boot mode",
        L"Boot failed",
        L"Boot OK",
        L"Old FPGA firmware (old version)",
        L"Wrong FPGA file (device mismatch)",
        L"Boot disabled (in BIOS Setup)",
    };
    return bStatus < _countof(kTexts) ? kTexts[bStatus] : L"Unknown";
}

struct CFirmwareUnit {
    const wchar_t* pszHeader;
    DWORD dwInfoItem;
    DWORD dwExtInfoItem;
    DWORD dwSizeItem;
    DWORD dwStatusItem;
};

void AppendFirmwareUnit(CString& rReport, const CFirmwareUnit& unit) {
    AppendHeader(rReport, unit.pszHeader);
    AppendLine(rReport, L"Info: ", TextOrFailure(&IvroGetVersionText, unit.dwInfoItem));
    AppendLine(rReport, L"Extended info: ", TextOrFailure(&IvroGetVersionText, unit.dwExtInfoItem));

    DWORD dwSize = 0;
    AppendLine(rReport, L"Size: ",
               IvroGetFirmwareValue(unit.dwSizeItem, &dwSize, sizeof(dwSize))
                   ? Formatted(L"%u bytes", dwSize)
                   : LastErrorText());

    BYTE bStatus = 0;
    CString status;
    if (IvroGetFirmwareValue(unit.dwStatusItem, &bStatus, sizeof(bStatus)))
        status.Format(L"%u = %ls", static_cast<unsigned>(bStatus), BootStatusText(bStatus));
    else
        status = LastErrorText();
    AppendLine(rReport, L"Boot status: ", status);
}

// One byte of the factory data as "%02Xh"; FALSE with the failure text.
BOOL ReadFactoryByte(DWORD dwItem, CString& rText) {
    BYTE b = 0;
    if (!IvroGetFactoryValue(dwItem, &b, sizeof(b))) {
        rText = LastErrorText();
        return FALSE;
    }
    rText = Formatted(L"%02Xh", b);
    return TRUE;
}

// Minimum, default and maximum; the first failing read ends the triple.
CString FactoryTriple(DWORD dwFirstItem) {
    CString text;
    for (DWORD i = 0; i < 3; ++i) {
        CString value;
        if (!ReadFactoryByte(dwFirstItem + i, value)) return value;
        if (i > 0) text += L" ";
        text += value;
    }
    return text;
}

typedef BOOL(WINAPI* PercentProc)(BYTE* pbPercent);

CString PercentOrFailure(PercentProc pfnRead) {
    BYTE b = 0;
    return pfnRead(&b) ? Formatted(L"%u %%", b) : LastErrorText();
}

// The current value, and only when it could be read its factory and
// default values.
void AppendPercentLine(CString& rReport, const wchar_t* pszLabel, PercentProc pfnCurrent,
                       PercentProc pfnFactory, PercentProc pfnDefault) {
    BYTE b = 0;
    rReport += pszLabel;
    if (pfnCurrent(&b)) {
        rReport += Formatted(L"%u %%", b);
        rReport += L" (factory: " + PercentOrFailure(pfnFactory);
        rReport += L", default: " + PercentOrFailure(pfnDefault) + L")";
    } else {
        rReport += LastErrorText();
    }
    rReport += L"\r\n";
}

}  // namespace

void AppendFirmwareSection(CString& rReport, DWORD nDeviceType) {
    AppendFirmwareUnit(rReport, {L"FPGA Firmware", 0, 4, 8, 12});
    if (nDeviceType == 4) {
        AppendFirmwareUnit(rReport, {L"Ravla Slot 1 Firmware", 1, 5, 9, 13});
        AppendFirmwareUnit(rReport, {L"Ravla Slot 2 Firmware", 2, 6, 10, 14});
    } else if (nDeviceType == 5) {
        AppendFirmwareUnit(rReport, {L"FPGA1 Firmware", 3, 7, 11, 15});
    }
    AppendHeader(rReport, L"Baseboard Firmware");
    AppendLine(rReport, L"KVC version: ", TextOrFailure(&IvroGetVersionText, 17));
    AppendLine(rReport, L"SMC version: ", TextOrFailure(&IvroGetVersionText, 16));
}

void AppendKeyConfigSection(CString& rReport) {
    AppendHeader(rReport, L"Key Configuration");
    DWORD dwValid = 0;
    AppendLine(rReport, L"State: ",
               IvroGetKeyConfigValid(&dwValid) ? CString(dwValid ? L"Valid" : L"Invalid")
                                               : LastErrorText());
    AppendLine(rReport, L"Version: ", TextOrFailure(&IvroGetKeyConfigInfo, 0));
    AppendLine(rReport, L"Build date: ", TextOrFailure(&IvroGetKeyConfigInfo, 1));
    CString userInfo;
    if (!ReadDeviceText(&IvroGetKeyConfigInfo, 2, kTextBytes, userInfo))
        userInfo = LastErrorText();
    else if (userInfo.IsEmpty())
        userInfo = L"(none)";
    AppendLine(rReport, L"User info: ", userInfo);

    // The device's own layer number 0 to 3, not the page's 1 to 4.
    BYTE bLayer = 0;
    CString layer;
    if (IvroGetKeyLayer(&bLayer))
        layer.Format(L"%d", static_cast<int>(bLayer));
    else
        layer = LastErrorText();
    AppendLine(rReport, L"Key layer: ", layer);

    BYTE bMode = 0;
    CString mode;
    if (IvroGetKeyLayerMode(&bMode)) {
        static const wchar_t* const kModes[] = {L"Shift", L"Toggle", L"One-Shot"};
        mode.Format(L"%d = %ls", static_cast<int>(bMode),
                    bMode < _countof(kModes) ? kModes[bMode] : L"Unknown");
    } else {
        mode = LastErrorText();
    }
    AppendLine(rReport, L"Key layer mode: ", mode);
}

void AppendFactorySection(CString& rReport) {
    AppendHeader(rReport, L"Factory Settings");
    BYTE bVersion = 0;
    AppendLine(rReport, L"Version: ",
               IvroGetFactoryValue(1, &bVersion, sizeof(bVersion)) ? Formatted(L"%u", bVersion)
                                                                   : LastErrorText());
    DWORD dwDeviceId = 0;
    AppendLine(rReport, L"Device ID: ",
               IvroGetFactoryValue(2, &dwDeviceId, sizeof(dwDeviceId))
                   ? Formatted(L"%08Xh", static_cast<unsigned>(dwDeviceId))
                   : LastErrorText());
    WORD wCompatibility = 0;
    AppendLine(rReport, L"Compatibility ID: ",
               IvroGetFactoryValue(3, &wCompatibility, sizeof(wCompatibility))
                   ? Formatted(L"%04Xh", wCompatibility)
                   : LastErrorText());
    AppendLine(rReport, L"Model number: ", TextOrFailure(&IvroGetFactoryText, 14));
    AppendLine(rReport, L"Brightness (min/def/max): ", FactoryTriple(5));
    AppendLine(rReport, L"Contrast (min/def/max): ", FactoryTriple(8));

    BYTE settings[256] = {};
    CString dump;
    if (IvroGetFactoryValue(17, settings, sizeof(settings)))
        AppendHexDump(settings, sizeof(settings), dump, TRUE);
    else
        dump = LastErrorText();
    AppendLine(rReport, L"Settings data: ", dump);
}

// A sensor's signed degrees, or why they could not be read.
CString TemperatureText(DWORD nSensor) {
    signed char nDegrees = 0;
    if (!IvroGetTemperature(nSensor, &nDegrees, sizeof(nDegrees))) return LastErrorText();
    CString text;
    text.Format(L"%d \u00B0C", static_cast<int>(nDegrees));
    return text;
}

void AppendTemperaturesSection(CString& rReport) {
    AppendHeader(rReport, L"Temperatures");
    CString cpu = TemperatureText(0);
    // Said also after a failure: it tells which way the value was asked.
    DWORD dwWmi = 0;
    if (IvroGetWmiMode(&dwWmi) && dwWmi) cpu += L" (read via WMI)";
    AppendLine(rReport, L"CPU: ", cpu);
    AppendLine(rReport, L"I/O: ", TemperatureText(1));
}

void AppendSwitchesSection(CString& rReport) {
    AppendHeader(rReport, L"Switches");
    BYTE bModeNode = 0;
    AppendLine(rReport, L"Mode/Node: ",
               IvroGetSwitch(0, &bModeNode, sizeof(bModeNode)) ? Formatted(L"%02Xh", bModeNode)
                                                               : LastErrorText());
    DWORD dwProtect = 0;
    AppendLine(rReport, L"Write Protect: ",
               IvroGetSwitch(1, &dwProtect, sizeof(dwProtect)) ? CString(dwProtect ? L"On" : L"Off")
                                                               : LastErrorText());
}

void AppendDisplaySection(CString& rReport) {
    AppendHeader(rReport, L"Display");
    BYTE bType = 0;
    AppendLine(rReport, L"Type: ",
               IvroGetDisplayType(&bType) ? Formatted(L"%02Xh", bType) : LastErrorText());

    WORD wWidth = 0;
    WORD wHeight = 0;
    CString resolution;
    if (!IvroGetFactoryValue(15, &wWidth, sizeof(wWidth)) ||
        !IvroGetFactoryValue(16, &wHeight, sizeof(wHeight)))
        resolution = LastErrorText();
    else
        resolution.Format(L"%dx%d", static_cast<int>(wWidth), static_cast<int>(wHeight));
    AppendLine(rReport, L"Resolution: ", resolution);

    AppendPercentLine(rReport, L"Brightness: ", &IvroGetBrightness, &IvroGetFactoryBrightness,
                      &IvroGetDefaultBrightness);
    AppendPercentLine(rReport, L"Contrast: ", &IvroGetContrast, &IvroGetFactoryContrast,
                      &IvroGetDefaultContrast);
}

void AppendKeysLedsSection(CString& rReport) {
    AppendHeader(rReport, L"Keys");
    // A failed read leaves the count 0, so the dependent lines are left out.
    BYTE bKeys = 0;
    AppendLine(rReport, L"Count: ",
               IvroGetKeyCount(&bKeys) ? Formatted(L"%u", bKeys) : LastErrorText());
    if (bKeys != 0) {
        DWORD dwEnabled = 0;
        AppendLine(rReport, L"Enabled: ",
                   IvroGetKeyCodesEnabled(&dwEnabled) ? CString(dwEnabled ? L"Yes" : L"No")
                                                      : LastErrorText());
        BYTE bSwitches = 0;
        AppendLine(rReport, L"Switches: ",
                   IvroGetKeySwitches(&bSwitches, sizeof(bSwitches))
                       ? Formatted(L"%02Xh", bSwitches)
                       : LastErrorText());
        BYTE matrix[16] = {};
        CString dump;
        if (IvroGetKeyMatrix(matrix, sizeof(matrix)))
            AppendHexDump(matrix, sizeof(matrix), dump, FALSE);
        else
            dump = LastErrorText();
        AppendLine(rReport, L"Matrix: ", dump);
    }

    AppendHeader(rReport, L"LEDs");
    BYTE bLeds = 0;
    AppendLine(rReport, L"Count: ",
               IvroGetLedCount(&bLeds) ? Formatted(L"%u", bLeds) : LastErrorText());
    if (bLeds == 0) return;
    for (DWORD dwLayer = 0; dwLayer < 4; ++dwLayer) {
        CString label;
        label.Format(L"Matrix, layer %d: ", static_cast<int>(dwLayer + 1));
        BYTE matrix[32] = {};
        CString dump;
        if (IvroGetLedMatrix(dwLayer, matrix, sizeof(matrix)))
            AppendHexDump(matrix, sizeof(matrix), dump, FALSE);
        else
            dump = LastErrorText();
        AppendLine(rReport, label, dump);
    }
}

void AppendRavlaSection(CString& rReport) {
    AppendHeader(rReport, L"Ravla Slot 1");
    AppendLine(rReport, L"Model number: ", TextOrFailure(&IvroGetRavlaText, 2));
    AppendLine(rReport, L"Device ID: ", TextOrFailure(&IvroGetRavlaText, 4));
    AppendHeader(rReport, L"Ravla Slot 2");
    AppendLine(rReport, L"Model number: ", TextOrFailure(&IvroGetRavlaText, 3));
    AppendLine(rReport, L"Device ID: ", TextOrFailure(&IvroGetRavlaText, 5));
}

void AppendUserSection(CString& rReport) {
    AppendHeader(rReport, L"User Boot Logo");
    AppendLine(rReport, L"Info: ", TextOrFailure(&IvroGetUserLogoText, 0));

    WORD wMode = 0;
    CString mode;
    if (IvroGetUserLogoValue(1, &wMode, sizeof(wMode))) {
        const wchar_t* pszName = L"Unknown";
        switch (wMode) {
            case 0x101:
                pszName = L"640x480 pixels (VGA)";
                break;
            case 0x103:
                pszName = L"800x600 pixels (SVGA)";
                break;
            case 0x105:
                pszName = L"1024x768 pixels (XGA)";
                break;
            case 0x121:
                pszName = L"320x240 pixels (QVGA)";
                break;
            default:
                break;
        }
        mode.Format(L"%xh = %ls", static_cast<unsigned>(wMode), pszName);
    } else {
        mode = LastErrorText();
    }
    AppendLine(rReport, L"VGA mode: ", mode);

    DWORD dwSize = 0;
    AppendLine(rReport, L"Size: ",
               IvroGetUserLogoValue(2, &dwSize, sizeof(dwSize))
                   ? Formatted(L"%u bytes", static_cast<unsigned>(dwSize))
                   : LastErrorText());

    AppendHeader(rReport, L"User Settings");
    DWORD dwSerial = 0;
    AppendLine(rReport, L"User serial ID: ",
               IvroGetUserSerialId(&dwSerial) ? Formatted(L"%08Xh", static_cast<unsigned>(dwSerial))
                                              : LastErrorText());
    BYTE bLed = 0;
    CString led;
    if (IvroGetUserLed(&bLed))
        led.Format(L"%d", static_cast<int>(bLed));
    else
        led = LastErrorText();
    AppendLine(rReport, L"User LED: ", led);
}

// report_bench [RUNS]: the time of a full system report (every section) on
// the simulated device, as the median of RUNS runs (default 101), beside
// the median time of the same device calls made bare, so that the report's
// own work shows, and the time of each section. Natively it runs on the fake
// platform's default machine; under Wine on the prefix's Windows with the
// simulator TmIvro.dll.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "applet/CplApp.h"
#include "device/TmIvro.h"
#include "report/Report.h"

#ifndef _WIN32
#include "platform/fake/FakePlatform.h"
#include "simulator/TmIvroSim.h"
#endif

namespace {

// The device calls of a full report in its order, each once, and nothing else.
void DeviceCallsOnly(DWORD nDeviceType) {
    WCHAR szText[256];
    BYTE b = 0;
    WORD w = 0;
    DWORD dw = 0;
    BYTE block[256];
    for (DWORD dwItem : {21u, 23u, 22u}) IvroGetVersionText(dwItem, szText, sizeof(szText));
    std::vector<DWORD> units = {0};
    if (nDeviceType == 4) units = {0, 1, 2};
    if (nDeviceType == 5) units = {0, 3};
    for (DWORD dwUnit : units) {
        IvroGetVersionText(dwUnit, szText, sizeof(szText));
        IvroGetVersionText(4 + dwUnit, szText, sizeof(szText));
        IvroGetFirmwareValue(8 + dwUnit, &dw, sizeof(dw));
        IvroGetFirmwareValue(12 + dwUnit, &b, sizeof(b));
    }
    IvroGetVersionText(17, szText, sizeof(szText));
    IvroGetVersionText(16, szText, sizeof(szText));
    IvroGetKeyConfigValid(&dw);
    for (DWORD dwItem : {0u, 1u, 2u}) IvroGetKeyConfigInfo(dwItem, szText, sizeof(szText));
    IvroGetKeyLayer(&b);
    IvroGetKeyLayerMode(&b);
    IvroGetFactoryValue(1, &b, sizeof(b));
    IvroGetFactoryValue(2, &dw, sizeof(dw));
    IvroGetFactoryValue(3, &w, sizeof(w));
    IvroGetFactoryText(14, szText, sizeof(szText));
    for (DWORD dwItem = 5; dwItem <= 10; ++dwItem) IvroGetFactoryValue(dwItem, &b, sizeof(b));
    IvroGetFactoryValue(17, block, sizeof(block));
    signed char nTemperature = 0;
    IvroGetTemperature(0, &nTemperature, sizeof(nTemperature));
    IvroGetWmiMode(&dw);
    IvroGetTemperature(1, &nTemperature, sizeof(nTemperature));
    IvroGetSwitch(0, &b, sizeof(b));
    IvroGetSwitch(1, &dw, sizeof(dw));
    IvroGetDisplayType(&b);
    IvroGetFactoryValue(15, &w, sizeof(w));
    IvroGetFactoryValue(16, &w, sizeof(w));
    IvroGetBrightness(&b);
    IvroGetFactoryBrightness(&b);
    IvroGetDefaultBrightness(&b);
    IvroGetContrast(&b);
    IvroGetFactoryContrast(&b);
    IvroGetDefaultContrast(&b);
    IvroGetKeyCount(&b);
    IvroGetKeyCodesEnabled(&dw);
    IvroGetKeySwitches(&b, sizeof(b));
    IvroGetKeyMatrix(block, 16);
    IvroGetLedCount(&b);
    for (DWORD dwLayer = 0; dwLayer < 4; ++dwLayer) IvroGetLedMatrix(dwLayer, block, 32);
    if (nDeviceType == 4)
        for (DWORD dwItem : {2u, 4u, 3u, 5u}) IvroGetRavlaText(dwItem, szText, sizeof(szText));
    IvroGetUserLogoText(0, szText, sizeof(szText));
    IvroGetUserLogoValue(1, &w, sizeof(w));
    IvroGetUserLogoValue(2, &dw, sizeof(dw));
    IvroGetUserSerialId(&dw);
    IvroGetUserLed(&b);
}

double MedianMs(int nRuns, const std::function<void()>& fn) {
    std::vector<double> times;
    fn();  // warm up
    for (int i = 0; i < nRuns; ++i) {
        auto start = std::chrono::steady_clock::now();
        fn();
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int Run(int nRuns) {
#ifndef _WIN32
    fakeplat::Reset();
    TmSimReset();
    TmSimSet("temperature.drift", "0");
    CCplApp app;
#endif
    DWORD nDeviceType = 0;
    IvroGetDeviceType(&nDeviceType);
    GetCplApp().m_nDeviceType = nDeviceType;
    CReportSections all = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE,
                           TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    all.bRavla = nDeviceType == 4;

    CString report, fileName;
    double dReport = MedianMs(nRuns, [&] { BuildReport(all, nDeviceType, report, fileName); });
    double dCalls = MedianMs(nRuns, [&] { DeviceCallsOnly(nDeviceType); });
    std::printf("device type %lu, %d runs, report of %d characters\n",
                static_cast<unsigned long>(nDeviceType), nRuns, report.GetLength());
    std::printf("full report:        median %8.3f ms\n", dReport);
    std::printf("device calls alone: median %8.3f ms\n", dCalls);
    // The applet's own work and the system queries it makes (registry, files,
    // version resources): all but the device.
    std::printf("all but the device:        %8.3f ms\n", dReport - dCalls);

    // Where the time goes, section by section.
    const std::pair<const char*, std::function<void(CString&)>> sections[] = {
        {"head", [&](CString& r) { AppendReportHead(r, nDeviceType, fileName); }},
        {"CPU", AppendCpuSection},
        {"Memory", AppendMemorySection},
        {"BIOS", AppendBiosSection},
        {"Firmware", [&](CString& r) { AppendFirmwareSection(r, nDeviceType); }},
        {"Windows", AppendWindowsSection},
        {"Ivronet", AppendIvronetSection},
        {"Key configuration", AppendKeyConfigSection},
        {"Factory settings", AppendFactorySection},
        {"Temperatures", AppendTemperaturesSection},
        {"Switches", AppendSwitchesSection},
        {"Display", AppendDisplaySection},
        {"Keys and LEDs", AppendKeysLedsSection},
        {"Ravla slots", AppendRavlaSection},
        {"User", AppendUserSection},
    };
    for (const auto& section : sections) {
        double dSection = MedianMs(nRuns, [&] {
            CString text;
            section.second(text);
        });
        std::printf("  %-18s median %8.3f ms\n", section.first, dSection);
    }
    return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return Run(argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 101);
}
#else
int main(int argc, char** argv) {
    return Run(argc > 1 ? std::atoi(argv[1]) : 101);
}
#endif

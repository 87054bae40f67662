// The "Firmware" dialog for the FPGAs and the Ravla slots.
#include "AppletTestEnv.h"
#include "res/resource.h"
#include "transfer/FirmwareInfoDlg.h"

namespace {

class FirmwareInfoTest : public AppletTest {
protected:
    struct Shown {
        std::wstring title, info, status, extInfo;
        bool contextHelp;
    };
    Shown Show(int nWhich) {
        Shown shown;
        headless::ScopedModalHandler handler([&](HWND hDialog) {
            shown = {headless::TextOf(hDialog), headless::TextOf(GetDlgItem(hDialog, IDC_FW_INFO)),
                     headless::TextOf(GetDlgItem(hDialog, IDC_FW_STATUS)),
                     headless::TextOf(GetDlgItem(hDialog, IDC_FW_EXTINFO)),
                     (GetWindowLongPtrW(hDialog, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0};
            headless::PressOk(hDialog);
        });
        CFirmwareInfoDlg dialog;
        dialog.m_nWhich = nWhich;
        dialog.DoModal();
        return shown;
    }
};

TEST_F(FirmwareInfoTest, EveryBootStatusOfEveryFirmwareInWords) {
    LoadModule();
    TmSimSet("parts.fpga1", "yes");
    EXPECT_FALSE(Show(0).contextHelp);  // no help file
    const wchar_t* const titles[] = {L"On-Board FPGA", L"Ravla Slot 1", L"Ravla Slot 2",
                                     L"On-Board FPGA1"};
    const wchar_t* const texts[] = {L"Keine FPGA Firmware vorhanden",
                                    L"Ungültige FPGA Firmwaregröße",
                                    L"Kein FPGA vorhanden",
                                    L"Boot ist nicht möglich",
                                    L"Boot ist fehlgeschlagen",
                                    L"Boot OK",
                                    L"Alte FPGA Firmware",
                                    L"Falsche FPGA Firmware",
                                    L"Boot ist deaktiviert",
                                    L"Unbekannt"};
    for (int nWhich = 0; nWhich < 4; ++nWhich) {
        const std::string key = "firmware." + std::to_string(12 + nWhich);
        for (int nStatus : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 255}) {
            SCOPED_TRACE(key + "=" + std::to_string(nStatus));
            TmSimSet(key.c_str(), std::to_string(nStatus).c_str());
            // Status 2 depends on what the firmware belongs to; 9 and above is unknown.
            std::wstring expected = texts[nStatus < 9 ? nStatus : 9];
            if (nStatus == 2 && (nWhich == 1 || nWhich == 2))
                expected = L"Kein Ravla Modul vorhanden";
            Shown shown = Show(nWhich);
            EXPECT_EQ(expected, shown.status);
            EXPECT_EQ(std::wstring(L"Firmware - ") + titles[nWhich], shown.title);
        }
    }
}

TEST_F(FirmwareInfoTest, EachFailedReadShowsItsOwnStatusWord) {
    fakeplat::AddFile(L"C:\\Windows\\system32\\TmRoveVodore.chm");
    LoadModule();
    TmSimSet("version.0", "\"FPGA 1.2\"");
    TmSimInjectFault("IvroGetFirmwareValue", ERROR_SEM_TIMEOUT, 0, 12);
    TmSimInjectFault("IvroGetVersionText", ERROR_BUSY, 0, 4);
    Shown shown = Show(0);
    EXPECT_EQ(L"FPGA 1.2", shown.info);
    EXPECT_EQ(L"Timeout", shown.status);
    EXPECT_EQ(L"Busy", shown.extInfo);
    EXPECT_TRUE(shown.contextHelp);

    // FPGA1 absent on the default device: "(keine)" everywhere, still opens.
    TmSimClearFaults();
    Shown absent = Show(3);
    EXPECT_EQ(L"(keine)(keine)(keine)", absent.info + absent.status + absent.extInfo);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

}  // namespace

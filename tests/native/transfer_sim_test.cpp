// Transfers of the TmIvro.dll simulator beyond what the transfer dialog's
// tests show: the upload's data, stops and refusals, profile keys and speed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/TmIvro.h"
#include "platform/fake/FakePlatform.h"
#include "simulator/SimTransferFile.h"
#include "simulator/TmIvroSim.h"

namespace {

const wchar_t kFile[] = L"C:\\fw\\fpga.pci";
const wchar_t kBackup[] = L"C:\\fw\\backup.pci";
const DWORD kFpga = 8;

class TransferSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeplat::Reset();
        TmSimReset();
        ASSERT_TRUE(TmSimSet("transfer.duration", "0"));
        TmSimClearCallLog();
    }
    void TearDown() override { TmSimReset(); }
};

// The percents the callback saw; it asks to stop on call nStopAtCall.
struct Recorder {
    int nStopAtCall = -1;
    std::vector<DWORD> percents;

    static BOOL CALLBACK Proc(DWORD dwPercent, void* pContext) {
        auto* pThis = static_cast<Recorder*>(pContext);
        pThis->percents.push_back(dwPercent);
        return static_cast<int>(pThis->percents.size()) - 1 != pThis->nStopAtCall;
    }
};

std::vector<BYTE> GoodFile() {
    return tmsim::BuildTransferFile(kFpga, 4, 108, tmsim::SampleTransferData(kFpga, 108, 5000));
}

TEST_F(TransferSimTest, DownloadUploadAndTheirStopsAndRefusals) {
    std::vector<BYTE> file = GoodFile();
    fakeplat::AddFile(kFile, file);
    ASSERT_TRUE(IvroDownloadFile(kFile, kFpga, nullptr, nullptr));
    ASSERT_TRUE(IvroUploadFile(kBackup, kFpga, nullptr, nullptr));
    EXPECT_EQ(file, fakeplat::FileContents(kBackup).value_or(std::vector<BYTE>()));
    // A kind never downloaded gives well-formed data of its own settings.
    ASSERT_TRUE(IvroUploadFile(kBackup, 7, nullptr, nullptr));
    tmsim::TransferKindSettings settings;
    settings.m_nVersion = 412;
    EXPECT_EQ(0u,
              tmsim::CheckTransferFile(fakeplat::FileContents(kBackup).value(), 7, 4, settings));

    // Refused or stopped before writing: an existing file stays as it was, a
    // new one is not left behind.
    fakeplat::AddFile(kBackup, std::string("old backup"));
    Recorder stop;
    stop.nStopAtCall = 1;
    SetLastError(0);
    EXPECT_FALSE(IvroUploadFile(kBackup, kFpga, &Recorder::Proc, &stop));
    EXPECT_EQ(1223u, GetLastError());
    EXPECT_EQ(10u, fakeplat::FileContents(kBackup).value().size());  // "old backup"
    ASSERT_TRUE(TmSimSet("transfer.fpga.upload_check", "7"));
    EXPECT_FALSE(IvroUploadFile(L"C:\\fw\\new.pci", kFpga, nullptr, nullptr));
    EXPECT_EQ(13u, GetLastError());
    EXPECT_FALSE(fakeplat::FileContents(L"C:\\fw\\new.pci"));

    // Failures before any callback.
    const struct {
        const wchar_t* pszPath;
        DWORD dwKind;
        const char* pszKey;  // set to "0" first
        DWORD dwError;
    } cases[] = {
        {L"C:\\missing.pci", kFpga, nullptr, 2},
        {kFile, 3, nullptr, 87},
        {kFile, 11, nullptr, 50},  // no FPGA1 on the default device
        {kFile, 0, "keys.count", 50},
        {kFile, 12, "parts.user_logo", 50},
        {nullptr, kFpga, nullptr, 87},
    };
    for (const auto& c : cases) {
        if (c.pszKey) TmSimSet(c.pszKey, "0");
        Recorder recorder;
        SetLastError(0);
        EXPECT_FALSE(IvroDownloadFile(c.pszPath, c.dwKind, &Recorder::Proc, &recorder));
        EXPECT_EQ(c.dwError, GetLastError());
        EXPECT_TRUE(recorder.percents.empty());
    }
}

TEST_F(TransferSimTest, ProfileKeysAndSpeed) {
    EXPECT_TRUE(TmSimLoadProfileText("[transfer]\nfpga1.power_cycle = yes\n"));
    EXPECT_EQ("1", TmSimGetString("transfer.fpga1.power_cycle"));
    for (const char* pszBad :
         {"[transfer]\nfpga.power_cycle = 2\n", "[transfer]\nfgpa.version = 1\n",
          "[transfer]\nhold_step = 9\n", "[transfer]\nkcf.upload_check = 8\n"})
        EXPECT_FALSE(TmSimLoadProfileText(pszBad)) << pszBad;

    // The duration is spread over the callbacks with Sleep; a frozen tick
    // count shows how long the transfer would have taken.
    ASSERT_TRUE(TmSimLoadProfileText("[transfer]\nduration = 2400\n"));
    fakeplat::SetTickCount(1000);
    fakeplat::AddFile(kFile, GoodFile());
    ASSERT_TRUE(IvroDownloadFile(kFile, kFpga, nullptr, nullptr));
    ULONGLONG nTaken = GetTickCount64() - 1000;
    EXPECT_GE(nTaken, 1500u);
    EXPECT_LE(nTaken, 2400u);
    fakeplat::SetTickCount(std::nullopt);

    // The documented checksum: the common CRC-32 (its check value).
    EXPECT_EQ(0xCBF43926u, tmsim::Crc32(reinterpret_cast<const BYTE*>("123456789"), 9));
}

}  // namespace

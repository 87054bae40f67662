// Transfers of the TmIvro.dll simulator: the file format, steps and percent
// through the callback, every check result, restart needs, stops, speed, and
// a transfer running while another thread uses the device.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <utility>
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

// What the callback saw: the step item at each call and the percent.
struct Recorder {
    bool bDownload = true;
    int nStopAtCall = -1;  // returns 0 on this call
    DWORD nOlderSeenAt = 0xFFFFFFFF;
    std::vector<std::pair<DWORD, DWORD>> calls;

    static BOOL CALLBACK Proc(DWORD dwPercent, void* pContext) {
        auto* pThis = static_cast<Recorder*>(pContext);
        DWORD dwStep = 0, dwCheck = 0;
        IvroGetTransferInfo(pThis->bDownload ? 0 : 2, &dwStep, 4);
        if (pThis->bDownload && IvroGetTransferInfo(1, &dwCheck, 4) && dwCheck == 2 &&
            pThis->nOlderSeenAt == 0xFFFFFFFF)
            pThis->nOlderSeenAt = static_cast<DWORD>(pThis->calls.size());
        pThis->calls.emplace_back(dwStep, dwPercent);
        return static_cast<int>(pThis->calls.size()) - 1 != pThis->nStopAtCall;
    }
    std::vector<DWORD> Steps() const {
        std::vector<DWORD> steps;
        for (const auto& call : calls)
            if (steps.empty() || steps.back() != call.first) steps.push_back(call.first);
        return steps;
    }
};

DWORD Info(DWORD dwItem) {
    DWORD dwValue = 0xEEEE;
    EXPECT_TRUE(IvroGetTransferInfo(dwItem, &dwValue, 4));
    return dwValue;
}

std::vector<BYTE> GoodFile(DWORD dwKind = kFpga, DWORD dwVersion = 108, size_t nSize = 5000) {
    return tmsim::BuildTransferFile(dwKind, 4, dwVersion,
                                    tmsim::SampleTransferData(dwKind, dwVersion, nSize));
}

// Result and last error of one download of these bytes.
std::pair<BOOL, DWORD> Download(const std::vector<BYTE>& file, Recorder& recorder,
                                DWORD dwKind = kFpga) {
    fakeplat::AddFile(kFile, file);
    SetLastError(0);
    BOOL bResult = IvroDownloadFile(kFile, dwKind, &Recorder::Proc, &recorder);
    return {bResult, bResult ? 0 : GetLastError()};
}

TEST_F(TransferSimTest, DownloadReportsEveryStepAndAnUploadGivesTheDataBack) {
    Recorder down;
    std::vector<BYTE> file = GoodFile();
    auto result = Download(file, down);
    ASSERT_TRUE(result.first) << result.second;
    EXPECT_EQ((std::vector<DWORD>{1, 2, 3, 4, 5, 6, 7, 8}), down.Steps());
    DWORD dwLast = 0;
    for (const auto& call : down.calls) {
        EXPECT_GE(call.second, dwLast);
        dwLast = call.second;
    }
    EXPECT_EQ(100u, dwLast);
    EXPECT_EQ(0u, Info(1));
    // The default FPGA needs a restart, no power cycle.
    EXPECT_EQ(1u, Info(4));
    EXPECT_EQ(0u, Info(5));
    EXPECT_EQ("108", TmSimGetString("transfer.fpga.version"));

    Recorder up;
    up.bDownload = false;
    ASSERT_TRUE(IvroUploadFile(kBackup, kFpga, &Recorder::Proc, &up));
    EXPECT_EQ((std::vector<DWORD>{1, 2, 3, 4, 5, 7}), up.Steps());
    EXPECT_EQ(file, fakeplat::FileContents(kBackup).value_or(std::vector<BYTE>()));
    // An upload needs nothing restarted.
    EXPECT_EQ(0u, Info(4));

    // A kind never downloaded gives well-formed data of its own settings.
    ASSERT_TRUE(IvroUploadFile(kBackup, 7, nullptr, nullptr));
    std::vector<BYTE> bios = fakeplat::FileContents(kBackup).value_or(std::vector<BYTE>());
    tmsim::TransferKindSettings settings;
    settings.m_nVersion = 412;
    EXPECT_EQ(0u, tmsim::CheckTransferFile(bios, 7, 4, settings));

    auto log = TmSimCallLogLines();
    EXPECT_NE(log.end(),
              std::find(log.begin(), log.end(),
                        "IvroDownloadFile kind=8 path=\"C:\\fw\\fpga.pci\" -> 1 error=0"));
}

TEST_F(TransferSimTest, CraftedFilesGiveEveryCheckResult) {
    std::vector<BYTE> wrongMagic = GoodFile();
    wrongMagic[0] = 'X';
    std::vector<BYTE> badChecksum = GoodFile();
    badChecksum.back() ^= 1;
    std::vector<BYTE> truncated = GoodFile();
    truncated.pop_back();
    const struct {
        const char* pszWhat;
        std::vector<BYTE> file;
        DWORD dwCheck;
    } cases[] = {
        {"shorter than a header", std::vector<BYTE>(10, 0), 1},
        {"data size not as declared", truncated, 1},
        {"version below the minimum", GoodFile(kFpga, 99), 3},
        {"version above the maximum", GoodFile(kFpga, 200), 4},
        {"another kind", GoodFile(7), 5},
        {"no transfer file", wrongMagic, 5},
        {"another device",
         tmsim::BuildTransferFile(kFpga, 5, 108, tmsim::SampleTransferData(kFpga, 108, 100)), 6},
        {"checksum", badChecksum, 7},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        auto result = Download(c.file, recorder);
        EXPECT_FALSE(result.first) << c.pszWhat;
        EXPECT_EQ(13u, result.second) << c.pszWhat;
        EXPECT_EQ(c.dwCheck, Info(1)) << c.pszWhat;
        // Refused before anything was written.
        EXPECT_EQ(0u, Info(5)) << c.pszWhat;
        EXPECT_EQ((std::vector<DWORD>{1, 2, 3, 4}), recorder.Steps()) << c.pszWhat;
    }
    EXPECT_EQ("107", TmSimGetString("transfer.fpga.version"));

    // Older than the device's: reported while the download runs; the
    // callback decides.
    Recorder accept;
    EXPECT_TRUE(Download(GoodFile(kFpga, 105), accept).first);
    EXPECT_EQ(2u, Info(1));
    ASSERT_NE(0xFFFFFFFFu, accept.nOlderSeenAt);
    EXPECT_EQ(4u, accept.calls[accept.nOlderSeenAt].first);
    TmSimSet("transfer.fpga.version", "107");
    Recorder refuse;
    refuse.nStopAtCall = static_cast<int>(accept.nOlderSeenAt);
    auto result = Download(GoodFile(kFpga, 105), refuse);
    EXPECT_FALSE(result.first);
    EXPECT_EQ(1223u, result.second);
    EXPECT_EQ(2u, Info(1));
    EXPECT_EQ(4u, refuse.calls.back().first);
    EXPECT_EQ("107", TmSimGetString("transfer.fpga.version"));

    // Upload check results come from the profile.
    for (DWORD dwCheck = 1; dwCheck <= 7; ++dwCheck) {
        ASSERT_TRUE(TmSimSet("transfer.fpga.upload_check", std::to_string(dwCheck).c_str()));
        SetLastError(0);
        EXPECT_FALSE(IvroUploadFile(kBackup, kFpga, nullptr, nullptr));
        EXPECT_EQ(13u, GetLastError());
        EXPECT_EQ(dwCheck, Info(3));
        EXPECT_FALSE(fakeplat::FileContents(kBackup)) << "no file is left behind";
    }
}

TEST_F(TransferSimTest, StopsFailuresAndRestartNeeds) {
    // A callback that returns 0 stops with ERROR_CANCELLED, upload or download.
    Recorder down;
    down.nStopAtCall = 2;
    EXPECT_EQ(1223u, Download(GoodFile(), down).second);
    EXPECT_EQ(3u, down.calls.size());
    fakeplat::AddFile(kBackup, std::string("old backup"));
    Recorder up;
    up.bDownload = false;
    up.nStopAtCall = 1;
    SetLastError(0);
    EXPECT_FALSE(IvroUploadFile(kBackup, kFpga, &Recorder::Proc, &up));
    EXPECT_EQ(1223u, GetLastError());
    // Stopped before writing: the existing file is as it was.
    auto kept = fakeplat::FileContents(kBackup).value_or(std::vector<BYTE>());
    EXPECT_EQ("old backup", std::string(kept.begin(), kept.end()));

    // A device that fails while being written: restart needs are reported.
    TmSimSet("transfer.bios.write_error", "1117");
    Recorder bios;
    auto result = Download(GoodFile(7, 413), bios, 7);
    EXPECT_EQ(1117u, result.second);
    EXPECT_EQ(5u, bios.calls.back().first);
    EXPECT_EQ(1u, Info(4));
    EXPECT_EQ(1u, Info(5));

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
    };
    fakeplat::AddFile(kFile, GoodFile());
    for (const auto& c : cases) {
        if (c.pszKey) {
            ASSERT_TRUE(TmSimSet(c.pszKey, "0"));
        }
        Recorder recorder;
        SetLastError(0);
        EXPECT_FALSE(IvroDownloadFile(c.pszPath, c.dwKind, &Recorder::Proc, &recorder));
        EXPECT_EQ(c.dwError, GetLastError());
        EXPECT_TRUE(recorder.calls.empty());
    }
    SetLastError(0);
    EXPECT_FALSE(IvroDownloadFile(nullptr, kFpga, nullptr, nullptr));
    EXPECT_EQ(87u, GetLastError());
    TmSimInjectFault("IvroUploadFile", 121, 0, kFpga);
    EXPECT_FALSE(IvroUploadFile(kBackup, kFpga, nullptr, nullptr));
    EXPECT_EQ(121u, GetLastError());
}

TEST_F(TransferSimTest, ProfileKeysAndSpeed) {
    EXPECT_EQ("8000", [] {
        TmSimReset();
        return TmSimGetString("transfer.duration");
    }());
    EXPECT_TRUE(TmSimLoadProfileText(
        "[transfer]\nduration = 2400\nfpga1.power_cycle = yes\nuserlogo.size = 16\n"))
        << TmSimLastProfileError();
    EXPECT_EQ("1", TmSimGetString("transfer.fpga1.power_cycle"));
    EXPECT_EQ("0", TmSimGetString("transfer.fpga1.restart"));
    for (const char* pszBad :
         {"[transfer]\nfpga.power_cycle = 2\n", "[transfer]\nfgpa.version = 1\n",
          "[transfer]\nfpga.colour = 1\n", "[transfer]\nhold_step = 9\n",
          "[transfer]\nkcf.upload_check = 8\n"}) {
        EXPECT_FALSE(TmSimLoadProfileText(pszBad)) << pszBad;
        EXPECT_FALSE(TmSimLastProfileError().empty());
    }

    // The duration is spread over the callbacks with Sleep; a frozen tick
    // count shows how long the transfer would have taken.
    ASSERT_TRUE(TmSimLoadProfileText("[transfer]\nduration = 2400\n"));
    fakeplat::SetTickCount(1000);
    Recorder recorder;
    ASSERT_TRUE(Download(GoodFile(), recorder).first);
    ULONGLONG nTaken = GetTickCount64() - 1000;
    EXPECT_GE(nTaken, 1500u);
    EXPECT_LE(nTaken, 2400u);
    fakeplat::SetTickCount(std::nullopt);

    // The documented checksum: the common CRC-32 (its check value).
    EXPECT_EQ(0xCBF43926u, tmsim::Crc32(reinterpret_cast<const BYTE*>("123456789"), 9));
}

// A transfer on a worker thread while the user-interface thread polls the
// device and reads the transfer state; held at a step, then released.
TEST_F(TransferSimTest, ConcurrentTransferWhileTheDeviceIsPolled) {
    fakeplat::AddFile(kFile, GoodFile());
    ASSERT_TRUE(TmSimSet("transfer.hold_step", "5"));
    std::atomic<int> nCallbacks{0};
    std::atomic<BOOL> bResult{FALSE};
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        auto proc = [](DWORD, void* pContext) -> BOOL {
            ++*static_cast<std::atomic<int>*>(pContext);
            return TRUE;
        };
        bResult = IvroDownloadFile(kFile, kFpga, proc, &nCallbacks);
        bDone = true;
    });
    // Held in the write phase: a second transfer is refused meanwhile.
    DWORD dwStep = 0;
    for (int i = 0; i < 20000 && dwStep != 5; ++i) {
        IvroGetTransferInfo(0, &dwStep, 4);
        std::this_thread::yield();
    }
    ASSERT_EQ(5u, dwStep);
    EXPECT_FALSE(IvroUploadFile(kBackup, kFpga, nullptr, nullptr));
    EXPECT_EQ(170u, GetLastError());
    for (int i = 0; i < 200; ++i) {
        BYTE b;
        IvroGetBrightness(&b);
        IvroSetBrightness(static_cast<BYTE>(i % 100));
        DWORD dw;
        IvroGetTransferInfo(static_cast<DWORD>(i % 6), &dw, 4);
    }
    EXPECT_FALSE(bDone);
    TmSimSet("transfer.hold_step", "0");
    worker.join();
    EXPECT_TRUE(bResult);
    EXPECT_GT(nCallbacks, 10);
}

}  // namespace

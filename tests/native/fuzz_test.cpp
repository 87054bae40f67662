// Fuzzing loops under AddressSanitizer: the simulator's profile parser and
// its transfer file check take 60,000 damaged inputs each (every kind of
// refusal turns up within the first 30,000), the report's hex dump every
// length up to 512 bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "AppletTestEnv.h"
#include "report/Report.h"
#include "simulator/SimProfile.h"
#include "simulator/SimTransferFile.h"
#include "transfer/TransferKinds.h"

namespace {

using tmsim::Byte;
using tmsim::Dword;

// A damaged copy: bytes replaced, inserted, removed, the text cut.
template <class T>
void Mutate(std::mt19937& random, T& data, const std::vector<typename T::value_type>& alphabet) {
    int nEdits = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < nEdits; ++i) {
        size_t nAt = data.empty() ? 0 : random() % (data.size() + 1);
        auto any = alphabet[random() % alphabet.size()];
        switch (random() % 4) {
            case 0:
                if (nAt < data.size()) data[nAt] = any;
                break;
            case 1:
                data.insert(data.begin() + static_cast<long>(nAt), any);
                break;
            case 2:
                if (nAt < data.size()) data.erase(data.begin() + static_cast<long>(nAt));
                break;
            default:
                data.resize(nAt);
                break;
        }
    }
}

// ---------------------------------------------------------------------------
// Profiles

// Every line of the embedded profile, and the pieces of a damaged one,
// separated by "~"; those that only mean something in a section come with it.
std::vector<std::string> ProfilePieces() {
    std::istringstream text(
        "[faults]~[~]~[parts~= 1~key =~ = ~a.b.c = 1~\\~\"~hex:~hex: 0~hex: 0G~00 1A FF~0x~"
        "0xFFFFFFFFFFFFFFFFF~-9223372036854775808~99999999999999999999~absent~"
        "factory.value.4294967296 = 1~factory.value.-1 = 1~version.99 = \"x\"~"
        "leds.matrix.4 = 00~transfer.nokind.version = 1~transfer.fpga.size = 0~"
        "; comment~# comment~\xEF\xBB\xBF~\xC3~\xFF\xFE~\t~\r~"
        "[version]\n0 = \"\\u~[version]\n0 = \"\\uD800\"~[version]\n0 = \"\\u00E4\"~"
        "[version]\n0 = \"\\q\"~[version]\n0 = \"abc\" x~[parts]\nfpga = yes~"
        "[parts]\nfpga = maybe~[faults]\nIvroGetTemperature = 121 after 3 item 1 times 2~"
        "[faults]\n* = 170 after~[faults]\nIvroGetDeviceType = 2 item 1~[faults]\nNope = 5~"
        "[faults]\nIvroSetBrightness = 0");
    std::vector<std::string> pieces;
    std::string strPiece;
    while (std::getline(text, strPiece, '~')) pieces.push_back(strPiece);
    std::istringstream lines(tmsim::DefaultProfileText());
    while (std::getline(lines, strPiece)) pieces.push_back(strPiece);
    return pieces;
}

TEST(ProfileParserFuzz, DamagedProfilesAreRefusedLineByLineOrApplied) {
    std::mt19937 random(20261206);
    const std::vector<std::string> pieces = ProfilePieces();
    std::vector<char> alphabet(256);
    std::iota(alphabet.begin(), alphabet.end(), '\0');
    // Profile syntax is more likely than any other byte.
    const std::string strSyntax = "[]=\\\"#;.,:x0123456789abcdefABCDEF \n\r\t-";
    for (int k = 0; k < 8; ++k) alphabet.insert(alphabet.end(), strSyntax.begin(), strSyntax.end());

    tmsim::DeviceState state = tmsim::DefaultState();
    int nAccepted = 0;
    for (int nRun = 0; nRun < 60000; ++nRun) {
        std::string strText;
        int nLines = 1 + static_cast<int>(random() % 2);
        for (int i = 0; i < nLines; ++i) strText += pieces[random() % pieces.size()] + "\n";
        if (random() % 4 != 0) Mutate(random, strText, alphabet);
        if (nRun % 1000 == 0) state = tmsim::DefaultState();

        std::vector<tmsim::ProfileEntry> entries;
        std::vector<tmsim::ProfileError> errors;
        bool bGood = tmsim::ParseProfile(strText, "fuzz", state, entries, errors);

        const int nLinesInText =
            static_cast<int>(std::count(strText.begin(), strText.end(), '\n')) + 1;
        ASSERT_EQ(bGood, errors.empty()) << strText;
        for (const tmsim::ProfileError& error : errors) {
            ASSERT_GE(error.m_nLine, 1) << strText;
            ASSERT_LE(error.m_nLine, nLinesInText) << strText;
            ASSERT_FALSE(error.m_strReason.empty()) << strText;
            // Reported lines cannot write to a terminal.
            for (char ch : error.Format())
                ASSERT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) << strText;
        }
        // What was accepted reads back in profile syntax, and that is taken again.
        if (bGood) {
            ++nAccepted;
            for (const tmsim::ProfileEntry& entry : entries) {
                if (entry.m_strKey.compare(0, 7, "faults.") == 0) continue;
                std::string strValue, strReason;
                ASSERT_TRUE(tmsim::FormatKey(state, entry.m_strKey, strValue)) << entry.m_strKey;
                ASSERT_TRUE(tmsim::ApplyKey(state, entry.m_strKey, strValue, strReason))
                    << entry.m_strKey << " = " << strValue << ": " << strReason;
            }
        }
    }
    // Both ways were taken often.
    EXPECT_GT(nAccepted, 3000);
    EXPECT_LT(nAccepted, 54000);
}

// ---------------------------------------------------------------------------
// Transfer files

// The check as docs/simulator.md tells it, written anew.
Dword ExpectedCheck(const std::vector<Byte>& abFile, Dword nKind, Dword nDevice,
                    const tmsim::TransferKindSettings& settings) {
    auto dword = [&](size_t nAt) {
        return static_cast<Dword>(abFile[nAt]) | static_cast<Dword>(abFile[nAt + 1]) << 8 |
               static_cast<Dword>(abFile[nAt + 2]) << 16 |
               static_cast<Dword>(abFile[nAt + 3]) << 24;
    };
    if (abFile.size() < 28) return 1;
    if (std::memcmp(abFile.data(), "TMIVROXF", 8) != 0 || dword(8) != nKind) return 5;
    const Dword nSize = dword(20);
    if (nSize == 0 || nSize > 16u * 1024 * 1024 || abFile.size() - 28 != nSize) return 1;
    if (dword(12) != nDevice) return 6;
    if (tmsim::Crc32(abFile.data() + 28, nSize) != dword(24)) return 7;
    const int64_t nVersion = dword(16);
    if (nVersion < settings.m_nMinVersion) return 3;
    if (nVersion > settings.m_nMaxVersion) return 4;
    if (nVersion < settings.m_nVersion) return 2;
    return 0;
}

TEST(TransferFileFuzz, DamagedFilesGetTheirCheckResult) {
    std::mt19937 random(4711);
    std::vector<Byte> alphabet(256);
    std::iota(alphabet.begin(), alphabet.end(), Byte(0));
    const Dword kKinds[] = {0, 7, 8, 9, 10, 11, 12, 3};
    tmsim::TransferKindSettings settings;
    settings.m_nVersion = 107;
    settings.m_nMinVersion = 100;
    settings.m_nMaxVersion = 199;

    int anResults[8] = {};
    for (int nRun = 0; nRun < 60000; ++nRun) {
        const Dword nKind = kKinds[random() % 8];
        const Dword nDevice = 4 + random() % 2;
        const Dword nVersion = 95 + random() % 110;
        std::vector<Byte> abData(random() % 40);
        for (Byte& b : abData) b = static_cast<Byte>(random());
        std::vector<Byte> abFile = tmsim::BuildTransferFile(nKind, nDevice, nVersion, abData);
        switch (random() % 4) {
            case 0:  // as made
                break;
            case 1:  // one header field replaced
            {
                size_t nAt = 8 + 4 * (random() % 5);
                Dword nValue = random() % 2 ? static_cast<Dword>(random()) : random() % 64;
                for (int i = 0; i < 4; ++i) abFile[nAt + i] = static_cast<Byte>(nValue >> (8 * i));
                break;
            }
            default:
                Mutate(random, abFile, alphabet);
                break;
        }
        const Dword nWantKind = random() % 8 ? nKind : kKinds[random() % 8];
        const Dword nWantDevice = random() % 8 ? nDevice : 4 + random() % 2;

        const Dword nResult = tmsim::CheckTransferFile(abFile, nWantKind, nWantDevice, settings);
        ASSERT_EQ(ExpectedCheck(abFile, nWantKind, nWantDevice, settings), nResult);
        ++anResults[nResult];  // the expected result is at most 7
    }
    // Every check result was met, good files (0) included.
    for (int nResult = 0; nResult < 8; ++nResult) EXPECT_GT(anResults[nResult], 0) << nResult;
}

// ---------------------------------------------------------------------------
// What the applet makes of the device's texts when it proposes files

// A text in profile syntax, every character escaped.
std::string Quoted(const std::wstring& strText) {
    std::string strOut = "\"";
    char szEscape[8];
    for (wchar_t ch : strText) {
        std::snprintf(szEscape, sizeof(szEscape), "\\u%04X", static_cast<unsigned>(ch));
        strOut += szEscape;
    }
    return strOut + "\"";
}

// A device text: pieces of attribute syntax, file name characters and
// anything else, up to beyond the applet's buffers.
std::wstring DeviceText(std::mt19937& random) {
    static const wchar_t* const kPieces[] = {
        L"Dev=\"", L"Fct=\"", L"Var=\"", L"Use=\"", L"\"",     L"=",          L".",   L"..",
        L"\\",     L"/",      L":",      L"|",      L"*",      L"?",          L"<",   L">",
        L"%1",     L"%s",     L"%",      L"\t",     L"\u00E4", L"ABCDEFGHIJ", L"pci", L" "};
    std::wstring strText;
    const size_t nPieces = random() % 12;
    for (size_t i = 0; i < nPieces; ++i) {
        if (random() % 3 == 0)
            strText += static_cast<wchar_t>(1 + random() % 0xD7FF);
        else
            strText += kPieces[random() % (sizeof(kPieces) / sizeof(kPieces[0]))];
    }
    if (random() % 50 == 0) strText += std::wstring(500 + random() % 600, L'x');
    return strText;
}

class TransferNamesFuzz : public AppletTest {};

TEST_F(TransferNamesFuzz, DeviceTextsGiveWellFormedFiltersAndPlainNames) {
    LoadModule();
    std::mt19937 random(1166);
    // Characters a proposed file name must not carry: it would name another
    // folder, a device stream or nothing at all.
    std::wstring strNotInNames = L"\\/:*?\"<>|";
    for (wchar_t ch = 1; ch < 0x20; ++ch) strNotInNames += ch;
    for (int nRun = 0; nRun < 5000; ++nRun) {
        if (!TmSimSet("ravla.22", Quoted(DeviceText(random)).c_str()) ||
            !TmSimSet("version.4", Quoted(DeviceText(random)).c_str()) ||
            !TmSimSet("user.logo_text.0", Quoted(DeviceText(random)).c_str()) ||
            !TmSimSet("factory.text.14", Quoted(DeviceText(random)).c_str()))
            continue;  // not a text the profile takes (a lone surrogate)

        // The resource's filter, or the device's own entry first when its ID
        // can name files: description and pattern pairs, "||" at the end.
        const std::wstring strFilter = GetTransferFilter(TRUE, TK_FPGA).GetString();
        CString resource;
        resource.LoadString(1137);
        ASSERT_TRUE(strFilter == resource.GetString() ||
                    (std::count(strFilter.begin(), strFilter.end(), L'|') == 7 &&
                     strFilter.compare(strFilter.size() - 2, 2, L"||") == 0))
            << tmsim::WideToUtf8(strFilter);

        for (DWORD nKind : {TK_FPGA, TK_USERLOGO, TK_KCF}) {
            const std::wstring strName = GetProposedBackupName(nKind).GetString();
            ASSERT_EQ(std::wstring::npos, strName.find_first_of(strNotInNames))
                << nKind << ": " << tmsim::WideToUtf8(strName);
            ASSERT_LE(strName.size(), 520u);
        }
    }
}

// ---------------------------------------------------------------------------
// The hex dump

// The layout is the report test's, for the sizes the report dumps; here every
// length runs under AddressSanitizer, exactly as long, with its line count.
TEST(HexDumpFuzz, EveryLengthUpTo512WithAndWithoutCharacters) {
    std::mt19937 random(512);
    for (size_t nCount = 0; nCount <= 512; ++nCount) {
        std::vector<BYTE> data(nCount);
        for (BYTE& b : data) b = static_cast<BYTE>(random());
        for (BOOL bWithChars : {FALSE, TRUE}) {
            CString dump;
            AppendHexDump(data.data(), data.size(), dump, bWithChars);
            const std::wstring strDump = dump.GetString();
            ASSERT_EQ((nCount + 15) / 16,
                      static_cast<size_t>(std::count(strDump.begin(), strDump.end(), L'\n')));
        }
    }
}

}  // namespace

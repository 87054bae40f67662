// The simulated device's state and its text profile: parsing, validation,
// setting and formatting single keys. No Win32 here, so the profile checker
// and the DLL share exactly the same rules.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tmsim {

typedef unsigned char Byte;
typedef uint32_t Dword;

// Last-error codes the simulator reports.
constexpr Dword kErrFileNotFound = 2;
constexpr Dword kErrInvalidData = 13;
constexpr Dword kErrNotSupported = 50;
constexpr Dword kErrInvalidParameter = 87;
constexpr Dword kErrCallNotImplemented = 120;
constexpr Dword kErrInsufficientBuffer = 122;
constexpr Dword kErrBusy = 170;
constexpr Dword kErrCancelled = 1223;

constexpr Dword kAnyItem = 0xFFFFFFFFu;

// One item of a selector operation: a number (read with 1, 2 or 4 bytes),
// a byte block or a text.
struct ItemValue {
    enum class Kind { Number, Block, Text };
    Kind m_kind = Kind::Number;
    int64_t m_nNumber = 0;
    std::vector<Byte> m_abBlock;
    std::wstring m_strText;

    bool operator==(const ItemValue& other) const {
        return m_kind == other.m_kind && m_nNumber == other.m_nNumber &&
               m_abBlock == other.m_abBlock && m_strText == other.m_strText;
    }
};

typedef std::map<Dword, ItemValue> ItemMap;

// A fault rule: the operation (or "*") fails with m_nError once it has
// succeeded m_nAfter times, for m_nTimes calls (0 = for good).
struct FaultSpec {
    std::string m_strOperation;
    Dword m_nError = 0;
    Dword m_nAfter = 0;
    Dword m_nItem = kAnyItem;
    Dword m_nTimes = 0;
};

// How the device treats transfers of one kind (profile keys
// "transfer.<kind>.<field>", docs/simulator.md).
struct TransferKindSettings {
    int64_t m_nVersion = 0;              // version of the data the device holds
    int64_t m_nMinVersion = 0;           // lower files give check result 3
    int64_t m_nMaxVersion = 0xFFFFFFFF;  // higher files give check result 4
    int64_t m_nRestart = 0;              // a download needs a restart
    int64_t m_nPowerCycle = 0;           // a download needs a power cycle
    int64_t m_nUploadCheck = 0;          // check result of the device's own data (0 = valid)
    int64_t m_nWriteError = 0;           // a download fails with it while writing (0 = never)
    int64_t m_nSize = 4096;              // data bytes of an upload before any download
};

struct DeviceState {
    // Scalars (profile keys with a fixed range).
    int64_t m_nType = 0;
    int64_t m_nWmiMode = 0;
    int64_t m_nDisplayType = 0;
    int64_t m_nBrightness = 0;
    int64_t m_nBrightnessDefault = 0;
    int64_t m_nBrightnessFactory = 0;
    int64_t m_nContrast = 0;
    int64_t m_nContrastDefault = 0;
    int64_t m_nContrastFactory = 0;
    int64_t m_nCpuTemp = 0;
    int64_t m_nIoTemp = 0;
    int64_t m_nDrift = 0;
    int64_t m_nDriftInterval = 3000;
    int64_t m_nModeNode = 0;
    int64_t m_nWriteProtect = 0;
    int64_t m_nKeyCount = 0;
    int64_t m_nKeyCodesEnabled = 0;
    int64_t m_nKeyLayer = 0;
    int64_t m_nKeyLayerMode = 0;
    int64_t m_nKeySwitches = 0;
    int64_t m_nKeyConfigValid = 0;
    int64_t m_nKeyDemoInterval = 0;  // ms per step of the demo key presses; 0 = off
    int64_t m_nLedCount = 0;
    int64_t m_nUserLed = 0;
    int64_t m_nUserSerialId = 0;
    int64_t m_nTransferDuration = 0;  // ms a whole transfer takes; 0 = instant
    int64_t m_nTransferHoldStep = 0;  // a transfer waits after reporting this step; 0 = never

    // Parts; a missing part fails its operations with error 50.
    bool m_bDisplay = false;
    bool m_bFpga = false;
    bool m_bFpga1 = false;
    bool m_bRavla1 = false;
    bool m_bRavla2 = false;
    bool m_bUserLed = false;
    bool m_bUserLogo = false;

    std::array<Byte, 16> m_abKeyMatrix{};
    // Four layers; LED n has the state bits (2 * (n % 4)) and (2 * (n % 4) + 1)
    // of byte n / 4: 0 off, 1 slow blinking, 2 fast blinking, 3 on.
    std::array<std::array<Byte, 32>, 4> m_abLedMatrix{};

    ItemMap m_factoryValues;
    ItemMap m_factoryTexts;
    ItemMap m_firmware;
    ItemMap m_versions;
    ItemMap m_ravlaTexts;
    ItemMap m_keyConfigInfo;
    ItemMap m_logoTexts;
    ItemMap m_logoValues;

    // Per transfer kind code.
    std::map<Dword, TransferKindSettings> m_transferKinds;
    // The data container each kind holds after a download (an upload gives
    // it back); kinds not downloaded yet give data made from their settings.
    std::map<Dword, std::vector<Byte>> m_transferImages;

    // Run-time drift of the two temperatures, reset when a temperature key is set.
    int64_t m_nCpuDrift = 0;
    int64_t m_nIoDrift = 0;

    // Fault rules met while applying keys; the simulator takes them over.
    std::vector<FaultSpec> m_faults;

    int CpuTemperature() const;
    // The key matrix as IvroGetKeyMatrix reports it at a time (ms of a steady
    // clock): keys.matrix plus, while the demo runs, the keys it presses then.
    std::array<Byte, 16> KeyMatrixAt(int64_t nNowMs) const;
    int IoTemperature() const;
    Byte LedState(unsigned nLayer, unsigned nLed) const;
    void SetLedState(unsigned nLayer, unsigned nLed, Byte bState);
};

// One "key = value" line of a profile, the key fully qualified.
struct ProfileEntry {
    std::string m_strKey;
    std::string m_strValue;
    int m_nLine = 0;
};

struct ProfileError {
    std::string m_strFile;
    int m_nLine = 0;
    std::string m_strReason;
    std::string Format() const;  // "file:line: reason", made printable
};

// A report lists this many errors of a profile and counts the rest.
constexpr size_t kMaxListedErrors = 20;

// One "file:line: reason" line per error, the first nMax of them, then
// "... and N more errors".
std::string FormatErrors(const std::vector<ProfileError>& errors, size_t nMax = kMaxListedErrors);

// The text with control characters and bytes that are not UTF-8 shown as
// \xHH, so that a damaged file cannot write to the terminal.
std::string Printable(const std::string& str);

// Reads a profile file whole. Anything but a regular file that can be read
// is refused, and strReason says why: "no such file", "is a directory", ...
bool ReadProfileFile(const std::filesystem::path& path, std::string& strText,
                     std::string& strReason);

// The transfer kinds the device knows: profile name and kind code.
struct TransferKindInfo {
    const char* m_pszName;
    Dword m_nKind;
};
const std::vector<TransferKindInfo>& TransferKinds();
const TransferKindInfo* FindTransferKind(Dword nKind);

// Parses a whole profile and applies it to state. Returns false if any line is
// malformed; errors then lists every bad line and state is half-applied (the
// caller works on a copy). Entries receives the accepted lines.
bool ParseProfile(const std::string& strText, const std::string& strFile, DeviceState& state,
                  std::vector<ProfileEntry>& entries, std::vector<ProfileError>& errors);

// Sets one fully qualified key ("temperature.cpu") from a value in profile
// syntax. On failure state is unchanged and reason says why.
bool ApplyKey(DeviceState& state, const std::string& strKey, const std::string& strValue,
              std::string& strReason);

// Formats the current value of a key in profile syntax; false for an unknown key.
bool FormatKey(const DeviceState& state, const std::string& strKey, std::string& strValue);

// The embedded default profile and the state it gives.
const char* DefaultProfileText();
const DeviceState& DefaultState();

// The device operations: name and whether they take an item (for fault filters).
struct OperationInfo {
    const char* m_pszName;
    bool m_bHasItem;
};
const std::vector<OperationInfo>& Operations();
const OperationInfo* FindOperation(const std::string& strName);

// Parses "ERROR [after N] [item N] [times N]" for the operation.
bool ParseFault(const std::string& strOperation, const std::string& strValue, FaultSpec& fault,
                std::string& strReason);

// UTF-8 <-> wchar_t (UTF-16 on Windows, UTF-32 elsewhere).
bool Utf8ToWide(const std::string& strIn, std::wstring& strOut);
std::string WideToUtf8(const std::wstring& strIn);

}  // namespace tmsim

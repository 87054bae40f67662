#include "simulator/SimProfile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tmsim {

namespace {

const char* const kSections[] = {"device",  "parts", "display",  "temperature", "switches",
                                 "factory", "keys",  "leds",     "firmware",    "version",
                                 "ravla",   "user",  "transfer", "faults"};

struct ScalarKey {
    const char* m_pszName;
    int64_t DeviceState::*m_pValue;
    int64_t m_nMin;
    int64_t m_nMax;
};

const ScalarKey kScalarKeys[] = {
    {"device.type", &DeviceState::m_nType, 0, 0xFFFFFFFFll},
    {"device.wmi_mode", &DeviceState::m_nWmiMode, 0, 1},
    {"display.type", &DeviceState::m_nDisplayType, 0, 255},
    {"display.brightness", &DeviceState::m_nBrightness, 0, 100},
    {"display.brightness_default", &DeviceState::m_nBrightnessDefault, 0, 100},
    {"display.brightness_factory", &DeviceState::m_nBrightnessFactory, 0, 100},
    {"display.contrast", &DeviceState::m_nContrast, 0, 100},
    {"display.contrast_default", &DeviceState::m_nContrastDefault, 0, 100},
    {"display.contrast_factory", &DeviceState::m_nContrastFactory, 0, 100},
    {"temperature.cpu", &DeviceState::m_nCpuTemp, -128, 127},
    {"temperature.io", &DeviceState::m_nIoTemp, -128, 127},
    {"temperature.drift", &DeviceState::m_nDrift, 0, 20},
    {"temperature.drift_interval", &DeviceState::m_nDriftInterval, 100, 3600000},
    {"switches.mode_node", &DeviceState::m_nModeNode, 0, 255},
    {"switches.write_protect", &DeviceState::m_nWriteProtect, 0, 0xFFFFFFFFll},
    {"keys.count", &DeviceState::m_nKeyCount, 0, 255},
    {"keys.codes_enabled", &DeviceState::m_nKeyCodesEnabled, 0, 1},
    {"keys.layer", &DeviceState::m_nKeyLayer, 0, 3},
    {"keys.layer_mode", &DeviceState::m_nKeyLayerMode, 0, 255},
    {"keys.switches", &DeviceState::m_nKeySwitches, 0, 255},
    {"keys.config_valid", &DeviceState::m_nKeyConfigValid, 0, 1},
    {"keys.demo_interval", &DeviceState::m_nKeyDemoInterval, 0, 3600000},
    {"leds.count", &DeviceState::m_nLedCount, 0, 128},
    {"user.led", &DeviceState::m_nUserLed, 0, 255},
    {"user.serial_id", &DeviceState::m_nUserSerialId, 0, 0xFFFFFFFFll},
    {"transfer.duration", &DeviceState::m_nTransferDuration, 0, 600000},
    {"transfer.hold_step", &DeviceState::m_nTransferHoldStep, 0, 8},
};

struct PartKey {
    const char* m_pszName;
    bool DeviceState::*m_pPresent;
};

const PartKey kPartKeys[] = {
    {"parts.display", &DeviceState::m_bDisplay},    {"parts.fpga", &DeviceState::m_bFpga},
    {"parts.fpga1", &DeviceState::m_bFpga1},        {"parts.ravla1", &DeviceState::m_bRavla1},
    {"parts.ravla2", &DeviceState::m_bRavla2},      {"parts.user_led", &DeviceState::m_bUserLed},
    {"parts.user_logo", &DeviceState::m_bUserLogo},
};

int FactoryWidth(Dword nItem) {
    if (nItem == 2) return 4;
    if (nItem == 3 || nItem == 15 || nItem == 16) return 2;
    if (nItem >= 1 && nItem <= 10) return 1;
    return 4;
}

int FirmwareWidth(Dword nItem) {
    return (nItem >= 12 && nItem <= 15) ? 1 : 4;
}

int LogoWidth(Dword nItem) {
    return nItem == 1 ? 2 : 4;
}

struct ItemKey {
    const char* m_pszPrefix;  // includes the trailing dot
    ItemMap DeviceState::*m_pMap;
    bool m_bTextOnly;
    int (*m_pfnWidth)(Dword);
};

const ItemKey kItemKeys[] = {
    {"factory.value.", &DeviceState::m_factoryValues, false, FactoryWidth},
    {"factory.text.", &DeviceState::m_factoryTexts, true, nullptr},
    {"firmware.", &DeviceState::m_firmware, false, FirmwareWidth},
    {"version.", &DeviceState::m_versions, true, nullptr},
    {"ravla.", &DeviceState::m_ravlaTexts, true, nullptr},
    {"keys.config_info.", &DeviceState::m_keyConfigInfo, true, nullptr},
    {"user.logo_text.", &DeviceState::m_logoTexts, true, nullptr},
    {"user.logo_value.", &DeviceState::m_logoValues, false, LogoWidth},
};

// "transfer.<kind>.<field>" keys.
struct TransferField {
    const char* m_pszName;
    int64_t TransferKindSettings::*m_pValue;
    int64_t m_nMin;
    int64_t m_nMax;
};

const TransferField kTransferFields[] = {
    {"version", &TransferKindSettings::m_nVersion, 0, 0xFFFFFFFFll},
    {"min_version", &TransferKindSettings::m_nMinVersion, 0, 0xFFFFFFFFll},
    {"max_version", &TransferKindSettings::m_nMaxVersion, 0, 0xFFFFFFFFll},
    {"restart", &TransferKindSettings::m_nRestart, 0, 1},
    {"power_cycle", &TransferKindSettings::m_nPowerCycle, 0, 1},
    {"upload_check", &TransferKindSettings::m_nUploadCheck, 0, 7},
    {"write_error", &TransferKindSettings::m_nWriteError, 0, 0xFFFFFFFFll},
    {"size", &TransferKindSettings::m_nSize, 1, 16 * 1024 * 1024},
};

const char kTransferPrefix[] = "transfer.";
const char kFaultPrefix[] = "faults.";
const char kKeyMatrixKey[] = "keys.matrix";
const char kLedMatrixPrefix[] = "leds.matrix.";

bool StartsWith(const std::string& str, const char* pszPrefix) {
    return str.compare(0, std::strlen(pszPrefix), pszPrefix) == 0;
}

std::string Trim(const std::string& str) {
    size_t nBegin = 0;
    size_t nEnd = str.size();
    while (nBegin < nEnd && std::isspace(static_cast<unsigned char>(str[nBegin]))) ++nBegin;
    while (nEnd > nBegin && std::isspace(static_cast<unsigned char>(str[nEnd - 1]))) --nEnd;
    return str.substr(nBegin, nEnd - nBegin);
}

std::string Lower(std::string str) {
    for (char& c : str) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return str;
}

// The UTF-8 sequence at nPos: its length, or 0 if it is not valid UTF-8
// (overlong forms and surrogates included).
size_t DecodeUtf8(const std::string& str, size_t nPos, uint32_t& nCode) {
    unsigned char c = static_cast<unsigned char>(str[nPos]);
    size_t nMore;
    if (c < 0x80) {
        nCode = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        nCode = c & 0x1F;
        nMore = 1;
    } else if ((c & 0xF0) == 0xE0) {
        nCode = c & 0x0F;
        nMore = 2;
    } else if ((c & 0xF8) == 0xF0) {
        nCode = c & 0x07;
        nMore = 3;
    } else {
        return 0;
    }
    if (nPos + nMore >= str.size()) return 0;
    for (size_t k = 1; k <= nMore; ++k) {
        unsigned char d = static_cast<unsigned char>(str[nPos + k]);
        if ((d & 0xC0) != 0x80) return 0;
        nCode = (nCode << 6) | (d & 0x3F);
    }
    static const uint32_t s_anMin[] = {0, 0x80, 0x800, 0x10000};
    if (nCode < s_anMin[nMore] || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF))
        return 0;
    return nMore + 1;
}

// Quoted for a message; a long text is cut, so that one huge line of a
// damaged file does not flood the report.
std::string Quote(const std::string& str) {
    const size_t kMaxQuoted = 60;
    if (str.size() <= kMaxQuoted) return "'" + str + "'";
    size_t nCut = kMaxQuoted;
    // Not inside a UTF-8 sequence.
    while (nCut > 0 && (static_cast<unsigned char>(str[nCut]) & 0xC0) == 0x80) --nCut;
    return "'" + str.substr(0, nCut) + "...'";
}

// Decimal or 0x-hexadecimal integer with an optional minus sign.
bool ParseInteger(const std::string& strIn, int64_t& nValue) {
    std::string str = Trim(strIn);
    bool bNegative = false;
    size_t nPos = 0;
    if (nPos < str.size() && (str[nPos] == '-' || str[nPos] == '+')) {
        bNegative = str[nPos] == '-';
        ++nPos;
    }
    int nBase = 10;
    if (str.size() - nPos > 2 && str[nPos] == '0' &&
        (str[nPos + 1] == 'x' || str[nPos + 1] == 'X')) {
        nBase = 16;
        nPos += 2;
    }
    if (nPos >= str.size()) return false;
    int64_t nResult = 0;
    for (; nPos < str.size(); ++nPos) {
        int nDigit;
        char c = str[nPos];
        if (c >= '0' && c <= '9') {
            nDigit = c - '0';
        } else if (nBase == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
            nDigit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        } else {
            return false;
        }
        nResult = nResult * nBase + nDigit;
        if (nResult > (int64_t(1) << 40)) return false;
    }
    nValue = bNegative ? -nResult : nResult;
    return true;
}

bool ParseBoolWord(const std::string& strIn, bool& bValue) {
    std::string str = Lower(Trim(strIn));
    if (str == "yes" || str == "true" || str == "on" || str == "1") {
        bValue = true;
        return true;
    }
    if (str == "no" || str == "false" || str == "off" || str == "0") {
        bValue = false;
        return true;
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "hex: 00 1a ff" or "00 1A FF" (the prefix optional); a token may hold
// several bytes ("001AFF"); commas count as blanks.
bool ParseHexBlock(const std::string& strIn, std::vector<Byte>& abOut, std::string& strReason) {
    std::string str = Trim(strIn);
    if (StartsWith(Lower(str), "hex:")) str = str.substr(4);
    for (char& c : str) {
        if (c == ',') c = ' ';
    }
    abOut.clear();
    size_t nPos = 0;
    while (nPos < str.size()) {
        while (nPos < str.size() && std::isspace(static_cast<unsigned char>(str[nPos]))) ++nPos;
        size_t nEnd = nPos;
        while (nEnd < str.size() && !std::isspace(static_cast<unsigned char>(str[nEnd]))) ++nEnd;
        if (nEnd == nPos) break;
        std::string strToken = str.substr(nPos, nEnd - nPos);
        if (strToken.size() % 2 != 0) {
            strReason = "bad hex byte " + Quote(strToken) + " (two hex digits per byte)";
            return false;
        }
        for (size_t i = 0; i < strToken.size(); i += 2) {
            int nHigh = HexDigit(strToken[i]);
            int nLow = HexDigit(strToken[i + 1]);
            if (nHigh < 0 || nLow < 0) {
                strReason = "bad hex byte " + Quote(strToken.substr(i, 2));
                return false;
            }
            abOut.push_back(static_cast<Byte>(nHigh * 16 + nLow));
        }
        nPos = nEnd;
    }
    if (abOut.empty()) {
        strReason = "expected hex bytes";
        return false;
    }
    return true;
}

void AppendUtf8(std::string& str, uint32_t nCode) {
    if (nCode < 0x80) {
        str += static_cast<char>(nCode);
    } else if (nCode < 0x800) {
        str += static_cast<char>(0xC0 | (nCode >> 6));
        str += static_cast<char>(0x80 | (nCode & 0x3F));
    } else if (nCode < 0x10000) {
        str += static_cast<char>(0xE0 | (nCode >> 12));
        str += static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (nCode & 0x3F));
    } else {
        str += static_cast<char>(0xF0 | (nCode >> 18));
        str += static_cast<char>(0x80 | ((nCode >> 12) & 0x3F));
        str += static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (nCode & 0x3F));
    }
}

// Reads a quoted text starting at str[nPos] == '"'; nPos ends after the
// closing quote. Escapes: \" \\ \n \r \t \uXXXX.
bool ParseQuoted(const std::string& str, size_t& nPos, std::wstring& strOut,
                 std::string& strReason) {
    std::string strUtf8;
    ++nPos;
    while (nPos < str.size()) {
        char c = str[nPos++];
        if (c == '"') {
            if (!Utf8ToWide(strUtf8, strOut)) {
                strReason = "text is not valid UTF-8";
                return false;
            }
            return true;
        }
        if (c != '\\') {
            strUtf8 += c;
            continue;
        }
        if (nPos >= str.size()) break;
        char e = str[nPos++];
        switch (e) {
            case '"':
            case '\\':
                strUtf8 += e;
                break;
            case 'n':
                strUtf8 += '\n';
                break;
            case 'r':
                strUtf8 += '\r';
                break;
            case 't':
                strUtf8 += '\t';
                break;
            case 'u': {
                uint32_t nCode = 0;
                for (int i = 0; i < 4; ++i) {
                    int nDigit = nPos < str.size() ? HexDigit(str[nPos]) : -1;
                    if (nDigit < 0) {
                        strReason = "bad \\u escape (four hex digits)";
                        return false;
                    }
                    nCode = nCode * 16 + static_cast<uint32_t>(nDigit);
                    ++nPos;
                }
                if (nCode >= 0xD800 && nCode <= 0xDFFF) {
                    strReason = "bad \\u escape (surrogate)";
                    return false;
                }
                AppendUtf8(strUtf8, nCode);
                break;
            }
            default:
                strReason = std::string("unknown escape \\") + e;
                return false;
        }
    }
    strReason = "unterminated quote";
    return false;
}

// The whole value must be one quoted text.
bool ParseTextValue(const std::string& strIn, std::wstring& strOut, std::string& strReason) {
    std::string str = Trim(strIn);
    if (str.empty() || str[0] != '"') {
        strReason = "expected a quoted text";
        return false;
    }
    size_t nPos = 0;
    if (!ParseQuoted(str, nPos, strOut, strReason)) return false;
    if (!Trim(str.substr(nPos)).empty()) {
        strReason = "text after the closing quote";
        return false;
    }
    return true;
}

bool ParseScalar(const ScalarKey& key, const std::string& strValue, int64_t& nValue,
                 std::string& strReason) {
    bool bFlag;
    if (key.m_nMin == 0 && key.m_nMax == 1 && ParseBoolWord(strValue, bFlag)) {
        nValue = bFlag ? 1 : 0;
        return true;
    }
    if (!ParseInteger(strValue, nValue)) {
        strReason = "bad number " + Quote(Trim(strValue));
        return false;
    }
    if (nValue < key.m_nMin || nValue > key.m_nMax) {
        strReason = "value " + std::to_string(nValue) + " out of range " +
                    std::to_string(key.m_nMin) + ".." + std::to_string(key.m_nMax);
        return false;
    }
    return true;
}

bool ParseItemValue(const ItemKey& key, Dword nItem, const std::string& strIn, bool& bAbsent,
                    ItemValue& value, std::string& strReason) {
    std::string str = Trim(strIn);
    bAbsent = Lower(str) == "absent";
    if (bAbsent) return true;
    if (!str.empty() && str[0] == '"') {
        value.m_kind = ItemValue::Kind::Text;
        return ParseTextValue(str, value.m_strText, strReason);
    }
    if (key.m_bTextOnly) {
        strReason = "expected a quoted text or 'absent'";
        return false;
    }
    if (StartsWith(Lower(str), "hex:")) {
        value.m_kind = ItemValue::Kind::Block;
        return ParseHexBlock(str, value.m_abBlock, strReason);
    }
    if (!ParseInteger(str, value.m_nNumber)) {
        strReason =
            "bad number " + Quote(str) + " (numbers, hex: blocks, quoted texts or 'absent')";
        return false;
    }
    int nBits = 8 * key.m_pfnWidth(nItem);
    int64_t nMax = (int64_t(1) << nBits) - 1;
    int64_t nMin = -(int64_t(1) << (nBits - 1));
    if (value.m_nNumber < nMin || value.m_nNumber > nMax) {
        strReason = "value " + std::to_string(value.m_nNumber) + " out of range for " +
                    std::to_string(nBits / 8) + " byte(s)";
        return false;
    }
    value.m_kind = ItemValue::Kind::Number;
    return true;
}

const ScalarKey* FindScalar(const std::string& strKey) {
    for (const ScalarKey& key : kScalarKeys) {
        if (strKey == key.m_pszName) return &key;
    }
    return nullptr;
}

const PartKey* FindPart(const std::string& strKey) {
    for (const PartKey& key : kPartKeys) {
        if (strKey == key.m_pszName) return &key;
    }
    return nullptr;
}

// Finds the item key family and the item number of "version.21" and the like.
const ItemKey* FindItemKey(const std::string& strKey, Dword& nItem) {
    for (const ItemKey& key : kItemKeys) {
        if (!StartsWith(strKey, key.m_pszPrefix)) continue;
        std::string strItem = strKey.substr(std::strlen(key.m_pszPrefix));
        int64_t nValue;
        if (strItem.empty() || strItem[0] == '-' || !ParseInteger(strItem, nValue) ||
            nValue > 0xFFFFFFFFll) {
            return nullptr;
        }
        nItem = static_cast<Dword>(nValue);
        return &key;
    }
    return nullptr;
}

bool FindLedLayer(const std::string& strKey, unsigned& nLayer) {
    if (!StartsWith(strKey, kLedMatrixPrefix)) return false;
    std::string strLayer = strKey.substr(std::strlen(kLedMatrixPrefix));
    if (strLayer.size() != 1 || strLayer[0] < '0' || strLayer[0] > '3') return false;
    nLayer = static_cast<unsigned>(strLayer[0] - '0');
    return true;
}

// Splits "transfer.fpga.version" into the kind code and the field.
const TransferField* FindTransferKey(const std::string& strKey, Dword& nKind) {
    if (!StartsWith(strKey, kTransferPrefix)) return nullptr;
    std::string strRest = strKey.substr(std::strlen(kTransferPrefix));
    size_t nDot = strRest.find('.');
    if (nDot == std::string::npos) return nullptr;
    std::string strKind = strRest.substr(0, nDot);
    std::string strField = strRest.substr(nDot + 1);
    const TransferKindInfo* pKind = nullptr;
    for (const TransferKindInfo& info : TransferKinds()) {
        if (strKind == info.m_pszName) pKind = &info;
    }
    if (!pKind) return nullptr;
    for (const TransferField& field : kTransferFields) {
        if (strField == field.m_pszName) {
            nKind = pKind->m_nKind;
            return &field;
        }
    }
    return nullptr;
}

bool ParseFixedBlock(const std::string& strValue, Byte* pbOut, size_t nSize,
                     std::string& strReason) {
    std::vector<Byte> abBlock;
    if (!ParseHexBlock(strValue, abBlock, strReason)) return false;
    if (abBlock.size() != nSize) {
        strReason =
            "expected " + std::to_string(nSize) + " bytes, got " + std::to_string(abBlock.size());
        return false;
    }
    std::copy(abBlock.begin(), abBlock.end(), pbOut);
    return true;
}

std::string FormatHex(const Byte* pb, size_t nSize) {
    std::string str;
    char sz[4];
    for (size_t i = 0; i < nSize; ++i) {
        std::snprintf(sz, sizeof(sz), "%02X", pb[i]);
        if (i) str += ' ';
        str += sz;
    }
    return str;
}

std::string FormatText(const std::wstring& strText) {
    std::string strUtf8 = WideToUtf8(strText);
    std::string str = "\"";
    for (char c : strUtf8) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            str += '\\';
            str += c;
        } else if (c == '\n') {
            str += "\\n";
        } else if (c == '\r') {
            str += "\\r";
        } else if (c == '\t') {
            str += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char sz[8];
            std::snprintf(sz, sizeof(sz), "\\u%04X", u);
            str += sz;
        } else {
            str += c;
        }
    }
    return str + "\"";
}

std::string FormatItem(const ItemValue& value) {
    switch (value.m_kind) {
        case ItemValue::Kind::Text:
            return FormatText(value.m_strText);
        case ItemValue::Kind::Block:
            return "hex: " + FormatHex(value.m_abBlock.data(), value.m_abBlock.size());
        case ItemValue::Kind::Number:
            break;
    }
    return std::to_string(value.m_nNumber);
}

// Removes a '#' comment outside quotes; tells whether a quote is left open.
std::string StripComment(const std::string& strLine, bool& bOpenQuote) {
    bool bInQuote = false;
    for (size_t i = 0; i < strLine.size(); ++i) {
        char c = strLine[i];
        if (bInQuote && c == '\\') {
            ++i;
        } else if (c == '"') {
            bInQuote = !bInQuote;
        } else if (c == '#' && !bInQuote) {
            bOpenQuote = false;
            return strLine.substr(0, i);
        }
    }
    bOpenQuote = bInQuote;
    return strLine;
}

bool IsKeyChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '*';
}

}  // namespace

int DeviceState::CpuTemperature() const {
    return static_cast<int>(std::clamp<int64_t>(m_nCpuTemp + m_nCpuDrift, -128, 127));
}

// Each step presses one key and, two steps of three, a second one eleven
// keys further; the keys of the step before are released.
std::array<Byte, 16> DeviceState::KeyMatrixAt(int64_t nNowMs) const {
    std::array<Byte, 16> abMatrix = m_abKeyMatrix;
    const int64_t nKeys = std::min<int64_t>(m_nKeyCount, 128);
    if (m_nKeyDemoInterval <= 0 || nKeys <= 0 || nNowMs < 0) return abMatrix;
    const int64_t nStep = nNowMs / m_nKeyDemoInterval;
    auto press = [&](int64_t nKey) {
        abMatrix[static_cast<size_t>(nKey / 8)] |= static_cast<Byte>(1u << (nKey % 8));
    };
    const int64_t nFirst = (nStep * 5) % nKeys;
    press(nFirst);
    if (nStep % 3 != 2) press((nFirst + 11) % nKeys);
    return abMatrix;
}

int DeviceState::IoTemperature() const {
    return static_cast<int>(std::clamp<int64_t>(m_nIoTemp + m_nIoDrift, -128, 127));
}

Byte DeviceState::LedState(unsigned nLayer, unsigned nLed) const {
    return static_cast<Byte>((m_abLedMatrix[nLayer][nLed / 4] >> (2 * (nLed % 4))) & 3);
}

void DeviceState::SetLedState(unsigned nLayer, unsigned nLed, Byte bState) {
    Byte& b = m_abLedMatrix[nLayer][nLed / 4];
    unsigned nShift = 2 * (nLed % 4);
    b = static_cast<Byte>((b & ~(3u << nShift)) | ((bState & 3u) << nShift));
}

std::string ProfileError::Format() const {
    return Printable(m_strFile + ":" + std::to_string(m_nLine) + ": " + m_strReason);
}

std::string Printable(const std::string& str) {
    std::string strOut;
    size_t i = 0;
    while (i < str.size()) {
        uint32_t nCode = 0;
        size_t nLength = DecodeUtf8(str, i, nCode);
        // Control characters (C0, DEL, C1) and bytes of broken UTF-8.
        bool bPrintable = nLength > 0 && nCode >= 0x20 && !(nCode >= 0x7F && nCode <= 0x9F);
        if (bPrintable) {
            strOut.append(str, i, nLength);
            i += nLength;
            continue;
        }
        // A broken sequence is escaped byte by byte; a control character whole.
        size_t nBytes = nLength > 0 ? nLength : 1;
        for (size_t k = 0; k < nBytes; ++k) {
            char szHex[8];
            std::snprintf(szHex, sizeof(szHex), "\\x%02X", static_cast<unsigned char>(str[i + k]));
            strOut += szHex;
        }
        i += nBytes;
    }
    return strOut;
}

std::string FormatErrors(const std::vector<ProfileError>& errors, size_t nMax) {
    std::string str;
    for (size_t i = 0; i < errors.size() && i < nMax; ++i) {
        if (!str.empty()) str += "\n";
        str += errors[i].Format();
    }
    if (errors.size() > nMax) {
        size_t nMore = errors.size() - nMax;
        str += "\n... and " + std::to_string(nMore) + (nMore == 1 ? " more error" : " more errors");
    }
    return str;
}

bool ReadProfileFile(const std::filesystem::path& path, std::string& strText,
                     std::string& strReason) {
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        strReason = "no such file";
        return false;
    }
    if (error) {
        strReason = Lower(error.message());
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        strReason = "is a directory";
        return false;
    }
    // Devices and pipes could block or never end.
    if (!std::filesystem::is_regular_file(status)) {
        strReason = "not a regular file";
        return false;
    }
    errno = 0;
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in) {
        strReason = errno ? Lower(std::generic_category().message(errno)) : "cannot be opened";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        strReason = "read error";
        return false;
    }
    strText = text.str();
    return true;
}

const std::vector<OperationInfo>& Operations() {
    static const std::vector<OperationInfo> s_ops = {
        {"IvroGetDeviceType", false},
        {"IvroSetWmiMode", false},
        {"IvroGetWmiMode", false},
        {"IvroGetKeyCount", false},
        {"IvroGetLedCount", false},
        {"IvroGetDisplayType", false},
        {"IvroGetBrightness", false},
        {"IvroSetBrightness", false},
        {"IvroGetDefaultBrightness", false},
        {"IvroSetDefaultBrightness", false},
        {"IvroGetFactoryBrightness", false},
        {"IvroGetContrast", false},
        {"IvroSetContrast", false},
        {"IvroGetDefaultContrast", false},
        {"IvroSetDefaultContrast", false},
        {"IvroGetFactoryContrast", false},
        {"IvroGetTemperature", true},
        {"IvroGetSwitch", true},
        {"IvroGetFactoryValue", true},
        {"IvroGetFactoryText", true},
        {"IvroGetKeyCodesEnabled", false},
        {"IvroSetKeyCodesEnabled", false},
        {"IvroGetKeyLayer", false},
        {"IvroSetKeyLayer", false},
        {"IvroGetKeyLayerMode", false},
        {"IvroGetKeyMatrix", false},
        {"IvroGetKeySwitches", false},
        {"IvroGetKeyConfigValid", false},
        {"IvroGetKeyConfigInfo", true},
        {"IvroGetLedState", true},
        {"IvroSetLedState", true},
        {"IvroGetLedMatrix", true},
        {"IvroSetLedMatrix", true},
        {"IvroSetAllLeds", false},
        {"IvroGetFirmwareValue", true},
        {"IvroGetVersionText", true},
        {"IvroGetRavlaText", true},
        {"IvroDownloadFile", true},
        {"IvroUploadFile", true},
        {"IvroGetTransferInfo", true},
        {"IvroGetUserLed", false},
        {"IvroSetUserLed", false},
        {"IvroGetUserSerialId", false},
        {"IvroGetUserLogoText", true},
        {"IvroGetUserLogoValue", true},
    };
    return s_ops;
}

const std::vector<TransferKindInfo>& TransferKinds() {
    static const std::vector<TransferKindInfo> s_kinds = {
        {"kcf", 0},     {"bios", 7},   {"fpga", 8},      {"ravla1", 9},
        {"ravla2", 10}, {"fpga1", 11}, {"userlogo", 12},
    };
    return s_kinds;
}

const TransferKindInfo* FindTransferKind(Dword nKind) {
    for (const TransferKindInfo& info : TransferKinds()) {
        if (info.m_nKind == nKind) return &info;
    }
    return nullptr;
}

const OperationInfo* FindOperation(const std::string& strName) {
    for (const OperationInfo& op : Operations()) {
        if (strName == op.m_pszName) return &op;
    }
    return nullptr;
}

bool ParseFault(const std::string& strOperation, const std::string& strValue, FaultSpec& fault,
                std::string& strReason) {
    const OperationInfo* pOp = FindOperation(strOperation);
    if (!pOp && strOperation != "*") {
        strReason = "unknown operation " + Quote(strOperation);
        return false;
    }
    std::vector<std::string> tokens;
    std::string str = Trim(strValue);
    size_t nPos = 0;
    while (nPos < str.size()) {
        size_t nEnd = str.find_first_of(" \t", nPos);
        if (nEnd == std::string::npos) nEnd = str.size();
        if (nEnd > nPos) tokens.push_back(str.substr(nPos, nEnd - nPos));
        nPos = nEnd + 1;
    }
    const char* pszSyntax = " (expected: ERROR [after N] [item N] [times N])";
    int64_t nValue = 0;
    if (tokens.empty() || !ParseInteger(tokens[0], nValue) || nValue < 1 || nValue > 0xFFFFFFFFll) {
        strReason = "bad fault " + Quote(str) + pszSyntax;
        return false;
    }
    FaultSpec result;
    result.m_strOperation = strOperation;
    result.m_nError = static_cast<Dword>(nValue);
    for (size_t i = 1; i < tokens.size(); i += 2) {
        std::string strWord = Lower(tokens[i]);
        if (i + 1 >= tokens.size() || !ParseInteger(tokens[i + 1], nValue) || nValue < 0 ||
            nValue >= 0xFFFFFFFFll) {
            strReason = "bad fault " + Quote(str) + pszSyntax;
            return false;
        }
        Dword nNumber = static_cast<Dword>(nValue);
        if (strWord == "after") {
            result.m_nAfter = nNumber;
        } else if (strWord == "times") {
            result.m_nTimes = nNumber;
        } else if (strWord == "item") {
            if (pOp && !pOp->m_bHasItem) {
                strReason = strOperation + " takes no item";
                return false;
            }
            result.m_nItem = nNumber;
        } else {
            strReason = "bad fault " + Quote(str) + pszSyntax;
            return false;
        }
    }
    fault = result;
    return true;
}

bool ApplyKey(DeviceState& state, const std::string& strKey, const std::string& strValue,
              std::string& strReason) {
    if (StartsWith(strKey, kFaultPrefix)) {
        FaultSpec fault;
        if (!ParseFault(strKey.substr(std::strlen(kFaultPrefix)), strValue, fault, strReason)) {
            return false;
        }
        state.m_faults.push_back(fault);
        return true;
    }
    if (const ScalarKey* pScalar = FindScalar(strKey)) {
        int64_t nValue;
        if (!ParseScalar(*pScalar, strValue, nValue, strReason)) return false;
        state.*(pScalar->m_pValue) = nValue;
        // A newly set temperature or drift starts without drift.
        if (StartsWith(strKey, "temperature.")) {
            state.m_nCpuDrift = 0;
            state.m_nIoDrift = 0;
        }
        return true;
    }
    if (const PartKey* pPart = FindPart(strKey)) {
        bool bPresent;
        if (!ParseBoolWord(strValue, bPresent)) {
            strReason = "expected yes or no, got " + Quote(Trim(strValue));
            return false;
        }
        state.*(pPart->m_pPresent) = bPresent;
        return true;
    }
    if (strKey == kKeyMatrixKey) {
        std::array<Byte, 16> abMatrix{};
        if (!ParseFixedBlock(strValue, abMatrix.data(), abMatrix.size(), strReason)) return false;
        state.m_abKeyMatrix = abMatrix;
        return true;
    }
    unsigned nLayer;
    if (FindLedLayer(strKey, nLayer)) {
        std::array<Byte, 32> abMatrix{};
        if (!ParseFixedBlock(strValue, abMatrix.data(), abMatrix.size(), strReason)) return false;
        state.m_abLedMatrix[nLayer] = abMatrix;
        return true;
    }
    Dword nKind;
    if (const TransferField* pField = FindTransferKey(strKey, nKind)) {
        ScalarKey range{pField->m_pszName, nullptr, pField->m_nMin, pField->m_nMax};
        int64_t nValue;
        if (!ParseScalar(range, strValue, nValue, strReason)) return false;
        state.m_transferKinds[nKind].*(pField->m_pValue) = nValue;
        return true;
    }
    Dword nItem;
    if (const ItemKey* pItem = FindItemKey(strKey, nItem)) {
        bool bAbsent;
        ItemValue value;
        if (!ParseItemValue(*pItem, nItem, strValue, bAbsent, value, strReason)) return false;
        ItemMap& map = state.*(pItem->m_pMap);
        if (bAbsent) {
            map.erase(nItem);
        } else {
            map[nItem] = value;
        }
        return true;
    }
    strReason = "unknown key " + Quote(strKey);
    return false;
}

bool FormatKey(const DeviceState& state, const std::string& strKey, std::string& strValue) {
    if (const ScalarKey* pScalar = FindScalar(strKey)) {
        strValue = std::to_string(state.*(pScalar->m_pValue));
        return true;
    }
    if (const PartKey* pPart = FindPart(strKey)) {
        strValue = state.*(pPart->m_pPresent) ? "yes" : "no";
        return true;
    }
    if (strKey == kKeyMatrixKey) {
        strValue = FormatHex(state.m_abKeyMatrix.data(), state.m_abKeyMatrix.size());
        return true;
    }
    unsigned nLayer;
    if (FindLedLayer(strKey, nLayer)) {
        strValue =
            FormatHex(state.m_abLedMatrix[nLayer].data(), state.m_abLedMatrix[nLayer].size());
        return true;
    }
    Dword nKind;
    if (const TransferField* pField = FindTransferKey(strKey, nKind)) {
        auto it = state.m_transferKinds.find(nKind);
        TransferKindSettings settings =
            it == state.m_transferKinds.end() ? TransferKindSettings() : it->second;
        strValue = std::to_string(settings.*(pField->m_pValue));
        return true;
    }
    Dword nItem;
    if (const ItemKey* pItem = FindItemKey(strKey, nItem)) {
        const ItemMap& map = state.*(pItem->m_pMap);
        auto it = map.find(nItem);
        strValue = it == map.end() ? "absent" : FormatItem(it->second);
        return true;
    }
    return false;
}

bool ParseProfile(const std::string& strText, const std::string& strFile, DeviceState& state,
                  std::vector<ProfileEntry>& entries, std::vector<ProfileError>& errors) {
    std::vector<std::string> lines;
    size_t nStart = 0;
    // A UTF-8 byte-order mark is allowed.
    if (strText.compare(0, 3, "\xEF\xBB\xBF") == 0) nStart = 3;
    while (nStart <= strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = strText.size();
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
        lines.push_back(strLine);
        nStart = nEnd + 1;
    }

    size_t nErrorsBefore = errors.size();
    std::string strSection;
    std::map<std::string, int> firstLine;
    auto fail = [&](int nLine, const std::string& strReason) {
        errors.push_back(ProfileError{strFile, nLine, strReason});
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        int nLine = static_cast<int>(i + 1);
        bool bOpenQuote = false;
        std::string strContent = Trim(StripComment(lines[i], bOpenQuote));
        if (strContent.empty() || strContent[0] == ';') continue;
        // A value ending in a backslash goes on in the next line.
        while (!bOpenQuote && !strContent.empty() && strContent.back() == '\\' &&
               i + 1 < lines.size()) {
            strContent.pop_back();
            strContent += " " + Trim(StripComment(lines[++i], bOpenQuote));
            strContent = Trim(strContent);
        }
        if (strContent[0] == '[') {
            if (strContent.back() != ']') {
                fail(nLine, "bad section header " + Quote(strContent));
                continue;
            }
            std::string strName = Lower(Trim(strContent.substr(1, strContent.size() - 2)));
            if (std::find(std::begin(kSections), std::end(kSections), strName) ==
                std::end(kSections)) {
                fail(nLine, "unknown section [" + strName + "]");
                strSection = "?";
                continue;
            }
            strSection = strName;
            continue;
        }
        size_t nEquals = strContent.find('=');
        if (nEquals == std::string::npos) {
            fail(nLine, "expected 'key = value'");
            continue;
        }
        std::string strKey = Trim(strContent.substr(0, nEquals));
        std::string strValue = Trim(strContent.substr(nEquals + 1));
        if (strKey.empty() || !std::all_of(strKey.begin(), strKey.end(), IsKeyChar)) {
            fail(nLine, "bad key " + Quote(strKey));
            continue;
        }
        if (strSection == "?") continue;  // reported at the section header
        std::string strFullKey = strSection.empty() ? strKey : strSection + "." + strKey;
        bool bFault = StartsWith(strFullKey, kFaultPrefix);
        if (!bFault) {
            auto it = firstLine.find(strFullKey);
            if (it != firstLine.end()) {
                fail(nLine, "duplicate key " + Quote(strFullKey) + " (first at line " +
                                std::to_string(it->second) + ")");
                continue;
            }
            firstLine[strFullKey] = nLine;
        }
        std::string strReason;
        if (!ApplyKey(state, strFullKey, strValue, strReason)) {
            fail(nLine, strReason);
            continue;
        }
        entries.push_back(ProfileEntry{strFullKey, strValue, nLine});
    }
    return errors.size() == nErrorsBefore;
}

const DeviceState& DefaultState() {
    static const DeviceState s_state = [] {
        DeviceState state;
        std::vector<ProfileEntry> entries;
        std::vector<ProfileError> errors;
        ParseProfile(DefaultProfileText(), "<default>", state, entries, errors);
        state.m_faults.clear();
        return state;
    }();
    return s_state;
}

bool Utf8ToWide(const std::string& strIn, std::wstring& strOut) {
    std::wstring str;
    size_t i = 0;
    while (i < strIn.size()) {
        uint32_t nCode = 0;
        size_t nLength = DecodeUtf8(strIn, i, nCode);
        if (nLength == 0) return false;
        if (sizeof(wchar_t) == 2 && nCode >= 0x10000) {
            nCode -= 0x10000;
            str += static_cast<wchar_t>(0xD800 + (nCode >> 10));
            str += static_cast<wchar_t>(0xDC00 + (nCode & 0x3FF));
        } else {
            str += static_cast<wchar_t>(nCode);
        }
        i += nLength;
    }
    strOut = str;
    return true;
}

std::string WideToUtf8(const std::wstring& strIn) {
    std::string str;
    for (size_t i = 0; i < strIn.size(); ++i) {
        uint32_t nCode = static_cast<uint32_t>(strIn[i]);
        if (sizeof(wchar_t) == 2 && nCode >= 0xD800 && nCode <= 0xDBFF && i + 1 < strIn.size()) {
            uint32_t nLow = static_cast<uint32_t>(strIn[i + 1]);
            if (nLow >= 0xDC00 && nLow <= 0xDFFF) {
                nCode = 0x10000 + ((nCode - 0xD800) << 10) + (nLow - 0xDC00);
                ++i;
            }
        }
        if (nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) nCode = 0xFFFD;
        AppendUtf8(str, nCode);
    }
    return str;
}

}  // namespace tmsim

// The 45 device operations of TmIvro.dll on the simulated device.
#include "device/TmIvro.h"

#include <array>
#include <chrono>
#include <cstring>
#include <string>

#include "simulator/SimDevice.h"

using tmsim::Byte;
using tmsim::DeviceState;
using tmsim::Dword;
using tmsim::ItemMap;
using tmsim::ItemValue;
using tmsim::kErrInsufficientBuffer;
using tmsim::kErrInvalidParameter;
using tmsim::kErrNotSupported;

namespace {

tmsim::Simulator& Sim() {
    return tmsim::Simulator::Instance();
}

std::string Arg(const char* pszName, unsigned long nValue) {
    return std::string(pszName) + "=" + std::to_string(nValue);
}

std::string Arg(const char* pszName, unsigned long nValue, const char* pszName2,
                unsigned long nValue2) {
    return Arg(pszName, nValue) + " " + Arg(pszName2, nValue2);
}

std::string HexBytes(const BYTE* pb, DWORD cb) {
    static const char s_szDigits[] = "0123456789ABCDEF";
    std::string str;
    for (DWORD i = 0; i < cb; ++i) {
        str += s_szDigits[pb[i] >> 4];
        str += s_szDigits[pb[i] & 15];
    }
    return str;
}

// A single value through a typed pointer.
template <typename T>
Dword Put(T* p, int64_t nValue) {
    if (!p) return kErrInvalidParameter;
    *p = static_cast<T>(nValue);
    return 0;
}

// A number into a selector buffer: exactly cbSize bytes (1, 2 or 4),
// little-endian, truncated or extended (negative values sign-extended).
Dword WriteNumber(void* pBuffer, DWORD cbSize, int64_t nValue) {
    if (!pBuffer) return kErrInvalidParameter;
    if (cbSize == 0) return kErrInsufficientBuffer;
    if (cbSize != 1 && cbSize != 2 && cbSize != 4) return kErrInvalidParameter;
    uint32_t nBits = static_cast<uint32_t>(nValue);
    BYTE* pb = static_cast<BYTE*>(pBuffer);
    for (DWORD i = 0; i < cbSize; ++i) pb[i] = static_cast<BYTE>(nBits >> (8 * i));
    return 0;
}

// A byte block: the buffer must hold it; the bytes beyond are zeroed.
Dword WriteBlock(void* pBuffer, DWORD cbSize, const Byte* pbData, size_t nLength) {
    if (!pBuffer) return kErrInvalidParameter;
    if (cbSize < nLength) return kErrInsufficientBuffer;
    BYTE* pb = static_cast<BYTE*>(pBuffer);
    std::memcpy(pb, pbData, nLength);
    std::memset(pb + nLength, 0, cbSize - nLength);
    return 0;
}

// A text as the device delivers it: as many characters as fit; terminated only
// when the text is shorter than the buffer.
Dword WriteText(void* pBuffer, DWORD cbSize, const std::wstring& strText) {
    if (!pBuffer) return kErrInvalidParameter;
    size_t nChars = cbSize / sizeof(WCHAR);
    if (nChars == 0) return kErrInsufficientBuffer;
    WCHAR* psz = static_cast<WCHAR*>(pBuffer);
    size_t nCopy = strText.size() < nChars ? strText.size() : nChars;
    for (size_t i = 0; i < nCopy; ++i) psz[i] = static_cast<WCHAR>(strText[i]);
    if (nCopy < nChars) psz[nCopy] = 0;
    return 0;
}

Dword WriteItem(const ItemMap& map, DWORD dwItem, void* pBuffer, DWORD cbSize) {
    auto it = map.find(dwItem);
    if (it == map.end()) return kErrNotSupported;
    const ItemValue& value = it->second;
    switch (value.m_kind) {
        case ItemValue::Kind::Text:
            return WriteText(pBuffer, cbSize, value.m_strText);
        case ItemValue::Kind::Block:
            return WriteBlock(pBuffer, cbSize, value.m_abBlock.data(), value.m_abBlock.size());
        case ItemValue::Kind::Number:
            break;
    }
    return WriteNumber(pBuffer, cbSize, value.m_nNumber);
}

// Items 0..7 of the version texts, 8..15 of the firmware values and the
// device IDs of the Ravla texts belong to FPGA, Ravla slot 1, slot 2, FPGA1.
bool SlotPresent(const DeviceState& s, DWORD dwSlot) {
    switch (dwSlot) {
        case 0:
            return s.m_bFpga;
        case 1:
            return s.m_bRavla1;
        case 2:
            return s.m_bRavla2;
        default:
            return s.m_bFpga1;
    }
}

bool FirmwareItemPresent(const DeviceState& s, DWORD dwItem) {
    if (dwItem <= 7) return SlotPresent(s, dwItem % 4);
    if (dwItem <= 15) return SlotPresent(s, (dwItem - 8) % 4);
    return true;
}

bool RavlaItemPresent(const DeviceState& s, DWORD dwItem) {
    switch (dwItem) {
        case 2:
        case 4:
            return s.m_bRavla1;
        case 3:
        case 5:
            return s.m_bRavla2;
        case 22:
            return s.m_bFpga;
        case 23:
            return s.m_bFpga1;
        default:
            return true;
    }
}

bool HasKeys(const DeviceState& s) {
    return s.m_nKeyCount > 0;
}
bool HasLeds(const DeviceState& s) {
    return s.m_nLedCount > 0;
}

Dword GetDisplayValue(BYTE* pb, const DeviceState& s, int64_t nValue) {
    if (!s.m_bDisplay) return kErrNotSupported;
    return Put(pb, nValue);
}

Dword SetPercent(const DeviceState& s, int64_t& nTarget, BYTE bPercent) {
    if (!s.m_bDisplay) return kErrNotSupported;
    if (bPercent > 100) return kErrInvalidParameter;
    nTarget = bPercent;
    return 0;
}

Dword CheckLed(const DeviceState& s, DWORD dwLayer, DWORD dwLed) {
    if (!HasLeds(s)) return kErrNotSupported;
    if (dwLayer > 3 || dwLed >= s.m_nLedCount) return kErrInvalidParameter;
    return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI IvroGetDeviceType(DWORD* pdwType) {
    return Sim().Run(__func__, false, 0, "",
                     [&](DeviceState& s) { return Put(pdwType, s.m_nType); });
}

BOOL WINAPI IvroSetWmiMode(BOOL bEnable) {
    return Sim().Run(__func__, false, 0, Arg("enable", bEnable ? 1 : 0), [&](DeviceState& s) {
        s.m_nWmiMode = bEnable ? 1 : 0;
        return Dword(0);
    });
}

BOOL WINAPI IvroGetWmiMode(DWORD* pdwMode) {
    return Sim().Run(__func__, false, 0, "",
                     [&](DeviceState& s) { return Put(pdwMode, s.m_nWmiMode); });
}

BOOL WINAPI IvroGetKeyCount(BYTE* pbCount) {
    return Sim().Run(__func__, false, 0, "",
                     [&](DeviceState& s) { return Put(pbCount, s.m_nKeyCount); });
}

BOOL WINAPI IvroGetLedCount(BYTE* pbCount) {
    return Sim().Run(__func__, false, 0, "",
                     [&](DeviceState& s) { return Put(pbCount, s.m_nLedCount); });
}

BOOL WINAPI IvroGetDisplayType(BYTE* pbType) {
    return Sim().Run(__func__, false, 0, "",
                     [&](DeviceState& s) { return GetDisplayValue(pbType, s, s.m_nDisplayType); });
}

BOOL WINAPI IvroGetBrightness(BYTE* pbPercent) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return GetDisplayValue(pbPercent, s, s.m_nBrightness);
    });
}

BOOL WINAPI IvroSetBrightness(BYTE bPercent) {
    return Sim().Run(__func__, false, 0, Arg("value", bPercent),
                     [&](DeviceState& s) { return SetPercent(s, s.m_nBrightness, bPercent); });
}

BOOL WINAPI IvroGetDefaultBrightness(BYTE* pbPercent) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return GetDisplayValue(pbPercent, s, s.m_nBrightnessDefault);
    });
}

BOOL WINAPI IvroSetDefaultBrightness(BYTE bPercent) {
    return Sim().Run(__func__, false, 0, Arg("value", bPercent), [&](DeviceState& s) {
        return SetPercent(s, s.m_nBrightnessDefault, bPercent);
    });
}

BOOL WINAPI IvroGetFactoryBrightness(BYTE* pbPercent) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return GetDisplayValue(pbPercent, s, s.m_nBrightnessFactory);
    });
}

BOOL WINAPI IvroGetContrast(BYTE* pbPercent) {
    return Sim().Run(__func__, false, 0, "",
                     [&](DeviceState& s) { return GetDisplayValue(pbPercent, s, s.m_nContrast); });
}

BOOL WINAPI IvroSetContrast(BYTE bPercent) {
    return Sim().Run(__func__, false, 0, Arg("value", bPercent),
                     [&](DeviceState& s) { return SetPercent(s, s.m_nContrast, bPercent); });
}

BOOL WINAPI IvroGetDefaultContrast(BYTE* pbPercent) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return GetDisplayValue(pbPercent, s, s.m_nContrastDefault);
    });
}

BOOL WINAPI IvroSetDefaultContrast(BYTE bPercent) {
    return Sim().Run(__func__, false, 0, Arg("value", bPercent),
                     [&](DeviceState& s) { return SetPercent(s, s.m_nContrastDefault, bPercent); });
}

BOOL WINAPI IvroGetFactoryContrast(BYTE* pbPercent) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return GetDisplayValue(pbPercent, s, s.m_nContrastFactory);
    });
}

BOOL WINAPI IvroGetTemperature(DWORD dwSensor, void* pBuffer, DWORD cbSize) {
    return Sim().Run(__func__, true, dwSensor, Arg("sensor", dwSensor, "size", cbSize),
                     [&](DeviceState& s) {
                         if (dwSensor > 1) return kErrInvalidParameter;
                         int nValue = dwSensor == 0 ? s.CpuTemperature() : s.IoTemperature();
                         return WriteNumber(pBuffer, cbSize, nValue);
                     });
}

BOOL WINAPI IvroGetSwitch(DWORD dwItem, void* pBuffer, DWORD cbSize) {
    return Sim().Run(
        __func__, true, dwItem, Arg("item", dwItem, "size", cbSize), [&](DeviceState& s) {
            if (dwItem > 1) return kErrInvalidParameter;
            return WriteNumber(pBuffer, cbSize, dwItem == 0 ? s.m_nModeNode : s.m_nWriteProtect);
        });
}

BOOL WINAPI IvroGetFactoryValue(DWORD dwItem, void* pBuffer, DWORD cbSize) {
    return Sim().Run(
        __func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
        [&](DeviceState& s) { return WriteItem(s.m_factoryValues, dwItem, pBuffer, cbSize); });
}

BOOL WINAPI IvroGetFactoryText(DWORD dwItem, WCHAR* pszText, DWORD cbSize) {
    return Sim().Run(
        __func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
        [&](DeviceState& s) { return WriteItem(s.m_factoryTexts, dwItem, pszText, cbSize); });
}

BOOL WINAPI IvroGetKeyCodesEnabled(DWORD* pdwEnabled) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return HasKeys(s) ? Put(pdwEnabled, s.m_nKeyCodesEnabled) : kErrNotSupported;
    });
}

BOOL WINAPI IvroSetKeyCodesEnabled(BOOL bEnable) {
    return Sim().Run(__func__, false, 0, Arg("enable", bEnable ? 1 : 0), [&](DeviceState& s) {
        if (!HasKeys(s)) return kErrNotSupported;
        s.m_nKeyCodesEnabled = bEnable ? 1 : 0;
        return Dword(0);
    });
}

BOOL WINAPI IvroGetKeyLayer(BYTE* pbLayer) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return HasKeys(s) ? Put(pbLayer, s.m_nKeyLayer) : kErrNotSupported;
    });
}

BOOL WINAPI IvroSetKeyLayer(BYTE bLayer) {
    return Sim().Run(__func__, false, 0, Arg("layer", bLayer), [&](DeviceState& s) {
        if (!HasKeys(s)) return kErrNotSupported;
        if (bLayer > 3) return kErrInvalidParameter;
        s.m_nKeyLayer = bLayer;
        return Dword(0);
    });
}

BOOL WINAPI IvroGetKeyLayerMode(BYTE* pbMode) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return HasKeys(s) ? Put(pbMode, s.m_nKeyLayerMode) : kErrNotSupported;
    });
}

BOOL WINAPI IvroGetKeyMatrix(BYTE* pbMatrix, DWORD cbSize) {
    return Sim().Run(__func__, false, 0, Arg("size", cbSize), [&](DeviceState& s) {
        if (!HasKeys(s)) return kErrNotSupported;
        const auto nNowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
        const std::array<Byte, 16> abMatrix = s.KeyMatrixAt(static_cast<int64_t>(nNowMs));
        return WriteBlock(pbMatrix, cbSize, abMatrix.data(), abMatrix.size());
    });
}

BOOL WINAPI IvroGetKeySwitches(BYTE* pbSwitches, DWORD cbSize) {
    return Sim().Run(__func__, false, 0, Arg("size", cbSize), [&](DeviceState& s) {
        return HasKeys(s) ? WriteNumber(pbSwitches, cbSize, s.m_nKeySwitches) : kErrNotSupported;
    });
}

BOOL WINAPI IvroGetKeyConfigValid(DWORD* pdwValid) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return HasKeys(s) ? Put(pdwValid, s.m_nKeyConfigValid) : kErrNotSupported;
    });
}

BOOL WINAPI IvroGetKeyConfigInfo(DWORD dwItem, WCHAR* pszText, DWORD cbSize) {
    return Sim().Run(__func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
                     [&](DeviceState& s) {
                         if (!HasKeys(s)) return kErrNotSupported;
                         return WriteItem(s.m_keyConfigInfo, dwItem, pszText, cbSize);
                     });
}

BOOL WINAPI IvroGetLedState(BYTE bLayer, BYTE bLed, BYTE* pbState) {
    return Sim().Run(__func__, true, bLed, Arg("layer", bLayer, "led", bLed), [&](DeviceState& s) {
        Dword nError = CheckLed(s, bLayer, bLed);
        return nError ? nError : Put(pbState, s.LedState(bLayer, bLed));
    });
}

BOOL WINAPI IvroSetLedState(BYTE bLayer, BYTE bLed, BYTE bState) {
    return Sim().Run(__func__, true, bLed,
                     Arg("layer", bLayer, "led", bLed) + " " + Arg("state", bState),
                     [&](DeviceState& s) {
                         Dword nError = CheckLed(s, bLayer, bLed);
                         if (nError) return nError;
                         if (bState > 3) return kErrInvalidParameter;
                         s.SetLedState(bLayer, bLed, bState);
                         return Dword(0);
                     });
}

BOOL WINAPI IvroGetLedMatrix(DWORD dwLayer, BYTE* pbMatrix, DWORD cbSize) {
    return Sim().Run(__func__, true, dwLayer, Arg("layer", dwLayer, "size", cbSize),
                     [&](DeviceState& s) {
                         if (!HasLeds(s)) return kErrNotSupported;
                         if (dwLayer > 3) return kErrInvalidParameter;
                         const auto& abMatrix = s.m_abLedMatrix[dwLayer];
                         return WriteBlock(pbMatrix, cbSize, abMatrix.data(), abMatrix.size());
                     });
}

BOOL WINAPI IvroSetLedMatrix(DWORD dwLayer, const BYTE* pbMatrix, DWORD cbSize) {
    std::string strArgs = Arg("layer", dwLayer, "size", cbSize);
    if (pbMatrix && cbSize == 32) strArgs += " data=" + HexBytes(pbMatrix, cbSize);
    return Sim().Run(__func__, true, dwLayer, strArgs, [&](DeviceState& s) {
        if (!HasLeds(s)) return kErrNotSupported;
        if (dwLayer > 3 || !pbMatrix || cbSize != s.m_abLedMatrix[0].size()) {
            return kErrInvalidParameter;
        }
        std::memcpy(s.m_abLedMatrix[dwLayer].data(), pbMatrix, cbSize);
        return Dword(0);
    });
}

// Every LED of the device in all four layers.
BOOL WINAPI IvroSetAllLeds(BYTE bState) {
    return Sim().Run(__func__, false, 0, Arg("state", bState), [&](DeviceState& s) {
        if (!HasLeds(s)) return kErrNotSupported;
        if (bState > 3) return kErrInvalidParameter;
        for (unsigned nLayer = 0; nLayer < 4; ++nLayer) {
            for (unsigned nLed = 0; nLed < s.m_nLedCount; ++nLed)
                s.SetLedState(nLayer, nLed, bState);
        }
        return Dword(0);
    });
}

BOOL WINAPI IvroGetFirmwareValue(DWORD dwItem, void* pBuffer, DWORD cbSize) {
    return Sim().Run(__func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
                     [&](DeviceState& s) {
                         if (!FirmwareItemPresent(s, dwItem)) return kErrNotSupported;
                         return WriteItem(s.m_firmware, dwItem, pBuffer, cbSize);
                     });
}

BOOL WINAPI IvroGetVersionText(DWORD dwItem, WCHAR* pszText, DWORD cbSize) {
    return Sim().Run(__func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
                     [&](DeviceState& s) {
                         if (!FirmwareItemPresent(s, dwItem)) return kErrNotSupported;
                         return WriteItem(s.m_versions, dwItem, pszText, cbSize);
                     });
}

BOOL WINAPI IvroGetRavlaText(DWORD dwItem, WCHAR* pszText, DWORD cbSize) {
    return Sim().Run(__func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
                     [&](DeviceState& s) {
                         if (!RavlaItemPresent(s, dwItem)) return kErrNotSupported;
                         return WriteItem(s.m_ravlaTexts, dwItem, pszText, cbSize);
                     });
}

BOOL WINAPI IvroDownloadFile(const WCHAR* pszPath, DWORD dwKind, TransferProgressProc pfnProgress,
                             void* pContext) {
    return Sim().Transfer(__func__, true, pszPath, dwKind, pfnProgress, pContext);
}

BOOL WINAPI IvroUploadFile(const WCHAR* pszPath, DWORD dwKind, TransferProgressProc pfnProgress,
                           void* pContext) {
    return Sim().Transfer(__func__, false, pszPath, dwKind, pfnProgress, pContext);
}

BOOL WINAPI IvroGetTransferInfo(DWORD dwItem, DWORD* pdwValue, DWORD cbSize) {
    return Sim().GetTransferInfo(dwItem, pdwValue, cbSize);
}

BOOL WINAPI IvroGetUserLed(BYTE* pbState) {
    return Sim().Run(__func__, false, 0, "", [&](DeviceState& s) {
        return s.m_bUserLed ? Put(pbState, s.m_nUserLed) : kErrNotSupported;
    });
}

BOOL WINAPI IvroSetUserLed(BYTE bState) {
    return Sim().Run(__func__, false, 0, Arg("state", bState), [&](DeviceState& s) {
        if (!s.m_bUserLed) return kErrNotSupported;
        if (bState > 3) return kErrInvalidParameter;
        s.m_nUserLed = bState;
        return Dword(0);
    });
}

BOOL WINAPI IvroGetUserSerialId(DWORD* pdwId) {
    return Sim().Run(__func__, false, 0, "",
                     [&](DeviceState& s) { return Put(pdwId, s.m_nUserSerialId); });
}

BOOL WINAPI IvroGetUserLogoText(DWORD dwItem, WCHAR* pszText, DWORD cbSize) {
    return Sim().Run(__func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
                     [&](DeviceState& s) {
                         if (!s.m_bUserLogo) return kErrNotSupported;
                         return WriteItem(s.m_logoTexts, dwItem, pszText, cbSize);
                     });
}

BOOL WINAPI IvroGetUserLogoValue(DWORD dwItem, void* pBuffer, DWORD cbSize) {
    return Sim().Run(__func__, true, dwItem, Arg("item", dwItem, "size", cbSize),
                     [&](DeviceState& s) {
                         if (!s.m_bUserLogo) return kErrNotSupported;
                         return WriteItem(s.m_logoValues, dwItem, pBuffer, cbSize);
                     });
}

}  // extern "C"

#include "simulator/SimTransferFile.h"

#include <algorithm>
#include <cstring>

namespace tmsim {

namespace {

const char kMagic[8] = {'T', 'M', 'I', 'V', 'R', 'O', 'X', 'F'};

void PutDword(std::vector<Byte>& ab, size_t nOffset, Dword nValue) {
    for (int i = 0; i < 4; ++i) ab[nOffset + i] = static_cast<Byte>(nValue >> (8 * i));
}

Dword GetDword(const std::vector<Byte>& ab, size_t nOffset) {
    Dword nValue = 0;
    for (int i = 0; i < 4; ++i) nValue |= static_cast<Dword>(ab[nOffset + i]) << (8 * i);
    return nValue;
}

}  // namespace

Dword Crc32(const Byte* pb, size_t nSize) {
    Dword nCrc = 0xFFFFFFFFu;
    for (size_t i = 0; i < nSize; ++i) {
        nCrc ^= pb[i];
        for (int nBit = 0; nBit < 8; ++nBit) nCrc = (nCrc >> 1) ^ (0xEDB88320u & (0u - (nCrc & 1)));
    }
    return ~nCrc;
}

std::vector<Byte> SampleTransferData(Dword nKind, Dword nVersion, size_t nSize) {
    std::vector<Byte> ab(nSize);
    Dword nState = 0x9E3779B9u ^ (nKind * 0x01000193u) ^ nVersion;
    for (size_t i = 0; i < nSize; ++i) {
        // xorshift32: cheap, deterministic filler.
        nState ^= nState << 13;
        nState ^= nState >> 17;
        nState ^= nState << 5;
        ab[i] = static_cast<Byte>(nState);
    }
    return ab;
}

std::vector<Byte> BuildTransferFile(Dword nKind, Dword nDevice, Dword nVersion,
                                    const std::vector<Byte>& abData) {
    // Sized once and copied into: GCC 12 at -O2 warns falsely (array-bounds)
    // about appending to the 28-byte header with insert.
    std::vector<Byte> ab(kTransferHeaderSize + abData.size());
    std::memcpy(ab.data(), kMagic, sizeof(kMagic));
    PutDword(ab, 8, nKind);
    PutDword(ab, 12, nDevice);
    PutDword(ab, 16, nVersion);
    PutDword(ab, 20, static_cast<Dword>(abData.size()));
    PutDword(ab, 24, Crc32(abData.data(), abData.size()));
    std::copy(abData.begin(), abData.end(), ab.begin() + kTransferHeaderSize);
    return ab;
}

bool ReadTransferHeader(const std::vector<Byte>& abFile, TransferFileHeader& header) {
    if (abFile.size() < kTransferHeaderSize) return false;
    if (std::memcmp(abFile.data(), kMagic, sizeof(kMagic)) != 0) return false;
    header.m_nKind = GetDword(abFile, 8);
    header.m_nDevice = GetDword(abFile, 12);
    header.m_nVersion = GetDword(abFile, 16);
    header.m_nSize = GetDword(abFile, 20);
    header.m_nChecksum = GetDword(abFile, 24);
    return true;
}

Dword CheckTransferFile(const std::vector<Byte>& abFile, Dword nKind, Dword nDevice,
                        const TransferKindSettings& settings) {
    if (abFile.size() < kTransferHeaderSize) return 1;
    TransferFileHeader header;
    if (!ReadTransferHeader(abFile, header) || header.m_nKind != nKind) return 5;
    if (header.m_nSize == 0 || header.m_nSize > kMaxTransferData ||
        abFile.size() - kTransferHeaderSize != header.m_nSize)
        return 1;
    if (header.m_nDevice != nDevice) return 6;
    if (Crc32(abFile.data() + kTransferHeaderSize, header.m_nSize) != header.m_nChecksum) return 7;
    if (header.m_nVersion < settings.m_nMinVersion) return 3;
    if (header.m_nVersion > settings.m_nMaxVersion) return 4;
    if (header.m_nVersion < settings.m_nVersion) return 2;
    return 0;
}

}  // namespace tmsim

// The simulator's transfer file format: a 28-byte header and the data.
// All numbers little-endian:
//   0  8  magic "TMIVROXF"
//   8  4  kind code (0 KCF, 7 BIOS, 8 FPGA, 9/10 Ravla slot 1/2, 11 FPGA1, 12 logo)
//  12  4  device id: the device type the data is meant for (4, 5, ...)
//  16  4  version of the data
//  20  4  data size N in bytes
//  24  4  CRC-32 of the N data bytes (the common IEEE 802.3 / zlib CRC)
//  28  N  data
// No Win32 here: the simulator, its tools and the tests share these rules.
#pragma once

#include <cstddef>
#include <vector>

#include "simulator/SimProfile.h"

namespace tmsim {

constexpr size_t kTransferHeaderSize = 28;
constexpr Dword kMaxTransferData = 16 * 1024 * 1024;

struct TransferFileHeader {
    Dword m_nKind = 0;
    Dword m_nDevice = 0;
    Dword m_nVersion = 0;
    Dword m_nSize = 0;
    Dword m_nChecksum = 0;
};

Dword Crc32(const Byte* pb, size_t nSize);

// Data bytes that depend on kind and version only, so that files made twice
// are equal.
std::vector<Byte> SampleTransferData(Dword nKind, Dword nVersion, size_t nSize);

// A well-formed file: the header with the data's size and checksum, then the data.
std::vector<Byte> BuildTransferFile(Dword nKind, Dword nDevice, Dword nVersion,
                                    const std::vector<Byte>& abData);

// The header fields; false if the file is shorter than a header or does not
// start with the magic.
bool ReadTransferHeader(const std::vector<Byte>& abFile, TransferFileHeader& header);

// The library's check of a file for a kind on a device, in this order:
// shorter than a header 1 (size), wrong magic or kind 5, data size not as
// declared (or 0, or above the limit) 1, other device 6, checksum 7, version
// below the minimum 3, above the maximum 4, below the version the device
// holds 2 (older: the download asks and may go on). 0 = good.
Dword CheckTransferFile(const std::vector<Byte>& abFile, Dword nKind, Dword nDevice,
                        const TransferKindSettings& settings);

}  // namespace tmsim

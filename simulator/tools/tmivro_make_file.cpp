// tmivro_make_file: writes a transfer file of the simulator's format, good or
// deliberately damaged, and tells what check result the device of a profile
// would give it.
//
//   tmivro_make_file [--profile FILE] [--device N] [--version N] [--size N]
//                    [--damage checksum|size|magic] KIND FILE
//
// KIND is kcf, bios, fpga, ravla1, ravla2, fpga1, userlogo or a kind code.
// Device and version default to the profile's device type and the kind's
// version plus one (a newer file); the profile defaults to the embedded one.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "simulator/SimProfile.h"
#include "simulator/SimTransferFile.h"

namespace {

int Usage() {
    std::cerr << "usage: tmivro_make_file [--profile FILE] [--device N] [--version N] [--size N]\n"
                 "                        [--damage checksum|size|magic] KIND FILE\n"
                 "KIND: kcf, bios, fpga, ravla1, ravla2, fpga1, userlogo or a kind code\n";
    return 2;
}

bool ParseNumber(const std::string& str, unsigned long long nMax, unsigned long long& nValue) {
    if (str.empty()) return false;
    char* pEnd = nullptr;
    nValue = std::strtoull(str.c_str(), &pEnd, 0);
    return *pEnd == '\0' && str[0] != '-' && nValue <= nMax;
}

bool ParseKind(const std::string& str, tmsim::Dword& nKind) {
    for (const tmsim::TransferKindInfo& info : tmsim::TransferKinds()) {
        if (str == info.m_pszName) {
            nKind = info.m_nKind;
            return true;
        }
    }
    unsigned long long nValue;
    if (!ParseNumber(str, 0xFFFFFFFFull, nValue)) return false;
    nKind = static_cast<tmsim::Dword>(nValue);
    return true;
}

const char* CheckText(tmsim::Dword nCheck) {
    static const char* const s_texts[] = {"good",
                                          "size wrong",
                                          "older than the device's (asks first)",
                                          "version too low",
                                          "version too high",
                                          "not data of this kind",
                                          "not for this device",
                                          "checksum wrong"};
    return nCheck < 8 ? s_texts[nCheck] : "?";
}

}  // namespace

int main(int argc, char** argv) {
    std::string strProfile, strDamage;
    bool bDevice = false, bVersion = false;
    unsigned long long nDevice = 0, nVersion = 0, nSize = 4096;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string strArg = argv[i];
        bool bHasValue = i + 1 < argc;
        if (strArg == "--profile" && bHasValue) {
            strProfile = argv[++i];
        } else if (strArg == "--device" && bHasValue) {
            if (!ParseNumber(argv[++i], 0xFFFFFFFFull, nDevice)) return Usage();
            bDevice = true;
        } else if (strArg == "--version" && bHasValue) {
            if (!ParseNumber(argv[++i], 0xFFFFFFFFull, nVersion)) return Usage();
            bVersion = true;
        } else if (strArg == "--size" && bHasValue) {
            if (!ParseNumber(argv[++i], tmsim::kMaxTransferData, nSize) || nSize == 0)
                return Usage();
        } else if (strArg == "--damage" && bHasValue) {
            strDamage = argv[++i];
            if (strDamage != "checksum" && strDamage != "size" && strDamage != "magic")
                return Usage();
        } else if (strArg.compare(0, 2, "--") == 0) {
            return Usage();
        } else {
            args.push_back(strArg);
        }
    }
    tmsim::Dword nKind = 0;
    if (args.size() != 2 || !ParseKind(args[0], nKind)) return Usage();

    tmsim::DeviceState state = tmsim::DefaultState();
    if (!strProfile.empty()) {
        std::string strName = tmsim::Printable(strProfile);
        std::string strText, strReason;
        if (!tmsim::ReadProfileFile(strProfile, strText, strReason)) {
            std::cerr << "cannot read " << strName << ": " << strReason << "\n";
            return 1;
        }
        std::vector<tmsim::ProfileEntry> entries;
        std::vector<tmsim::ProfileError> errors;
        if (!tmsim::ParseProfile(strText, strName, state, entries, errors)) {
            std::cerr << tmsim::FormatErrors(errors) << "\n";
            return 1;
        }
    }
    tmsim::TransferKindSettings settings = state.m_transferKinds[nKind];
    if (!bDevice) nDevice = static_cast<unsigned long long>(state.m_nType);
    if (!bVersion) nVersion = static_cast<unsigned long long>(settings.m_nVersion) + 1;

    auto nVersionValue = static_cast<tmsim::Dword>(nVersion);
    std::vector<tmsim::Byte> abFile = tmsim::BuildTransferFile(
        nKind, static_cast<tmsim::Dword>(nDevice), nVersionValue,
        tmsim::SampleTransferData(nKind, nVersionValue, static_cast<size_t>(nSize)));
    if (strDamage == "checksum") abFile.back() ^= 0x5A;
    if (strDamage == "size") abFile.pop_back();
    if (strDamage == "magic") abFile[0] = 'X';

    std::ofstream out(args[1], std::ios::out | std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(abFile.data()),
              static_cast<std::streamsize>(abFile.size()));
    out.close();
    if (!out) {
        std::cerr << args[1] << ": cannot write the file\n";
        return 1;
    }
    tmsim::Dword nCheck =
        tmsim::CheckTransferFile(abFile, nKind, static_cast<tmsim::Dword>(state.m_nType), settings);
    std::cout << args[1] << ": kind " << nKind << ", device " << nDevice << ", version " << nVersion
              << ", " << nSize << " data bytes; check result on the profile's device: " << nCheck
              << " (" << CheckText(nCheck) << ")\n";
    return 0;
}

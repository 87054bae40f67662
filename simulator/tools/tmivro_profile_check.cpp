// tmivro_profile_check PROFILE...: checks simulator profiles with the rules of
// the simulator itself. Prints "file:line: reason" for the bad lines (the
// first 20 of a file, then how many more) or "cannot read FILE: why" to
// stderr; exits 1 if any profile is bad or unreadable, 0 if all are good.
#include <iostream>
#include <string>
#include <vector>

#include "simulator/SimProfile.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: tmivro_profile_check PROFILE...\n";
        return 2;
    }
    int nResult = 0;
    for (int i = 1; i < argc; ++i) {
        std::string strName = tmsim::Printable(argv[i]);
        std::string strText, strReason;
        if (!tmsim::ReadProfileFile(argv[i], strText, strReason)) {
            std::cerr << "cannot read " << strName << ": " << strReason << "\n";
            nResult = 1;
            continue;
        }
        tmsim::DeviceState state = tmsim::DefaultState();
        std::vector<tmsim::ProfileEntry> entries;
        std::vector<tmsim::ProfileError> errors;
        if (tmsim::ParseProfile(strText, strName, state, entries, errors)) {
            std::cout << strName << ": ok, device type " << state.m_nType << "\n";
        } else {
            std::cerr << tmsim::FormatErrors(errors) << "\n";
            nResult = 1;
        }
    }
    return nResult;
}

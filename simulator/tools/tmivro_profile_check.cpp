// tmivro_profile_check PROFILE...: checks simulator profiles with the rules of
// the simulator itself. Prints "file:line: reason" for every bad line to
// stderr; exits 1 if any profile is bad, 0 if all are good.
#include <fstream>
#include <iostream>
#include <sstream>
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
        std::ifstream in(argv[i], std::ios::in | std::ios::binary);
        if (!in) {
            std::cerr << argv[i] << ":0: cannot read the file\n";
            nResult = 1;
            continue;
        }
        std::ostringstream text;
        text << in.rdbuf();
        tmsim::DeviceState state = tmsim::DefaultState();
        std::vector<tmsim::ProfileEntry> entries;
        std::vector<tmsim::ProfileError> errors;
        if (tmsim::ParseProfile(text.str(), argv[i], state, entries, errors)) {
            std::cout << argv[i] << ": ok, device type " << state.m_nType << "\n";
        } else {
            for (const tmsim::ProfileError& error : errors) std::cerr << error.Format() << "\n";
            nResult = 1;
        }
    }
    return nResult;
}

// The command line of the report tool.
#include <gtest/gtest.h>

#include <vector>

#include "tool/ReportToolArgs.h"

namespace {

bool Parse(std::vector<const wchar_t*> args, CReportToolArgs& rArgs, std::wstring& rError) {
    args.insert(args.begin(), L"TmRoveReport.exe");
    return ParseReportToolArgs(static_cast<int>(args.size()), args.data(), rArgs, rError);
}

int Count(const CReportSections& s) {
    return s.bIvronet + s.bBios + s.bMemory + s.bFactory + s.bDisplay + s.bFirmware + s.bKeyConfig +
           s.bKeysLeds + s.bTemperatures + s.bSwitches + s.bCpu + s.bWindows + s.bRavla + s.bUser;
}

}  // namespace

TEST(ReportToolArgs, SectionsByEitherNameOutAndWhatIsRefused) {
    CReportToolArgs args;
    std::wstring error;
    ASSERT_TRUE(Parse({}, args, error));
    EXPECT_EQ(14, Count(args.sections));
    EXPECT_TRUE(args.strOut.empty());
    EXPECT_FALSE(args.bHelp);

    ASSERT_TRUE(
        Parse({L"-SECTIONS: Temperaturen ,keys,speicher", L"/Out:C:\\r\\a b.txt"}, args, error));
    EXPECT_EQ(3, Count(args.sections));
    EXPECT_TRUE(args.sections.bTemperatures && args.sections.bKeysLeds && args.sections.bMemory);
    EXPECT_EQ(L"C:\\r\\a b.txt", args.strOut);
    ASSERT_TRUE(Parse({L"/sections:cpu,all"}, args, error));
    EXPECT_EQ(14, Count(args.sections));
    ASSERT_TRUE(Parse({L"/?"}, args, error));
    EXPECT_TRUE(args.bHelp);

    const std::vector<std::vector<const wchar_t*>> bad = {{L"/sections:cpu,disk"},
                                                          {L"/sections:"},
                                                          {L"/sections:cpu,"},
                                                          {L"/out:"},
                                                          {L"/out:a", L"/out:b"},
                                                          {L"/sections:cpu", L"/sections:bios"},
                                                          {L"report.txt"},
                                                          {L"/sections"},
                                                          {L"/verbose"}};
    for (const auto& line : bad) {
        error.clear();
        EXPECT_FALSE(Parse(line, args, error)) << line[0];
        EXPECT_FALSE(error.empty()) << line[0];
    }
    Parse({L"/sections:cpu,Disk"}, args, error);
    EXPECT_EQ(L"unknown section \"disk\"", error);
}

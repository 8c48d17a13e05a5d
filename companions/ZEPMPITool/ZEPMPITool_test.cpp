// Tests of the MPI launcher companion.
#include "ZEPMPITool.h"

#include <gtest/gtest.h>

#include <string>

#include "CompanionText.h"

namespace {

using zep::companions::MapLibraryPath;
using zep::companions::SplitWindowsCommandLine;
using zep::companions::Utf8ToWide;

TEST(ZEPMPITool, ConfigurationGivesTheRunFolderAsTheLaunchersWorkingFolderAndAccountsNeedNoPreparation) {
    CZEPMPITool tool;
    EXPECT_EQ(std::wstring(tool.GetIntelMPIConfigurationStringForMpiexec(L"/data/run1")),
              L"-wdir /data/run1 ");

    // The library builds the folder with backslashes and may put blanks in it: the launcher gets one
    // argument, in the form this system opens.
    const std::string built = "C:\\Projects\\My Run\\";
    std::wstring text = tool.GetIntelMPIConfigurationStringForMpiexec(Utf8ToWide(built).c_str());
    ASSERT_GT(text.size(), 1u);
    EXPECT_EQ(text.back(), L' ') << "the library puts further options right after the text";
    std::string utf8 = zep::companions::WideToUtf8(text);
    EXPECT_EQ(SplitWindowsCommandLine(utf8.c_str()),
              (std::vector<std::string>{"-wdir", MapLibraryPath(built.c_str())}));
    // Glued to the machine-file option as the library writes it, the two still come apart.
    EXPECT_EQ(SplitWindowsCommandLine((utf8 + "-machinefile \"/r/machines.txt\"").c_str()).size(), 4u);

    // A double quote inside the folder does not end the argument early.
    text = tool.GetIntelMPIConfigurationStringForMpiexec(L"/data/a \"b\"");
    utf8 = zep::companions::WideToUtf8(text);
    EXPECT_EQ(SplitWindowsCommandLine(utf8.c_str()), (std::vector<std::string>{"-wdir", "/data/a \"b\""}));

    ASSERT_NE(tool.GetIntelMPIConfigurationStringForMpiexec(nullptr), nullptr);
    EXPECT_EQ(std::wstring(tool.GetIntelMPIConfigurationStringForMpiexec(L"")), L"");

    EXPECT_EQ(tool.ConvertAcc2RegistryForIntelMPI(L"C:\\Tarvik3D\\", false), 0);
    EXPECT_EQ(tool.ConvertAcc2RegistryForIntelMPI(nullptr, false), 0);
}

}  // namespace

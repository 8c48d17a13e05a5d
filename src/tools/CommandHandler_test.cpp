#include "tools/CommandHandler.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace {

TEST(CommandHandler, ArgumentsGiveTheRunPaths) {
    CommandHandler h(1);
    EXPECT_EQ((std::vector<long>{h.m_pFileIO->m_iDebug, h.m_pFileIO->m_imyid, h.m_iStatus, h.m_nproc,
                                 h.m_iMinPort, h.m_iMaxPort, h.m_lJobID}),
              (std::vector<long>{1, 0, 0, -1, 10000, 11000, -1}));

    h.SetCommandArguments(3, "cmd", "C:\\Zep\\", "D:\\Work\\ProjA", "Part", "solver.exe", "01");
    EXPECT_EQ(h.m_iCommand, 3);
    std::string paths;
    for (const std::string& s :
         {h.m_sWinRunPath, h.m_sWinRunFile, h.m_sCMXName, h.m_sPPPName, h.m_sPWFName, h.m_sMPIName,
          h.m_sExeFullPath, h.m_sAccIniPath, h.m_sLinProjectDir, h.m_sLinRunPath, h.m_sLinRunFile,
          h.m_sBaseName, h.m_sExeName, h.m_sInstallDir, h.m_sCommandLine})
        paths += s + "\n";
    EXPECT_EQ(paths, zep::testing::ReadFile(zep::testing::DataPath("tools/run-paths.txt")));
}

TEST(CommandHandler, LinuxProjectFolderStartsAtTheWorkingFolder) {
    CommandHandler handler(0);
    const struct {
        const char* project;
        const char* node;
    } cases[] = {
        {"\\\\srv\\ZEP_WorkingFolder\\A\\B", "/ZEP_WorkingFolder/A/B"},
        {"\\\\server\\ZEP_WorkingFolder\\ProjA", "/ZEP_WorkingFolder/ProjA"},
        {"Proj", "/ZEP_WorkingFolder/Proj"},
        {"", "/ZEP_WorkingFolder/"},
        {"/mnt/x/ZEP_WorkingFolder/ZEP_WorkingFolder/p", "/ZEP_WorkingFolder/ZEP_WorkingFolder/p"},
        {"/zep_workingfolder/p", "/ZEP_WorkingFolder/zep_workingfolder/p"},
    };
    for (const auto& c : cases) {
        handler.SetLinuxProjectDir(c.project);
        EXPECT_EQ(handler.m_sLinProjectDir, c.node) << c.project;
    }
    // Null texts are taken as empty ones.
    handler.SetCommandArguments(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(handler.m_sCMXName, "/Analysis/Run/.cmx");
    EXPECT_EQ(handler.m_sLinRunPath, "/ZEP_WorkingFolder//Analysis/Run");
}

}  // namespace

// Tests of the argument intake: the run paths and the project folder as the Linux node sees it.
#include "tools/CommandHandler.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandHandler, ArgumentsGiveTheRunPaths) {
    CommandHandler handler(1);
    EXPECT_EQ(handler.m_pFileIO->m_iDebug, 1);
    EXPECT_EQ(handler.m_pFileIO->m_imyid, 0);
    EXPECT_EQ(handler.m_iStatus, 0);
    EXPECT_EQ(handler.m_nproc, -1);
    EXPECT_EQ(handler.m_iMinPort, 10000);
    EXPECT_EQ(handler.m_iMaxPort, 11000);
    EXPECT_EQ(handler.m_lJobID, -1);

    handler.SetCommandArguments(3, "cmd", "C:\\Zep\\", "D:\\Work\\ProjA", "Part", "solver.exe", "01");
    EXPECT_EQ(handler.m_iCommand, 3);
    EXPECT_EQ(handler.m_sCommandLine, "cmd");
    EXPECT_EQ(handler.m_sWinRunPath, "D:\\Work\\ProjA/Analysis/Run01");
    EXPECT_EQ(handler.m_sWinRunFile, "D:\\Work\\ProjA/Analysis/Run01/Part01");
    EXPECT_EQ(handler.m_sCMXName, "D:\\Work\\ProjA/Analysis/Run01/Part01.cmx");
    EXPECT_EQ(handler.m_sPPPName, "D:\\Work\\ProjA/Analysis/Run01/Part01.ppp");
    EXPECT_EQ(handler.m_sPWFName, "D:\\Work\\ProjA/Analysis/Run01/Part01.pwf");
    EXPECT_EQ(handler.m_sMPIName, "C:\\Zep\\Bin\\IntelMPI\\impiexec.exe");
    EXPECT_EQ(handler.m_sExeFullPath, "C:\\Zep\\\\Bin\\solver.exe");
    EXPECT_EQ(handler.m_sAccIniPath, "C:\\Zep\\Bin\\ACC.ini");
    EXPECT_EQ(handler.m_sLinProjectDir, "/ZEP_WorkingFolder/Work/ProjA");
    EXPECT_EQ(handler.m_sLinRunPath, "/ZEP_WorkingFolder/Work/ProjA/Analysis/Run01");
    EXPECT_EQ(handler.m_sLinRunFile, "/ZEP_WorkingFolder/Work/ProjA/Analysis/Run01/Part01");
    EXPECT_EQ(handler.m_sBaseName, "Part");
    EXPECT_EQ(handler.m_sExeName, "solver.exe");
    EXPECT_EQ(handler.m_sInstallDir, "C:\\Zep\\");
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

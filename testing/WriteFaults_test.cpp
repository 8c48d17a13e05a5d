// Under real write faults every failure is reported, the old file stays and no part of a new one is left.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RunFolder.h"
#include "TestUtil.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "tools/CommandHandler.h"
#include "zep3d/ZEPDrawSTLTool.h"
#include "zep3d/ZEPDrawVectorTool.h"

namespace {

namespace fs = std::filesystem;
using zep::testing::FaultChild;
using zep::testing::ReadFile;
using zep::testing::RunInFaultChild;
using zep::testing::WriteFile;

class WriteFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!zep::testing::CanRunFaultChildren(&why)) GTEST_SKIP() << why;
    }
};

// The messages of the debugger channel while `body` runs, one per line.
std::string Reported(const std::function<void()>& body) {
    zep::testing::DebugOutputCapture capture;
    body();
    std::string text;
    for (const std::string& message : capture.Messages()) text += message + "\n";
    return text;
}

// Lets the user "nobody" of an unprivileged child into the test's folders, and read what is in them.
void OpenToEveryone(const std::string& folder) {
    for (fs::path p = folder; p.has_relative_path() && p != fs::temp_directory_path(); p = p.parent_path())
        fs::permissions(p, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
}

TEST_F(WriteFaults, RunFilesThatCannotBeWrittenWholeAreRefusedAndRemoved) {
    const std::string linuxKeys =
        "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueSharedTarvik3DName=/opt/T/\n";
    struct Case {
        const char* name;
        std::string cmx;
        int status;
        const char* file;  // the extension of the file that could not be written
    } cases[] = {
        {"single machine", zep::testing::TaskBlock(0, 4), -3304, ".ppp"},
        // The Linux node's launcher file is the longer one: a limit that the partition file fits.
        {"Linux node",
         zep::testing::TaskBlock(11, 2) + zep::testing::MachineBlock({"node1 2 /opt/T/"}, {"1"}, linuxKeys),
         -3305, ".pwf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zep::testing::RunFolder run;
        run.WriteCmx(c.cmx);
        auto writeFiles = [&run]() {
            zep::testing::SleepRecorder sleeps;
            CommandHandler handler(0);
            handler.SetCommandArguments(0, "\"C:\\App\\*D:\\Work\\P*\"", "C:\\App\\",
                                        run.projectDir().c_str(), "Part", "solver.exe", "01");
            handler.ReadCMX4TaskManager();
            handler.WriteParallelFile();
            return std::to_string(handler.m_iStatus) + "\n" + handler.m_sErrMsg;
        };
        // Written whole without a fault: the sizes tell where a limit cuts.
        ASSERT_GT(std::stoi(writeFiles()), 0);
        const auto ppp = static_cast<long long>(fs::file_size(run.RunFile(".ppp")));
        const auto pwf = static_cast<long long>(fs::file_size(run.RunFile(".pwf")));
        ASSERT_TRUE(c.status != -3305 || ppp < pwf) << ppp << " " << pwf;
        const long long limit = c.status == -3304 ? ppp / 2 : ppp;

        FaultChild fault;
        fault.fileSizeLimit = limit;
        EXPECT_EQ(RunInFaultChild(fault, writeFiles),
                  std::to_string(c.status) + "\n\nError! Cannot not create " + run.RunFile(c.file) +
                      " to initiate parallel computing.\n");
        EXPECT_EQ(zep::testing::FilesStartingWith(run.runPath(), ""), std::vector<std::string>{"Part01.cmx"});
    }
}

TEST_F(WriteFaults, StlAndEncryptedFilesKeepThePreviousFileUnderEveryFault) {
    zep::testing::ScopedTempDir dir;
    const std::string folder = dir.File("out");
    fs::create_directories(folder);
    const std::string path = folder + "/file";
    const std::string previous = "solid\nthe previous file\n";
    WriteFile(path, previous);
    const std::string plain = dir.File("plain");
    const std::string cipher = dir.File("cipher");
    std::string data(100000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(plain, data);
    OpenToEveryone(folder);

    // Each writer writes `to` and hands back what it reported.
    using Writer = std::function<std::string(const std::string& to)>;
    const Writer mesh = [](const std::string& to) {
        return Reported([&to]() {
            CZEPDrawSTLTool tool;
            tool.SetNNode(3);
            int face[5] = {0, 1, 2, 3, 0};
            for (int i = 0; i < 100; ++i) tool.SetFace20(3, face);  // some 17 kB
            tool.OutputFile(to.c_str());
        });
    };
    const Writer arrows = [](const std::string& to) {
        return Reported([&to]() {
            CZEPDrawVectorTool tool;
            for (int i = 1; i <= 100; ++i) tool.SetLine10(0, 0, 0, static_cast<float>(i), 1, 0);
            tool.OutputFile_STL(to.c_str());
        });
    };
    // Enciphers the plain file into `to`, or deciphers the encrypted one into it.
    auto crypt = [&plain, &cipher](bool decrypt) -> Writer {
        return [&plain, &cipher, decrypt](const std::string& to) {
            return Reported([&]() {
                ZEP3DFileCrypt::CZEP3DCryptRijndael method;
                method.Initialize("sixteen letters!", 16, nullptr, 16, 16, ZEP3DFileCrypt::CBC,
                                  ZEP3DFileCrypt::ZEROES);
                if (decrypt) {
                    method.DecryptFile(cipher, to);
                } else {
                    method.EncryptFile(plain, to);
                }
            });
        };
    };
    ASSERT_EQ(crypt(false)(cipher), "");
    const std::string stlError = "CZEPDrawSTLTool::OutputFile()-Cannot write " + path + ": ";
    const std::string encryptError = "CZEP3DCryptRijndael::EncryptFile()-Error!\n";
    const std::string decryptError = "CZEP3DCryptRijndael::DecryptFile()-Error!\n";

    FaultChild limited;
    limited.fileSizeLimit = 1000;
    FaultChild unprivileged;
    unprivileged.unprivileged = true;
    const struct {
        const char* name;
        const FaultChild& fault;
        bool readOnly;
        Writer writer;
        std::string reported;
    } cases[] = {
        {"mesh, file-size limit", limited, false, mesh, stlError + "File too large\n"},
        {"arrows, file-size limit", limited, false, arrows, stlError + "File too large\n"},
        {"mesh, read-only folder", unprivileged, true, mesh, stlError + "Permission denied\n"},
        {"encrypt, file-size limit", limited, false, crypt(false), encryptError},
        {"decrypt, file-size limit", limited, false, crypt(true), decryptError},
        {"encrypt, read-only folder", unprivileged, true, crypt(false), encryptError},
        {"decrypt, read-only folder", unprivileged, true, crypt(true), decryptError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        fs::permissions(folder, write, c.readOnly ? fs::perm_options::remove : fs::perm_options::add);
        EXPECT_EQ(RunInFaultChild(c.fault, [&c, &path]() { return c.writer(path); }), c.reported);
        EXPECT_EQ(ReadFile(path), previous);
        EXPECT_EQ(zep::testing::FilesStartingWith(folder, ""), std::vector<std::string>{"file"});
    }
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);

    // A device is written in place (never replaced by a plain file), and a full one is a failure. The
    // child runs unprivileged, so that nothing in /dev could be replaced even by mistake.
    if (!zep::testing::FileExists("/dev/full")) return;
    const std::string full = "/dev/full";
    const Writer empty = [](const std::string& to) {
        return Reported([&to]() { CZEPDrawSTLTool().OutputFile(to.c_str()); });
    };
    EXPECT_EQ(RunInFaultChild(unprivileged, [&]() { return empty(full); }),
              "CZEPDrawSTLTool::OutputFile()-Cannot write /dev/full: No space left on device\n");
    EXPECT_EQ(RunInFaultChild(unprivileged, [&]() { return crypt(false)(full); }), encryptError);
    EXPECT_EQ(RunInFaultChild(unprivileged, [&]() { return crypt(true)(full); }), decryptError);
    zep::platform::FileStatus status;
    ASSERT_TRUE(zep::platform::QueryFileStatus(full.c_str(), &status));
    EXPECT_FALSE(status.isRegular);
}

}  // namespace

// The built zep3dtool program on real files: every subcommand's help, wrong usage, missing and bad
// files, wrong keys, and the example run through the real launcher script and MPICH. The command lines
// with their exact output are transcripts in testing/data/apps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

namespace fs = std::filesystem;
using zep::testing::DataPath;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;
using zep::testing::WriteFile;

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
    for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

class Zep3dtool : public ::testing::Test {
  protected:
    // A file of testing/data/apps with @DIR@ (the test's folder), @DATA@ (testing/data/apps), @EXAMPLES@
    // and @INSTALL@ (the example installation) filled in.
    std::string Data(const std::string& name) {
        std::string text = ReadFile(DataPath("apps/" + name));
        EXPECT_FALSE(text.empty()) << name;
        ReplaceAll(&text, "@DIR@", dir_.path());
        ReplaceAll(&text, "@DATA@", DataPath("apps"));
        ReplaceAll(&text, "@EXAMPLES@", ZEP3D_EXAMPLES_DIR);
        ReplaceAll(&text, "@INSTALL@", ZEP3D_EXAMPLE_INSTALL);
        return text;
    }

    // A project of the test's folder named after a task-manager file of the test data, with one run.
    void Project(const std::string& cmx) {
        const std::string run = dir_.File(cmx.substr(0, cmx.find('.')) + "/Analysis/Run01");
        fs::create_directories(run);
        WriteFile(run + "/Demo01.cmx", Data(cmx));
    }

    // Runs the steps of a transcript of the test data one after another in the test's folder. A step
    // is "$ " and a bash command line, then what it writes: "> " lines on standard output, "! "
    // lines on standard error (">" or "!" alone for an empty line) and "= N" for an exit code other
    // than 0; both streams are compared whole. Blank lines and "#" lines are left out. The command lines
    // run with zep3dtool first on the PATH and no standard input.
    void Transcript(const std::string& name) {
        struct Step {
            int line;
            std::string command, out, err;
            int code;
        };
        std::vector<Step> steps;
        int number = 0;
        for (const std::string& line : zep::testing::Lines(Data(name))) {
            ++number;
            if (line.empty() || line[0] == '#') continue;
            const std::string text = line.size() > 2 ? line.substr(2) : "";
            if (line[0] == '$') {
                steps.push_back({number, text, "", "", 0});
            } else if (steps.empty() || (line[0] != '>' && line[0] != '!' && line[0] != '=') ||
                       (line.size() > 1 && line[1] != ' ')) {
                ADD_FAILURE() << name << ":" << number << ": not a transcript line: " << line;
            } else if (line[0] == '=') {
                steps.back().code = std::atoi(text.c_str());
            } else {
                (line[0] == '>' ? steps.back().out : steps.back().err) += text + "\n";
            }
        }
        ASSERT_FALSE(steps.empty()) << name;
        setenv("ZEP3D_TEST_DIR", dir_.path().c_str(), 1);
        setenv("ZEP3D_TOOL_DIR", fs::path(ZEP3DTOOL_PATH).parent_path().c_str(), 1);
        for (const Step& s : steps) {
            SCOPED_TRACE(name + ":" + std::to_string(s.line) + ": " + s.command);
            setenv("ZEP3D_COMMAND", s.command.c_str(), 1);
            const int status = std::system(
                "cd \"$ZEP3D_TEST_DIR\" && PATH=\"$ZEP3D_TOOL_DIR:$PATH\" bash -c \"$ZEP3D_COMMAND\" "
                "</dev/null >.stdout 2>.stderr");
            EXPECT_EQ(ReadFile(dir_.File(".stdout")), s.out);
            EXPECT_EQ(ReadFile(dir_.File(".stderr")), s.err);
            // A wait status: the exit code in the second byte when no signal ended the shell.
            EXPECT_EQ((status & 0x7f) == 0 ? (status >> 8) & 0xff : -1, s.code);
        }
    }

    ScopedTempDir dir_;
};

TEST_F(Zep3dtool, EveryCommandHasHelpOnStandardOutput) { Transcript("help.txt"); }

TEST_F(Zep3dtool, WrongUsageIsOneLineOnStandardErrorAndExitCode2) { Transcript("usage.txt"); }

TEST_F(Zep3dtool, CheckShowsWhatTheTaskManagerFileSaysAndWritesNothing) {
    for (const char* cmx : {"multi-machine.cmx", "old-version.cmx", "unknown-mode.cmx"}) Project(cmx);
    Transcript("check.txt");
}

TEST_F(Zep3dtool, RunRefusesWhatCannotBeSetUpAndExitsWith3WhenTheLaunchOrTheStorageNodeFails) {
    for (const char* cmx : {"local.cmx", "outside.cmx", "storage-node.cmx"}) Project(cmx);
    Transcript("run.txt");
}

TEST_F(Zep3dtool, TheDemoAndAMultiMachineRunStartMpiProcessesThatReadTheirPartitionFile) {
    if (!ZEP3D_HAVE_EXAMPLE_SOLVER) {
        if (std::getenv("ZEP3D_REQUIRE_SERVERS") != nullptr) FAIL() << "MPICH is not installed";
        GTEST_SKIP() << "MPICH is not installed (Debian: mpich libmpich-dev)";
    }
    Project("two-machines.cmx");
    Transcript("mpi.txt");
}

TEST_F(Zep3dtool, AccountSetWritesWhatTheLibraryReadsBackAndRefusesBadInput) { Transcript("account.txt"); }

TEST_F(Zep3dtool, EncryptAndDecryptRoundTripWithEveryMethodShowProgressWhenAskedAndRefuseWhatTheyCannotDo) {
    Transcript("crypt.txt");
}

TEST_F(Zep3dtool, ArrowsWritesOneFacetPerVectorAndLeavesOutWhatHasNoArrow) { Transcript("arrows.txt"); }

}  // namespace

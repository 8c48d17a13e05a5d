// Tests of Slurm over SSH that need no server: the head node names, and the remote command lines run
// by a real POSIX shell against a stand-in sbatch that records what it was given.
#include "SlurmOverSsh.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestUtil.h"

namespace zep {
namespace companions {
namespace {

TEST(SlurmOverSsh, HeadNodesAreHostsWithAnOptionalPort) {
    struct Case {
        std::string text;
        bool ok;
        std::string host;
        int port;
    } cases[] = {
        {"head", true, "head", 22},
        {"head.cluster.example:2222", true, "head.cluster.example", 2222},
        {"127.0.0.1:65535", true, "127.0.0.1", 65535},
        {"[::1]:2200", true, "::1", 2200},
        {"[::1]", true, "::1", 22},
        {"::1", true, "::1", 22},  // an address with several colons has no port
        {"", false, "", 0},
        {"head:", false, "", 0},
        {"head:0", false, "", 0},
        {"head:65536", false, "", 0},
        {"head:22x", false, "", 0},
        {"[::1]2200", false, "", 0},
        {"two words", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        HeadNode node;
        ASSERT_EQ(ParseHeadNode(c.text, &node), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(node.host, c.host);
        EXPECT_EQ(node.port, c.port);
    }
}

TEST(SlurmOverSsh, RemoteCommandsGiveEveryWordAndTheScriptUnchanged) {
    // The commands are for the head node's POSIX shell; a Windows build has none to run them with.
    if (zep::testing::TextLineEnd() != "\n") GTEST_SKIP() << "the stand-in sbatch needs a POSIX shell";
    zep::testing::ScopedTempDir dir;
    // A stand-in sbatch: its arguments one per line, then its standard input.
    const std::string bin = dir.path();
    zep::testing::WriteFile(bin + "/sbatch",
                            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\necho ---\ncat\n");
    ASSERT_EQ(std::system(("chmod 755 '" + bin + "/sbatch'").c_str()), 0);

    const std::vector<std::string> options = {"--job-name=Tarvik3D HPC Job - it's $HOME `id` \"x\"",
                                              "--chdir=/data/R&D; rm -rf /", "--output=/d/100%%"};
    const std::string script = "#!/bin/sh\nexec srun '/opt/a b' 'it'\\''s'\n";
    const std::string command = RemoteSubmitCommand(options, script);
    const std::string out = dir.File("out");
    ASSERT_EQ(std::system(("PATH='" + bin + "':$PATH; export PATH; " + command + " > '" + out + "'").c_str()),
              0)
        << command;
    EXPECT_EQ(zep::testing::ReadFile(out),
              "[" + options[0] + "]\n[" + options[1] + "]\n[" + options[2] + "]\n---\n" + script);

    EXPECT_EQ(ShellCommandLine({"scontrol", "show", "job", "-o", "42"}), "'scontrol' 'show' 'job' '-o' '42'");
}

}  // namespace
}  // namespace companions
}  // namespace zep

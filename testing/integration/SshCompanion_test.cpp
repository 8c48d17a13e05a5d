// The remote shell companion against a real OpenSSH server on 127.0.0.1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "ServerHarness.h"
#include "TestUtil.h"
#include "ZEPSSH2Tool.h"

namespace {

using ::testing::HasSubstr;
using namespace zep::testing;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The key type and the key of a public-key file (without its comment).
std::string KeyPart(const std::string& privateKeyFile) {
    std::string key = ReadFile(privateKeyFile + ".pub");
    return key.substr(0, key.find(' ', key.find(' ') + 1));
}

// True for one process id ("12\n") or, with `pair`, two ("12 34\n").
bool IsPids(const std::string& text, bool pair = false) {
    auto number = [&text](size_t from, size_t end) {
        return end > from && end != std::string::npos && text.find_first_not_of("0123456789", from) == end;
    };
    const size_t blank = text.find(' ');
    return !text.empty() && text.back() == '\n' &&
           (pair ? number(0, blank) && number(blank + 1, text.size() - 1) : number(0, text.size() - 1));
}

class SshCompanion : public ServerSuite<false, true> {
  protected:
    std::wstring user() const { return Wide(server().user); }
    std::wstring password() const { return Wide(server().password); }
    std::string knownHosts() const { return servers_->folder.File(".ssh/known_hosts"); }
    int Check(const wchar_t* host = L"127.0.0.1") {
        return CZEPSSH2Tool().SSH2_CheckConnection(host, user().c_str(), password().c_str());
    }

    struct Output {
        int rc = 0, exitCode = 0;
        std::wstring out, err;
    };
    Output Run(const std::wstring& command, const std::wstring& host = L"127.0.0.1") {
        wchar_t* out = nullptr;
        wchar_t* err = nullptr;
        Output result;
        result.rc = CZEPSSH2Tool().SSH2_RemoteCommandStdoutStderr(host.c_str(), user().c_str(),
                                                                  password().c_str(), command.c_str(), out,
                                                                  err, result.exitCode, false, false);
        std::unique_ptr<wchar_t[]> ownOut(out), ownErr(err);
        result.out = out != nullptr ? out : L"";
        result.err = err != nullptr ? err : L"";
        return result;
    }
};

TEST_F(SshCompanion, ConnectionCheckCodesForGoodAccountWrongPasswordAndClosedPort) {
    CZEPSSH2Tool tool;
    EXPECT_EQ(Check(), 0);
    EXPECT_EQ(tool.SSH2_CheckConnection(L"127.0.0.1", user().c_str(), L"wrong"), -6);
    EXPECT_EQ(tool.SSH2_CheckConnection(L"127.0.0.1", L"nobody-here", password().c_str()), -6);
    CZEPSSH2Tool::SSH2_SetPort(FreeLoopbackPort());
    EXPECT_EQ(Check(), -2);
}

TEST_F(SshCompanion, RemoteCommandsGiveTheirOutputAndExitStatus) {
    // The login shell is bash, so echo -e turns the escapes into a carriage return and a line feed;
    // remote UTF-8 comes back as wide characters. "localhost" is a host name as the task-manager file
    // gives it, for a machine entry on this node.
    const struct {
        std::wstring command, host;
        int exitCode;
        std::wstring out, err;
    } cases[] = {
        {L"echo -e \"a\\r\\nb\"; echo to-err >&2; printf 'caf\\303\\251'; exit 3", L"127.0.0.1", 3,
         L"a\r\nb\ncaf\x00E9", L"to-err\n"},
        {L"true", L"127.0.0.1", 0, L"", L""},
        {L"echo $HOME", L"localhost", 0, Wide(server().home + "\n"), L""},
    };
    for (const auto& c : cases) {
        const Output result = Run(c.command, c.host);
        EXPECT_EQ(result.rc, 0);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

TEST_F(SshCompanion, LargeOutputOnBothStreamsDoesNotStallTheCommand) {
    // More than the channel's window on each stream, standard error first: reading one stream to its
    // end before the other would leave the command blocked on the other one.
    Output result =
        Run(L"head -c 3000000 /dev/zero | tr '\\0' e >&2; head -c 3000000 /dev/zero | tr '\\0' o");
    EXPECT_EQ(result.rc, 0);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.size(), 3000000u);
    EXPECT_EQ(result.err.size(), 3000000u);
    EXPECT_EQ(result.out.find_first_not_of(L'o'), std::wstring::npos);
}

TEST_F(SshCompanion, AQuietCommandKeepsItsConnectionButAFrozenServerEndsTheWait) {
    // Quiet for longer than the time-out (and than the seven seconds of silence after which a server
    // that no longer answers is given up at this setting): the server still answers, so the command
    // runs to its end. The time-out leaves a loaded machine room to log in.
    CZEPSSH2Tool::SSH2_SetTimeout(3000);
    Output quiet = Run(L"sleep 8; echo awake");
    EXPECT_EQ(quiet.rc, 0);
    EXPECT_EQ(quiet.out, L"awake\n");

    // The test freezes the server process serving the quiet command, as a dead machine would be.
    ScopedTempDir shared;
    chmod(shared.path().c_str(), 0777);
    std::string record = shared.File("ids");
    std::thread freezer([&record] {
        WaitUntil([&record] { return IsPids(ReadFile(record), true); }, 10000);
        std::string ids = ReadFile(record);
        if (IsPids(ids, true)) kill(std::stoi(ids.substr(ids.find(' ') + 1)), SIGSTOP);
    });
    auto start = std::chrono::steady_clock::now();
    Output result = Run(
        Wide("echo \"$$ $PPID\" > " + record + ".tmp; mv " + record + ".tmp " + record + "; exec sleep 30"));
    auto waited = std::chrono::steady_clock::now() - start;
    freezer.join();
    std::string ids = ReadFile(record);
    ASSERT_TRUE(IsPids(ids, true)) << "ids \"" << ids << "\", code " << result.rc;
    kill(std::stoi(ids), SIGKILL);                            // the quiet command
    kill(std::stoi(ids.substr(ids.find(' ') + 1)), SIGCONT);  // the server process, which then ends
    EXPECT_EQ(result.rc, -10);
    EXPECT_LT(waited, std::chrono::seconds(20)) << "well before the command would have ended";
}

TEST_F(SshCompanion, BackgroundLaunchWritesTheProcessIdAndTheConsoleFile) {
    ScopedTempDir run;  // the library builds both local files with backslashes
    const std::wstring consoleFile = Wide(run.path() + "\\console_redirect_2026-12-06_10-00-00.txt");
    const std::wstring pidFile = Wide(run.path() + "\\mpiexec.pid");
    CZEPSSH2Tool tool;
    int exitCode = 0;
    auto launch = [&](const std::wstring& command, bool redirect) {
        return tool.SSH2_RemoteCommandOutputToFile(L"127.0.0.1", user().c_str(), password().c_str(),
                                                   command.c_str(), redirect ? consoleFile.c_str() : L"",
                                                   pidFile.c_str(), exitCode, redirect, true, false);
    };
    // Redirected, the console is followed in its file until the launcher ends; else on standard output.
    for (bool redirect : {true, false}) {
        SCOPED_TRACE(redirect);
        std::remove(run.File("mpiexec.pid").c_str());
        StdoutCapture capture;
        EXPECT_EQ(
            launch(L"sh -c 'echo launcher-out; echo launcher-err >&2; sleep 1; echo launcher-done; exit 7' "
                   L"& echo \\<mpiexec\\>$!\\</mpiexec\\>",
                   redirect),
            0);
        EXPECT_EQ(exitCode, 7);
        const std::string shown =
            redirect ? ReadFile(run.File("console_redirect_2026-12-06_10-00-00.txt")) : capture.Stop();
        const std::string pid = ReadFile(run.File("mpiexec.pid"));
        ASSERT_TRUE(IsPids(pid)) << pid;
        EXPECT_THAT(shown, HasSubstr("launcher-out\n"));
        EXPECT_THAT(shown, HasSubstr("launcher-done\n"));
        if (redirect) {
            EXPECT_THAT(shown, HasSubstr("<mpiexec>" + pid.substr(0, pid.size() - 1) + "</mpiexec>\n"));
            EXPECT_THAT(shown, HasSubstr("launcher-err\n"));
        }
    }
    EXPECT_EQ(launch(L"echo nothing", true), 0);
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(FileExists(run.File("mpiexec.pid")));
}

TEST_F(SshCompanion, UnknownHostsAreRememberedAndChangedKeysRefused) {
    std::remove(knownHosts().c_str());
    ASSERT_EQ(Check(), 0);
    const std::string keyPart = KeyPart(server().ecdsaHostKeyFile());  // the SSH library's first choice
    std::string entry = "[127.0.0.1]:" + std::to_string(server().port) + " " + keyPart + "\n";
    EXPECT_EQ(ReadFile(knownHosts()), entry);

    ASSERT_EQ(Check(), 0);
    EXPECT_EQ(ReadFile(knownHosts()), entry);

    // A file without a final line end gets one before the new entry.
    WriteFile(knownHosts(), "# mine\nother.example ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIK");
    ASSERT_EQ(Check(L"localhost"), 0);
    EXPECT_EQ(ReadFile(knownHosts()),
              "# mine\nother.example ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIK\n[localhost]:" +
                  std::to_string(server().port) + " " + keyPart + "\n");
    std::remove(knownHosts().c_str());
}

TEST_F(SshCompanion, KnownHostsAcceptOnlyTheirOwnKeysAndNothingIsSentWithoutThem) {
    const std::string name = "[127.0.0.1]:" + std::to_string(server().port) + " ";
    ScopedTempDir keys;
    std::string output;
    ASSERT_EQ(RunShell("ssh-keygen -q -t ed25519 -N '' -f " + keys.File("ed") +
                           " && ssh-keygen -q -t rsa -b 2048 -N '' -f " + keys.File("rsa"),
                       &output),
              0);
    struct Case {
        const char* what;
        std::string file;
        int code;
    } cases[] = {
        // The server also has an ECDSA key, which the SSH library would take first: the recorded type
        // is asked for instead.
        {"known by its ed25519 key only", name + KeyPart(server().hostKeyFile()) + "\n", 0},
        {"another ed25519 key", name + KeyPart(keys.File("ed")) + "\n", -3},
        {"a key of a type the server does not have", name + KeyPart(keys.File("rsa")) + "\n", -3},
        {"a revoked key",
         name + KeyPart(server().ecdsaHostKeyFile()) + "\n@revoked * " +
             KeyPart(server().ecdsaHostKeyFile()) + "\n",
         -3},
        {"a revoked key among good ones",
         name + KeyPart(server().hostKeyFile()) + "\n@revoked [127.0.0.1]:* " +
             KeyPart(server().hostKeyFile()) + "\n",
         -3},
        // A certificate authority's key is no host key: the host is new.
        {"a certificate authority", "@cert-authority " + name + KeyPart(server().ecdsaHostKeyFile()) + "\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(knownHosts(), c.file);
        EXPECT_EQ(Check(), c.code);
        if (c.code == 0) continue;
        Output result = Run(L"echo should-not-run");
        EXPECT_EQ(result.rc, c.code);
        EXPECT_EQ(result.out, L"");
        EXPECT_EQ(ReadFile(knownHosts()), c.file) << "a refused host is not added";
    }

    // New hosts refused until the file is seeded with ssh-keyscan.
    std::remove(knownHosts().c_str());
    CZEPSSH2Tool::SSH2_SetAcceptNewHosts(false);
    EXPECT_EQ(Check(), -3);
    EXPECT_FALSE(FileExists(knownHosts()));
    ASSERT_EQ(RunShell("ssh-keyscan -p " + std::to_string(server().port) + " 127.0.0.1 2>/dev/null > " +
                           knownHosts(),
                       &output),
              0);
    EXPECT_EQ(Check(), 0);
    CZEPSSH2Tool::SSH2_SetAcceptNewHosts(true);

    // No usable known_hosts: a folder in its place, a ".ssh" that is no folder, no home folder at all.
    std::remove(knownHosts().c_str());
    mkdir(knownHosts().c_str(), 0700);
    EXPECT_EQ(Check(), -3);
    rmdir(knownHosts().c_str());
    rmdir(servers_->folder.File(".ssh").c_str());
    WriteFile(servers_->folder.File(".ssh"), "not a folder");
    EXPECT_EQ(Check(), -3);
    std::remove(servers_->folder.File(".ssh").c_str());
    unsetenv("HOME");
    EXPECT_EQ(Check(), -3);
    EXPECT_EQ(Run(L"echo should-not-run").rc, -3);
    setenv("HOME", servers_->folder.path().c_str(), 1);
    EXPECT_FALSE(FileExists(knownHosts()));
}

}  // namespace

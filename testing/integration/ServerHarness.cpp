// The servers of the integration tests: sshd and the Slurm daemons as children of the test program,
// prepared by the scripts beside this file.
#include "ServerHarness.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace zep {
namespace testing {
namespace {

std::string Script(const char* name) { return std::string(ZEP3D_INTEGRATION_DIR) + "/" + name; }

// The value of the line "key=value" of a script's output.
std::string Value(const std::string& output, const std::string& key) {
    const size_t at = ("\n" + output).rfind("\n" + key + "=");
    if (at == std::string::npos) return std::string();
    const std::string rest = output.substr(at + key.size() + 1);
    return rest.substr(0, rest.find('\n'));
}

std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool ServersRequired() {
    const char* required = getenv("ZEP3D_REQUIRE_SERVERS");
    if (required != nullptr && std::string(required) == "1") return true;
    const char* ci = getenv("CI");
    return ci != nullptr && *ci != 0 && std::string(ci) != "false" && std::string(ci) != "0";
}

int RunShell(const std::string& command, std::string* output) {
    output->clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output->append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A TCP socket and the address 127.0.0.1:port.
static int LoopbackSocket(sockaddr_in* address, int port) {
    *address = sockaddr_in{};
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address->sin_port = htons(static_cast<uint16_t>(port));
    return socket(AF_INET, SOCK_STREAM, 0);
}

int FreeLoopbackPort() {
    sockaddr_in address;
    const int fd = LoopbackSocket(&address, 0);
    socklen_t size = sizeof(address);
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// True when a TCP connection to 127.0.0.1:port is accepted.
static bool CanConnect(int port) {
    sockaddr_in address;
    const int fd = LoopbackSocket(&address, port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

bool WaitUntil(const std::function<bool()>& ready, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// ---- ChildProcess ---------------------------------------------------------------------------------

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logPath, std::string* why) {
    companions::SpawnOptions options;
    options.searchPath = false;
    options.inputFromNull = true;
    options.outputFile = logPath;
    int rc = process_.Start(argv, options);
    if (rc != 0) {
        *why = (argv.empty() ? std::string() : argv[0]) + ": " + strerror(rc);
        return false;
    }
    return true;
}

void ChildProcess::Stop(int timeoutMs) {
    process_.Signal(SIGTERM);
    if (!process_.WaitFor(timeoutMs)) process_.Kill();
}

// ---- SshServer ------------------------------------------------------------------------------------

bool SshServer::Start(const std::string& folder, std::string* why, const std::string& extraConfig) {
    user_ = "zeptest" + std::to_string(getpid());
    port_ = FreeLoopbackPort();
    std::string output;
    int rc = RunShell("bash " + Quote(Script("ssh-server.sh")) + " prepare " + Quote(folder) + " " +
                          std::to_string(port_) + " " + user_ + " " + Quote(password_),
                      &output);
    if (rc != 0) {
        *why = Trim(output);
        return false;
    }
    userCreated_ = true;
    home_ = Value(output, "home");
    hostKey_ = folder + "/hostkey";
    if (!extraConfig.empty()) {
        FILE* config = std::fopen((folder + "/sshd_config").c_str(), "a");
        bool written = config != nullptr && std::fputs(extraConfig.c_str(), config) >= 0;
        if (config == nullptr || std::fclose(config) != 0 || !written) {
            *why = "cannot add to " + folder + "/sshd_config";
            return false;
        }
    }
    // sshd refuses to re-execute itself from a relative path: start it by its absolute one.
    if (!sshd_.Start({"/usr/sbin/sshd", "-D", "-e", "-f", folder + "/sshd_config"}, folder + "/sshd.log",
                     why)) {
        return false;
    }
    if (!WaitUntil([this] { return CanConnect(port_) || !sshd_.Running(); }, 10000) || !sshd_.Running()) {
        std::string log;
        RunShell("tail -5 " + Quote(folder + "/sshd.log"), &log);
        *why = "sshd did not start listening: " + Trim(log);
        return false;
    }
    return true;
}

void SshServer::Stop() {
    // Let the sessions of the last connections close first, so that none outlives the server.
    if (sshd_.Running()) {
        std::string children =
            "/proc/" + std::to_string(sshd_.pid()) + "/task/" + std::to_string(sshd_.pid()) + "/children";
        WaitUntil([&children] { return Trim(ReadFile(children)).empty(); }, 3000);
    }
    sshd_.Stop();
    if (userCreated_) {
        std::string output;
        RunShell("bash " + Quote(Script("ssh-server.sh")) + " remove-user " + user_, &output);
        userCreated_ = false;
    }
}

// ---- SlurmCluster ---------------------------------------------------------------------------------

bool SlurmCluster::Start(const std::string& folder, std::string* why) {
    int ctldPort = FreeLoopbackPort();
    int slurmdPort = FreeLoopbackPort();
    while (slurmdPort == ctldPort) slurmdPort = FreeLoopbackPort();
    std::string output;
    int rc = RunShell("bash " + Quote(Script("slurm-cluster.sh")) + " prepare " + Quote(folder) + " " +
                          std::to_string(ctldPort) + " " + std::to_string(slurmdPort),
                      &output);
    if (rc != 0) {
        *why = Trim(output);
        return false;
    }
    node_ = Value(output, "node");
    configuration_ = folder + "/slurm.conf";
    setenv("SLURM_CONF", configuration_.c_str(), 1);

    // munged refuses to run as root with a key owned by munge; setpriv executes it in place, so the
    // child's process id is munged's own.
    std::string munge = folder + "/munge";
    if (!munged_.Start(
            {"/usr/bin/setpriv", "--reuid=munge", "--regid=munge", "--clear-groups", "/usr/sbin/munged", "-F",
             "--socket=" + munge + "/munge.socket.2", "--log-file=" + munge + "/munged.log",
             "--pid-file=" + munge + "/munged.pid", "--seed-file=" + munge + "/munged.seed"},
            folder + "/log/munged.out", why)) {
        return false;
    }
    std::string check;
    std::string probe = "munge -n --socket=" + Quote(munge + "/munge.socket.2") +
                        " 2>&1 | unmunge --socket=" + Quote(munge + "/munge.socket.2");
    if (!WaitUntil([&] { return RunShell(probe, &check) == 0 || !munged_.Running(); }, 10000) ||
        !munged_.Running()) {
        std::string log;
        RunShell("tail -3 " + Quote(folder + "/log/munged.out"), &log);
        *why = "munged did not start: " + Trim(check) + " " + Trim(log);
        return false;
    }
    if (!slurmctld_.Start({"/usr/sbin/slurmctld", "-D", "-f", configuration_}, folder + "/log/slurmctld.out",
                          why)) {
        return false;
    }
    std::string answer;
    if (!WaitUntil(
            [&answer] {
                return RunShell("scontrol ping", &answer) == 0 && answer.find("is UP") != std::string::npos;
            },
            20000)) {
        *why = "slurmctld did not come up: " + Trim(answer);
        return false;
    }
    if (!slurmd_.Start({"/usr/sbin/slurmd", "-D", "-f", configuration_}, folder + "/log/slurmd.out", why)) {
        return false;
    }
    if (!WaitUntil(
            [&answer] { return RunShell("sinfo -h -N -o %T", &answer) == 0 && Trim(answer) == "idle"; },
            30000)) {
        *why = "the node did not become idle: " + Trim(answer);
        return false;
    }
    return true;
}

void SlurmCluster::Stop() {
    // Each daemon takes a second or two to stop: ask them all first.
    for (ChildProcess* daemon : {&slurmd_, &slurmctld_, &munged_}) daemon->Signal(SIGTERM);
    slurmd_.Stop();
    slurmctld_.Stop();
    munged_.Stop();
}

ServerSet::ServerSet(bool slurm, bool ssh) {
    const char* home = getenv("HOME");
    hadHome_ = home != nullptr;
    savedHome_ = hadHome_ ? home : "";
    setenv("HOME", folder.path().c_str(), 1);
    if (slurm) ready = cluster.Start(folder.File("slurm"), &why);
    const std::string config = slurm ? "SetEnv SLURM_CONF=" + cluster.configuration() + "\n" : "";
    if (ssh && ready) ready = server.Start(folder.File("sshd"), &why, config);
}

ServerSet::~ServerSet() {
    if (hadHome_) {
        setenv("HOME", savedHome_.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
    unsetenv("SLURM_CONF");
}

}  // namespace testing
}  // namespace zep

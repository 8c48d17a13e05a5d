#include "ServerHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zep {
namespace testing {
namespace {

// The value of the line "key=value" of a script's output.
std::string Value(const std::string& output, const std::string& key) {
    const size_t at = output.rfind("\n" + key + "=");
    if (at == std::string::npos) return std::string();
    const std::string rest = output.substr(at + key.size() + 2);
    return rest.substr(0, rest.find('\n'));
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

int FreeLoopbackPort() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    socklen_t size = sizeof(address);
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool WaitUntil(const std::function<bool()>& ready, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

ServerSet::ServerSet(bool slurm, bool ssh, bool storageNode) {
    if (const char* saved = getenv("HOME")) savedHome_ = saved;
    setenv("HOME", folder.path().c_str(), 1);
    user = "zeptest" + std::to_string(getpid());
    std::vector<std::string> argv = {"/bin/bash", ZEP3D_INTEGRATION_DIR "/servers.sh", folder.path()};
    if (slurm) argv.push_back("slurm");
    if (ssh) argv.insert(argv.end(), {"ssh", user, password});
    if (ssh && storageNode) argv.insert(argv.end(), {"node", "wholerun_" + user});
    companions::SpawnOptions options;
    options.searchPath = false;
    options.inputFromNull = true;
    options.outputFile = folder.File("servers.log");
    if (const int rc = supervisor_.Start(argv, options)) {
        why = std::string("bash: ") + strerror(rc);
        return;
    }
    std::string output;
    WaitUntil(
        [&] {
            output = "\n" + ReadFile(options.outputFile);
            return output.find("\nready\n") != std::string::npos || !supervisor_.Running();
        },
        120000);
    ready = output.find("\nready\n") != std::string::npos;
    why = ready ? "" : output.substr(1);
    node = Value(output, "node");
    port = atoi(Value(output, "port").c_str());
    home = Value(output, "home");
    shared = Value(output, "shared");
    if (slurm && ready) setenv("SLURM_CONF", Value(output, "slurm_conf").c_str(), 1);
}

ServerSet::~ServerSet() {
    supervisor_.Signal(SIGTERM);
    if (!supervisor_.WaitFor(60000)) supervisor_.Kill();
    savedHome_ ? setenv("HOME", savedHome_->c_str(), 1) : unsetenv("HOME");
    unsetenv("SLURM_CONF");
}

}  // namespace testing
}  // namespace zep

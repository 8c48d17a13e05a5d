// Slurm's commands on the head node over SSH: each one a quoted command line on a new connection.
#include "SlurmOverSsh.h"

#include <cstdlib>

#include "CompanionText.h"
#include "SshSession.h"
#include "SshSettings.h"

namespace zep {
namespace companions {
namespace {

// The exit status with which a POSIX shell reports a program it cannot find or cannot run.
constexpr int kShellNotFound = 127;
constexpr int kShellNotExecutable = 126;

std::string SshFailure(int code) {
    switch (code) {
        case kSshInitFailed:
            return "the SSH library cannot be started";
        case kSshConnectFailed:
            return "cannot connect";
        case kSshSessionFailed:
            return "no SSH session (or its host key was refused)";
        case kSshNoPasswordMethod:
            return "password log-in is not offered";
        case kSshPasswordRefused:
            return "the password was refused";
        default:
            return "the command could not be run";
    }
}

class SshSlurmHost : public SlurmHost {
  public:
    explicit SshSlurmHost(std::shared_ptr<const HeadNodeAccount> account) : account_(std::move(account)) {}

    CommandResult Run(const std::vector<std::string>& argv, int timeoutMs) override {
        return Remote(argv.empty() ? std::string() : argv[0], ShellCommandLine(argv), timeoutMs);
    }

    CommandResult Submit(const std::vector<std::string>& options, const std::string& script,
                         int timeoutMs) override {
        return Remote("sbatch", RemoteSubmitCommand(options, script), timeoutMs);
    }

    bool ReadCompletedJobLines(const std::string& path, long jobId, std::string* text) override {
        CommandResult result =
            Run({"grep", "-F", "-e", "JobId=" + std::to_string(jobId) + " ", "--", path}, 30000);
        // grep answers 1 when no line matches.
        if (!result.started || result.timedOut || (result.exitStatus != 0 && result.exitStatus != 1))
            return false;
        *text = result.out;
        return true;
    }

    std::string LocalNode() override { return std::string(); }

    std::string NodePath(const std::string& path) override {
        std::string mapped = path;
        for (char& c : mapped) {
            if (c == '\\') c = '/';
        }
        return mapped;
    }

  private:
    CommandResult Remote(const std::string& program, const std::string& command, int timeoutMs) {
        SshTarget target;
        target.host = account_->node.host;
        target.port = account_->node.port;
        target.timeoutMs = timeoutMs < kDefaultSshTimeoutMs ? timeoutMs : kDefaultSshTimeoutMs;
        target.acceptNewHosts = AcceptNewHostsByDefault();
        CommandResult result;
        int rc = RunSshCommand(target, account_->user, account_->password, command, &result.out, &result.err,
                               &result.exitStatus, false);
        result.started = true;
        std::string where = " on the head node " + target.host;
        if (rc == kSshServerSilent) {
            result.timedOut = true;
        } else if (rc != 0) {
            result.exitStatus = -1;
            result.err = SshFailure(rc) + where + " (SSH code " + std::to_string(rc) + ")";
        } else if (result.exitStatus == kShellNotFound || result.exitStatus == kShellNotExecutable) {
            result.started = false;
            result.startError = program + " cannot be run" + where;
        }
        return result;
    }

    std::shared_ptr<const HeadNodeAccount> account_;
};

}  // namespace

bool ParseHeadNode(const std::string& text, HeadNode* node) {
    HeadNode parsed;
    std::string port;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos) return false;
        parsed.host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return false;
            port = text.substr(close + 2);
        }
    } else if (text.find(':') != std::string::npos && text.find(':') == text.rfind(':')) {
        parsed.host = text.substr(0, text.find(':'));
        port = text.substr(text.find(':') + 1);
    } else {
        parsed.host = text;
    }
    if (parsed.host.empty() || parsed.host.find_first_of(" \t\r\n") != std::string::npos) return false;
    if (!port.empty() || text.back() == ':') {
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        parsed.port = std::atoi(port.c_str());
        if (parsed.port < 1 || parsed.port > 65535) return false;
    }
    *node = parsed;
    return true;
}

std::string ShellCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& word : argv) line += (line.empty() ? "" : " ") + QuoteShellArgument(word);
    return line;
}

std::string RemoteSubmitCommand(const std::vector<std::string>& options, const std::string& script) {
    std::vector<std::string> sbatch = {"sbatch"};
    sbatch.insert(sbatch.end(), options.begin(), options.end());
    return "printf '%s' " + QuoteShellArgument(script) + " | " + ShellCommandLine(sbatch);
}

std::unique_ptr<SlurmHost> NewSshSlurmHost(std::shared_ptr<const HeadNodeAccount> account) {
    return std::unique_ptr<SlurmHost>(new SshSlurmHost(std::move(account)));
}

}  // namespace companions
}  // namespace zep

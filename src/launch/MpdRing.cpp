// The MPD ring boot on the storage node (task mode 11): the account, the SSH connection check, the MPD
// configuration file, the temporary hosts file, mpdboot, and the mpdtrace check of every host.
#include "launch/StorageNode.h"
#include "platform/Console.h"
#include "tools/CommandHandler.h"

namespace {

// What the caller prints for each result of the connection check (0 only when tracing).
void PrintConnectionResult(int code, const std::string& host, bool trace) {
    switch (code) {
        case 0:
            if (trace) zep::platform::Print("OK!\n");
            break;
        case -1:
            zep::platform::Print("Fail to initialize libssh2.\n");
            break;
        case -2:
            zep::platform::Print("Connect to SSH server at %s failed.\n", host.c_str());
            break;
        case -3:
            zep::platform::Print("Fail to establish SSH session.\n");
            break;
        case -4:
            zep::platform::Print("Authentication method (using password) is not available.\n");
            break;
        case -5:
            zep::platform::Print("Fail to request PTY.\n");
            break;
        case -6:
            zep::platform::Print("Authentication for password failed.\n");
            break;
        case -7:
            zep::platform::Print("Fail to open a session.\n");
            break;
        case -8:
            zep::platform::Print("Fail to request a shell.\n");
            break;
        default:
            zep::platform::Print("SSH2_CheckConnection failed, but the symptom is unknown.\n");
            break;
    }
}

// The first occurrence of "Tarvik3D" in a script path becomes "ZEPParallelService".
std::string ScriptPath(const std::string& home, const char* script) {
    std::string path = home + script;
    const size_t found = path.find("Tarvik3D");
    if (found != std::string::npos) path.replace(found, 8, "ZEPParallelService");
    return path;
}

}  // namespace

void CommandHandler::BootMPDRing() {
    ReadAccountInfo();
    const bool trace = m_iDebug >= kTraceLevel;

    // One entry per machine (at least one), more when the tasks change host more often than that.
    std::vector<std::string> hosts(static_cast<size_t>(m_nRemoteHost > 0 ? m_nRemoteHost : 1));
    size_t current = 0;
    for (size_t k = 0; k < m_ppTaskHostName.size(); ++k) {
        if (k == 0) {
            hosts[0] = m_ppTaskHostName[0];
        } else if (m_ppTaskHostName[k] != m_ppTaskHostName[k - 1]) {
            if (++current == hosts.size()) hosts.emplace_back();
            hosts[current] = m_ppTaskHostName[k];
        }
    }
    // Host names go into remote commands: a name that is not one stops the remote steps (entries that no
    // task reached stay empty and are allowed).
    const std::string storage = m_ppTaskHostName.empty() ? std::string() : m_ppTaskHostName[0];
    std::string invalid = storage;
    bool valid = zep::launch::IsValidHostName(storage);
    for (size_t i = 0; valid && i < hosts.size(); ++i) {
        if (!hosts[i].empty() && !zep::launch::IsValidHostName(hosts[i])) {
            valid = false;
            invalid = hosts[i];
        }
    }
    if (!valid) {
        zep::platform::Print(
            "BootMPDRing() failed: [%s] is not a valid host name; the MPD ring is not booted.\n",
            invalid.c_str());
        zep::platform::Flush();
        return;
    }
    // The script paths are unquoted words of the remote commands; they are escaped, and the folder they
    // start from must be one on the node.
    if (!zep::launch::IsAbsolutePosixPath(m_sLinZep3DHomeDir)) {
        zep::platform::Print(
            "BootMPDRing() failed: [%s] is not an absolute POSIX path; the MPD ring is not booted.\n",
            m_sLinZep3DHomeDir.c_str());
        zep::platform::Flush();
        return;
    }

    zep::launch::StorageNode node(storage, m_szUserName, m_szPassword, trace);
    const int connection = node.CheckConnection();
    if (trace) zep::platform::Print(">>> Check SSH Connection to the storage node (%s)... ", storage.c_str());
    PrintConnectionResult(connection, storage, trace);

    const std::string mpdboot = ScriptPath(m_sLinZep3DHomeDir, "IntelMPI/mpdboot.py");
    const std::string mpdtrace = ScriptPath(m_sLinZep3DHomeDir, "IntelMPI/mpdtrace.py");
    if (trace) {
        zep::platform::Print("mpdboot =[%s]\n", mpdboot.c_str());
        zep::platform::Print("mpdtrace=[%s]\n", mpdtrace.c_str());
    }

    zep::launch::RunRemoteStep(node, trace, "touch ~/.mpd.conf", "touch ~/.mpd.conf",
                               ">>> Create MPD config file at storage node   ... ");
    zep::launch::RunRemoteStep(node, trace,
                               "echo \"MPD_PORT_RANGE=" + std::to_string(m_iMinPort) + ":" +
                                   std::to_string(m_iMaxPort) + "\" > ~/.mpd.conf",
                               "set MPD_PORT_RANGE to ~/.mpd.conf",
                               ">>> Write MPD config file at storage node    ... ");
    zep::launch::RunRemoteStep(node, trace, "chmod 600 ~/.mpd.conf", "chmod 600 ~/.mpd.conf",
                               ">>> Secure MPD config file at storage node   ... ");

    const std::string stamp =
        zep::launch::EscapeForDoubleQuotes(zep::launch::LocalTimeStamp("%4d%02d%02d_%02d%02d%02d"));
    const std::string hostsFile = "\"/tmp/mpdhosts_" + stamp + ".txt\"";
    std::string hostsText;
    for (const std::string& host : hosts) hostsText += zep::launch::EscapeForDoubleQuotes(host) + "\\r\\n";
    zep::launch::RunRemoteStep(node, trace, "touch " + hostsFile, "touch mpdhosts.txt in tmp folder",
                               ">>> Create MPD hosts file at storage node    ... ");
    zep::launch::RunRemoteStep(node, trace, "echo -e \"" + hostsText + "\" > " + hostsFile,
                               "Modify mpdhosts.txt in tmp folder",
                               ">>> Modify MPD hosts file at storage node    ... ");
    zep::launch::RunRemoteStep(node, trace,
                               zep::launch::EscapeShellWord(mpdboot) + " -n " + std::to_string(hosts.size()) +
                                   " -f " + hostsFile + " -r rsh",
                               "Run mpdboot", ">>> Executing mpdboot                        ... ");
    node.Run("rm " + hostsFile);

    std::string traceOutput;
    zep::launch::RunRemoteStep(node, trace, zep::launch::EscapeShellWord(mpdtrace), "Run mpdtrace for check",
                               ">>> Executing mpdtrace                       ... ", &traceOutput);
    for (const std::string& host : hosts) {
        if (trace) zep::platform::Print("Check mpd of [%s] ... ", host.c_str());
        const bool joined = host.empty() || traceOutput.find(host) != std::string::npos;
        if (joined) {
            if (trace) zep::platform::Print("OK!\n");
        } else if (trace) {
            zep::platform::Print("Failed!\n");
        } else {
            zep::platform::Print("Check mpd of [%s] ... Failed!\n", host.c_str());
        }
    }
}

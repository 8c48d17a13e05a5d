// The MPD ring boot on the storage node (task mode 11), in the steps of the boot: the account, the SSH
// connection check, the MPD configuration file, mpdboot from a temporary hosts file, and the mpdtrace
// check of every host.
#include "launch/StorageNode.h"
#include "platform/Console.h"
#include "tools/CommandHandler.h"

namespace {

using zep::launch::RunRemoteStep;
using zep::launch::StorageNode;
using zep::platform::Print;

// Checks that an SSH shell can be opened on the storage node and prints what the check gave (0 only
// when tracing); the boot goes on whatever it gave.
void CheckConnection(StorageNode& node, bool trace) {
    const int code = node.CheckConnection();
    if (trace) Print(">>> Check SSH Connection to the storage node (%s)... ", node.host().c_str());
    switch (code) {
        case 0:
            if (trace) Print("OK!\n");
            break;
        case -1:
            Print("Fail to initialize libssh2.\n");
            break;
        case -2:
            Print("Connect to SSH server at %s failed.\n", node.host().c_str());
            break;
        case -3:
            Print("Fail to establish SSH session.\n");
            break;
        case -4:
            Print("Authentication method (using password) is not available.\n");
            break;
        case -5:
            Print("Fail to request PTY.\n");
            break;
        case -6:
            Print("Authentication for password failed.\n");
            break;
        case -7:
            Print("Fail to open a session.\n");
            break;
        case -8:
            Print("Fail to request a shell.\n");
            break;
        default:
            Print("SSH2_CheckConnection failed, but the symptom is unknown.\n");
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

// The MPD configuration file in the remote user's home folder, with the ring's port range.
void WriteConfiguration(StorageNode& node, bool trace, int minPort, int maxPort) {
    RunRemoteStep(node, trace, "touch ~/.mpd.conf", "touch ~/.mpd.conf",
                  ">>> Create MPD config file at storage node   ... ");
    RunRemoteStep(node, trace,
                  "echo \"MPD_PORT_RANGE=" + std::to_string(minPort) + ":" + std::to_string(maxPort) +
                      "\" > ~/.mpd.conf",
                  "set MPD_PORT_RANGE to ~/.mpd.conf", ">>> Write MPD config file at storage node    ... ");
    RunRemoteStep(node, trace, "chmod 600 ~/.mpd.conf", "chmod 600 ~/.mpd.conf",
                  ">>> Secure MPD config file at storage node   ... ");
}

// mpdboot over the hosts, from a hosts file under "/tmp" that is removed afterwards.
void StartRing(StorageNode& node, bool trace, const std::string& mpdboot,
               const std::vector<std::string>& hosts) {
    const std::string stamp =
        zep::launch::EscapeForDoubleQuotes(zep::launch::LocalTimeStamp("%4d%02d%02d_%02d%02d%02d"));
    const std::string hostsFile = "\"/tmp/mpdhosts_" + stamp + ".txt\"";
    // One line per host; the remote "echo -e" turns the four characters \r\n into CR LF.
    std::string hostsText;
    for (const std::string& host : hosts) hostsText += zep::launch::EscapeForDoubleQuotes(host) + "\\r\\n";
    RunRemoteStep(node, trace, "touch " + hostsFile, "touch mpdhosts.txt in tmp folder",
                  ">>> Create MPD hosts file at storage node    ... ");
    RunRemoteStep(node, trace, "echo -e \"" + hostsText + "\" > " + hostsFile,
                  "Modify mpdhosts.txt in tmp folder", ">>> Modify MPD hosts file at storage node    ... ");
    RunRemoteStep(node, trace,
                  zep::launch::EscapeShellWord(mpdboot) + " -n " + std::to_string(hosts.size()) + " -f " +
                      hostsFile + " -r rsh",
                  "Run mpdboot", ">>> Executing mpdboot                        ... ");
    node.Run("rm " + hostsFile);
}

// mpdtrace, and a check that every host has joined the ring (named anywhere in its output; an empty
// entry passes).
void CheckRing(StorageNode& node, bool trace, const std::string& mpdtrace,
               const std::vector<std::string>& hosts) {
    std::string traceOutput;
    RunRemoteStep(node, trace, zep::launch::EscapeShellWord(mpdtrace), "Run mpdtrace for check",
                  ">>> Executing mpdtrace                       ... ", &traceOutput);
    for (const std::string& host : hosts) {
        if (trace) Print("Check mpd of [%s] ... ", host.c_str());
        const bool joined = host.empty() || traceOutput.find(host) != std::string::npos;
        if (joined) {
            if (trace) Print("OK!\n");
        } else if (trace) {
            Print("Failed!\n");
        } else {
            Print("Check mpd of [%s] ... Failed!\n", host.c_str());
        }
    }
}

}  // namespace

void CommandHandler::BootMPDRing() {
    ReadAccountInfo();
    const bool trace = m_iDebug >= kTraceLevel;
    // Host names and the script paths go into remote commands.
    if (!zep::launch::CheckRemoteTargets(m_ppTaskHostName, m_sLinZep3DHomeDir, "BootMPDRing()",
                                         "the MPD ring is not booted"))
        return;
    StorageNode node(zep::launch::StorageHostOf(m_ppTaskHostName), m_szUserName, m_szPassword, trace);
    CheckConnection(node, trace);

    const std::string mpdboot = ScriptPath(m_sLinZep3DHomeDir, "IntelMPI/mpdboot.py");
    const std::string mpdtrace = ScriptPath(m_sLinZep3DHomeDir, "IntelMPI/mpdtrace.py");
    if (trace) {
        Print("mpdboot =[%s]\n", mpdboot.c_str());
        Print("mpdtrace=[%s]\n", mpdtrace.c_str());
    }
    WriteConfiguration(node, trace, m_iMinPort, m_iMaxPort);

    std::vector<std::string> hosts;
    for (const HostGroup& group : TaskHostGroups()) hosts.push_back(group.name);
    StartRing(node, trace, mpdboot, hosts);
    CheckRing(node, trace, mpdtrace, hosts);
}

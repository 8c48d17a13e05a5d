// The remote shell companion's process-wide settings and its result codes beyond the connection check.
#ifndef ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHSETTINGS_H_
#define ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHSETTINGS_H_

namespace zep {
namespace companions {

constexpr int kDefaultSshPort = 22;
constexpr int kDefaultSshTimeoutMs = 30000;

// Result codes of the remote commands after the connection codes -1 to -8.
constexpr int kSshExecRefused = -9;       // the server did not run the command
constexpr int kSshServerSilent = -10;     // the server stopped answering, or the connection broke
constexpr int kSshLocalFileFailed = -11;  // the console or process-id file cannot be written

int SshPort();
int SshTimeoutMs();
// True unless new hosts are refused, by CZEPSSH2Tool::SSH2_SetAcceptNewHosts(false) or, when that was
// never called, by the environment variable ZEP_SSH_ACCEPT_NEW_HOSTS set to "0" or "no".
bool SshAcceptNewHosts();

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHSETTINGS_H_

// The user's known_hosts file as the remote shell companion reads it: the host keys recorded for a
// host, with the "@revoked" and "@cert-authority" markers, plain, wildcard and hashed host names, and
// the line written for a host seen for the first time.
#ifndef ZEP3D_COMPANIONS_ZEPSSH2TOOL_KNOWNHOSTS_H_
#define ZEP3D_COMPANIONS_ZEPSSH2TOOL_KNOWNHOSTS_H_

#include <string>
#include <vector>

namespace zep {
namespace companions {

// The name under which a host is recorded: the host itself for port 22, "[host]:port" otherwise.
std::string KnownHostName(const std::string& host, int port);

// The key type that an SSH public-key blob names at its start ("ssh-ed25519", "ecdsa-sha2-nistp256",
// ...), or the empty text when the blob does not start with one.
std::string KeyTypeOfBlob(const std::string& blob);

// Standard base64 with padding; Base64Decode returns false for anything else (left-over bits not zero
// included), so a byte string has one text only.
std::string Base64Encode(const std::string& bytes);
bool Base64Decode(const std::string& text, std::string* bytes);

// The line that records a host's key: the name, the key type, the key in base64 and a line end.
std::string KnownHostLine(const std::string& name, const std::string& keyBlob);

// The host key methods of the SSH library that can prove the recorded key types, most wanted first, as
// a comma-separated list (an RSA key can be proven by rsa-sha2-512, rsa-sha2-256 and ssh-rsa).
std::string HostKeyMethodsFor(const std::vector<std::string>& keyTypes);

enum class HostKeyVerdict {
    kUnknown,  // no key is recorded for the host
    kMatch,    // the key is recorded for the host
    kChanged,  // the host is recorded, under this or another key type, but not with this key
    kRevoked,  // the key is marked "@revoked" for the host
};

class KnownHostsFile {
  public:
    // Reads the text of a known_hosts file. Lines that cannot be read (a marker or a key type that is
    // not known, a key that is not base64, the old key format) are passed over; comments and blank
    // lines are allowed; CR LF line ends too.
    explicit KnownHostsFile(const std::string& text);

    // The key types recorded for the host under `name` (see KnownHostName), each once, in the order of
    // the file; "@cert-authority" and "@revoked" lines are not host keys.
    std::vector<std::string> RecordedKeyTypes(const std::string& name) const;

    // What the file says of `keyBlob` offered by the host under `name`. A revoked key is refused
    // whatever other lines say; a host recorded with other keys only, of any type, has changed.
    HostKeyVerdict Check(const std::string& name, const std::string& keyBlob) const;

    // The number of host key lines read (markers included), for tests.
    size_t size() const { return entries_.size(); }

  private:
    enum class Marker { kNone, kRevoked, kCertAuthority };
    struct Entry {
        Marker marker = Marker::kNone;
        std::string hosts;  // the comma-separated patterns or one hashed name
        std::string type;
        std::string key;  // the decoded blob
    };
    bool Matches(const Entry& entry, const std::string& name) const;

    std::vector<Entry> entries_;
};

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPSSH2TOOL_KNOWNHOSTS_H_

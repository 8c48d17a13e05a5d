// Tests of the known_hosts reading. The keys and the hashed names were made by ssh-keygen.
#include "KnownHosts.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace zep {
namespace companions {
namespace {

const std::string kKeyA = "AAAAC3NzaC1lZDI1NTE5AAAAIAXZ2FDMXyN9utdN4tBrtUcbPmuxqB8HDgHE0689tlIG";
const std::string kKeyB = "AAAAC3NzaC1lZDI1NTE5AAAAILcYRdhBRwCMd/QlxF1VhsnDam/cz33kK9PR2wrzRSaC";
const std::string kKeyC =
    "AAAAE2VjZHNhLXNoYTItbmlzdHAyNTYAAAAIbmlzdHAyNTYAAABBBN7qvmRuBGz2otaSxy7AaFbIWuXNGLnSxqGEdCXln4INA0B9uN9i"
    "5WlU9ftjO8+p2BBAUqZyUNQKRgxtHGhoCLw=";

std::string Blob(const std::string& base64) {
    std::string blob;
    EXPECT_TRUE(Base64Decode(base64, &blob));
    return blob;
}

TEST(KnownHosts, RecordsKeysUnderPlainWildcardNegatedAndHashedNames) {
    KnownHostsFile hosts(zep::testing::ReadFile(zep::testing::DataPath("companions/known_hosts")));
    EXPECT_EQ(hosts.size(), 6u);

    struct Case {
        std::string name;
        std::vector<std::string> types;
        std::string key;  // a key the file accepts for the name, if any
    } cases[] = {
        {"node1", {"ssh-ed25519"}, kKeyA},
        {"NODE2.example", {"ssh-ed25519"}, kKeyA},  // letter case does not count
        {"[node3]:2222", {"ecdsa-sha2-nistp256"}, kKeyC},
        {"node3", {}, ""},  // recorded for another port only
        {"a.cluster", {"ssh-ed25519"}, kKeyB},
        {"bad.cluster", {}, ""},  // negated
        {"gpu01", {"ecdsa-sha2-nistp256"}, kKeyC},
        {"gpu1", {}, ""},
        {"[myhost]:2222", {"ssh-ed25519"}, kKeyA},
        {"[MyHost]:2222", {"ssh-ed25519"}, kKeyA},
        {"myhost", {}, ""},
        {"otherhost", {"ecdsa-sha2-nistp256"}, kKeyC},
        {"node9", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hosts.RecordedKeyTypes(c.name), c.types);
        if (c.key.empty()) {
            EXPECT_EQ(hosts.Check(c.name, Blob(kKeyA)), HostKeyVerdict::kUnknown);
        } else {
            EXPECT_EQ(hosts.Check(c.name, Blob(c.key)), HostKeyVerdict::kMatch);
            // Any other key, of the same type or another, is a changed key.
            const std::string other = c.key == kKeyA ? kKeyB : kKeyA;
            EXPECT_EQ(hosts.Check(c.name, Blob(other)), HostKeyVerdict::kChanged);
        }
    }
}

TEST(KnownHosts, RevokedKeysAreRefusedAndCertificateAuthoritiesAreNoHostKeys) {
    // Keys A and C for node1, C revoked everywhere, B a certificate authority's, A revoked for node3.
    KnownHostsFile hosts(zep::testing::ReadFile(zep::testing::DataPath("companions/known_hosts_markers")));
    // Recorded types are those of the host's own keys: neither revoked keys nor a CA's count.
    EXPECT_EQ(hosts.RecordedKeyTypes("node1"),
              (std::vector<std::string>{"ssh-ed25519", "ecdsa-sha2-nistp256"}));
    EXPECT_TRUE(hosts.RecordedKeyTypes("node2").empty());
    EXPECT_EQ(hosts.Check("node1", Blob(kKeyA)), HostKeyVerdict::kMatch);
    EXPECT_EQ(hosts.Check("node1", Blob(kKeyC)), HostKeyVerdict::kRevoked) << "revoked though also listed";
    EXPECT_EQ(hosts.Check("other", Blob(kKeyC)), HostKeyVerdict::kRevoked);
    EXPECT_EQ(hosts.Check("node1", Blob(kKeyB)), HostKeyVerdict::kChanged) << "the CA's key is no host key";
    EXPECT_EQ(hosts.Check("node2", Blob(kKeyB)), HostKeyVerdict::kUnknown);
    EXPECT_EQ(hosts.Check("node3", Blob(kKeyA)), HostKeyVerdict::kRevoked);
    EXPECT_EQ(hosts.Check("node3", Blob(kKeyB)), HostKeyVerdict::kUnknown);
}

TEST(KnownHosts, NewHostLinesAndMethodsAreThoseOfOpenSsh) {
    EXPECT_EQ(KnownHostName("node1", 22), "node1");
    EXPECT_EQ(KnownHostName("127.0.0.1", 2222), "[127.0.0.1]:2222");
    // The line reads back as the host's key, with the key text of ssh-keygen's public-key file.
    const std::string blob = Blob(kKeyC);
    EXPECT_EQ(KeyTypeOfBlob(blob), "ecdsa-sha2-nistp256");
    const std::string line = KnownHostLine("[127.0.0.1]:2222", blob);
    EXPECT_EQ(line, "[127.0.0.1]:2222 ecdsa-sha2-nistp256 " + kKeyC + "\n");
    EXPECT_EQ(KnownHostsFile(line).Check("[127.0.0.1]:2222", blob), HostKeyVerdict::kMatch);

    EXPECT_EQ(HostKeyMethodsFor({"ssh-ed25519", "ssh-rsa"}), "ssh-ed25519,rsa-sha2-512,rsa-sha2-256,ssh-rsa");
    EXPECT_EQ(KeyTypeOfBlob(""), "");
    EXPECT_EQ(KeyTypeOfBlob(std::string("\0\0\0\x20short", 9)), "");

    // Base64 with every padding length, and what is not base64.
    for (const std::string text : {"f", "fo", "foo", "foob", "fooba", "foobar"}) {
        std::string back;
        ASSERT_TRUE(Base64Decode(Base64Encode(text), &back));
        EXPECT_EQ(back, text);
    }
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    std::string ignored;
    for (const std::string bad :
         {"", "Zm9", "Zm9vY===", "Zm=v", "Zm9v\nYg==", "Zg=A", "Zh==", "Zm9=" /* left-over bits */})
        EXPECT_FALSE(Base64Decode(bad, &ignored)) << bad;
}

}  // namespace
}  // namespace companions
}  // namespace zep

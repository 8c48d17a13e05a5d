// Reading the known_hosts file: lines, markers, host patterns and hashed names (HMAC-SHA-1, which the
// file's hashed form uses), and the key blobs compared byte for byte.
#include "KnownHosts.h"

#include <cstdint>
#include <cstring>

namespace zep {
namespace companions {
namespace {

// ---- SHA-1 and HMAC-SHA-1, for hashed host names ------------------------------------------------

uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

std::string Sha1(const std::string& message) {
    uint32_t h[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    std::string data = message;
    uint64_t bits = static_cast<uint64_t>(message.size()) * 8;
    data += static_cast<char>(0x80);
    while (data.size() % 64 != 56) data += '\0';
    for (int i = 7; i >= 0; --i) data += static_cast<char>((bits >> (8 * i)) & 0xFF);
    for (size_t block = 0; block < data.size(); block += 64) {
        uint32_t w[80];
        for (int t = 0; t < 16; ++t) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data() + block + 4 * t);
            w[t] = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        }
        for (int t = 16; t < 80; ++t) w[t] = RotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int t = 0; t < 80; ++t) {
            uint32_t f, k;
            if (t < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999u;
            } else if (t < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1u;
            } else if (t < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDCu;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6u;
            }
            uint32_t temp = RotateLeft(a, 5) + f + e + k + w[t];
            e = d;
            d = c;
            c = RotateLeft(b, 30);
            b = a;
            a = temp;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    std::string digest;
    for (uint32_t word : h) {
        for (int i = 3; i >= 0; --i) digest += static_cast<char>((word >> (8 * i)) & 0xFF);
    }
    return digest;
}

std::string HmacSha1(std::string key, const std::string& message) {
    const size_t kBlock = 64;
    if (key.size() > kBlock) key = Sha1(key);
    key.resize(kBlock, '\0');
    std::string inner(kBlock, '\0');
    std::string outer(kBlock, '\0');
    for (size_t i = 0; i < kBlock; ++i) {
        inner[i] = static_cast<char>(key[i] ^ 0x36);
        outer[i] = static_cast<char>(key[i] ^ 0x5C);
    }
    return Sha1(outer + Sha1(inner + message));
}

// ---- Host names and patterns ----------------------------------------------------------------------

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string text) {
    for (char& c : text) c = Lower(c);
    return text;
}

// "*" stands for any run of characters and "?" for one; letter case does not count.
bool WildcardMatch(const std::string& text, const std::string& pattern) {
    size_t t = 0, p = 0;
    size_t starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(text[t]))) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// A hashed name: "|1|" salt "|" HMAC-SHA-1 of the name keyed with the salt, both in base64.
bool HashedNameMatches(const std::string& hashed, const std::string& name) {
    size_t bar = hashed.find('|', 3);
    if (bar == std::string::npos) return false;
    std::string salt, hash;
    if (!Base64Decode(hashed.substr(3, bar - 3), &salt) || !Base64Decode(hashed.substr(bar + 1), &hash))
        return false;
    return hash.size() == 20 && HmacSha1(salt, name) == hash;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next blank-separated field of `line` from `at`, moving `at` past it.
std::string NextField(const std::string& line, size_t& at) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    size_t start = at;
    while (at < line.size() && !IsBlank(line[at])) ++at;
    return line.substr(start, at - start);
}

bool IsKnownKeyType(const std::string& type) {
    return type == "ssh-ed25519" || type == "ssh-rsa" || type == "ssh-dss" || type == "ecdsa-sha2-nistp256" ||
           type == "ecdsa-sha2-nistp384" || type == "ecdsa-sha2-nistp521" || type == "ssh-ed448" ||
           type == "sk-ssh-ed25519@openssh.com" || type == "sk-ecdsa-sha2-nistp256@openssh.com";
}

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    const char* at = c != 0 ? std::strchr(kAlphabet, c) : nullptr;
    return at != nullptr ? static_cast<int>(at - kAlphabet) : -1;
}

}  // namespace

std::string KnownHostName(const std::string& host, int port) {
    return port == 22 ? host : "[" + host + "]:" + std::to_string(port);
}

std::string KeyTypeOfBlob(const std::string& blob) {
    if (blob.size() < 4) return std::string();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(blob.data());
    uint32_t length = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    if (length == 0 || length > 64 || length > blob.size() - 4) return std::string();
    std::string type = blob.substr(4, length);
    for (char c : type) {
        if (c <= ' ' || c > '~') return std::string();
    }
    return type;
}

std::string Base64Encode(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t chunk = uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
        if (i + 1 < bytes.size()) chunk |= uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
        if (i + 2 < bytes.size()) chunk |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(chunk >> 18) & 63];
        out += kAlphabet[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[chunk & 63] : '=';
    }
    return out;
}

bool Base64Decode(const std::string& text, std::string* bytes) {
    if (text.empty() || text.size() % 4 != 0) return false;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + k];
            bool last = i + 4 == text.size();
            if (c == '=' && last && k >= 2 && (k == 3 || text[i + 3] == '=')) {
                v[k] = 0;
                ++padding;
            } else {
                v[k] = Base64Value(c);
                if (v[k] < 0 || padding > 0) return false;
            }
        }
        // The bits that padding leaves over must be zero: one text per byte string.
        if ((padding == 1 && (v[2] & 3) != 0) || (padding == 2 && (v[1] & 15) != 0)) return false;
        uint32_t chunk =
            (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | uint32_t(v[3]);
        out += static_cast<char>((chunk >> 16) & 0xFF);
        if (padding < 2) out += static_cast<char>((chunk >> 8) & 0xFF);
        if (padding < 1) out += static_cast<char>(chunk & 0xFF);
    }
    *bytes = out;
    return true;
}

std::string KnownHostLine(const std::string& name, const std::string& keyBlob) {
    return name + " " + KeyTypeOfBlob(keyBlob) + " " + Base64Encode(keyBlob) + "\n";
}

std::string HostKeyMethodsFor(const std::vector<std::string>& keyTypes) {
    std::string methods;
    for (const std::string& type : keyTypes) {
        std::string these = type == "ssh-rsa" ? "rsa-sha2-512,rsa-sha2-256,ssh-rsa" : type;
        methods += (methods.empty() ? "" : ",") + these;
    }
    return methods;
}

KnownHostsFile::KnownHostsFile(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t at = 0;
        Entry entry;
        std::string first = NextField(line, at);
        if (first.empty() || first[0] == '#') continue;
        if (first[0] == '@') {
            if (first == "@revoked") {
                entry.marker = Marker::kRevoked;
            } else if (first == "@cert-authority") {
                entry.marker = Marker::kCertAuthority;
            } else {
                continue;
            }
            first = NextField(line, at);
        }
        entry.hosts = first;
        entry.type = NextField(line, at);
        if (entry.hosts.empty() || !IsKnownKeyType(entry.type)) continue;
        if (!Base64Decode(NextField(line, at), &entry.key) || KeyTypeOfBlob(entry.key) != entry.type)
            continue;
        entries_.push_back(entry);
    }
}

bool KnownHostsFile::Matches(const Entry& entry, const std::string& name) const {
    // Names are recorded and hashed in lower case.
    std::string lowered = Lowered(name);
    if (entry.hosts.compare(0, 3, "|1|") == 0) return HashedNameMatches(entry.hosts, lowered);
    // A negated pattern that matches rules the line out, whatever else matches.
    bool matched = false;
    size_t start = 0;
    while (start <= entry.hosts.size()) {
        size_t comma = entry.hosts.find(',', start);
        if (comma == std::string::npos) comma = entry.hosts.size();
        std::string pattern = entry.hosts.substr(start, comma - start);
        start = comma + 1;
        bool negated = !pattern.empty() && pattern[0] == '!';
        if (negated) pattern.erase(0, 1);
        if (pattern.empty() || !WildcardMatch(lowered, pattern)) continue;
        if (negated) return false;
        matched = true;
    }
    return matched;
}

std::vector<std::string> KnownHostsFile::RecordedKeyTypes(const std::string& name) const {
    std::vector<std::string> types;
    for (const Entry& entry : entries_) {
        if (entry.marker != Marker::kNone || !Matches(entry, name)) continue;
        bool seen = false;
        for (const std::string& type : types) seen = seen || type == entry.type;
        if (!seen) types.push_back(entry.type);
    }
    return types;
}

HostKeyVerdict KnownHostsFile::Check(const std::string& name, const std::string& keyBlob) const {
    bool known = false;
    bool matched = false;
    for (const Entry& entry : entries_) {
        if (entry.marker == Marker::kCertAuthority || !Matches(entry, name)) continue;
        if (entry.marker == Marker::kRevoked) {
            if (entry.key == keyBlob) return HostKeyVerdict::kRevoked;
            continue;
        }
        known = true;
        matched = matched || entry.key == keyBlob;
    }
    if (matched) return HostKeyVerdict::kMatch;
    return known ? HostKeyVerdict::kChanged : HostKeyVerdict::kUnknown;
}

}  // namespace companions
}  // namespace zep

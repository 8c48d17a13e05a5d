// Fuzz target: any bytes as a known_hosts file, with a host name and an offered key taken from the input;
// also checks that base64 reads back what it wrote and that the line written for a new host is read
// back as that host's key.
#include <cstdlib>
#include <string>

#include "FuzzDriver.h"
#include "KnownHosts.h"

using zep::companions::Base64Decode;
using zep::companions::Base64Encode;
using zep::companions::HostKeyVerdict;
using zep::companions::KeyTypeOfBlob;
using zep::companions::KnownHostLine;
using zep::companions::KnownHostsFile;

void Fuzz(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The first line names the host, the second is the offered key in base64, the rest is the file.
    size_t first = input.find('\n');
    std::string name = input.substr(0, first);
    size_t second = first == std::string::npos ? std::string::npos : input.find('\n', first + 1);
    std::string keyText =
        first == std::string::npos ? std::string() : input.substr(first + 1, second - first - 1);
    std::string fileText = second == std::string::npos ? std::string() : input.substr(second + 1);

    KnownHostsFile file(fileText);
    (void)zep::companions::HostKeyMethodsFor(file.RecordedKeyTypes(name));
    std::string blob;
    if (!Base64Decode(keyText, &blob)) blob = keyText;
    (void)file.Check(name, blob);

    std::string decoded;
    if (Base64Decode(keyText, &decoded) && Base64Encode(decoded) != keyText) std::abort();

    // A plain name without blanks, separators, patterns or markers is read back from its own line.
    bool plain = !name.empty() && name[0] != '#' && name[0] != '@' && name[0] != '!' && name[0] != '|' &&
                 name.find_first_of(" \t\r\n,*?") == std::string::npos;
    if (plain && !KeyTypeOfBlob(blob).empty()) {
        KnownHostsFile own(KnownHostLine(name, blob));
        if (own.size() == 1 && own.Check(name, blob) != HostKeyVerdict::kMatch) std::abort();
    }
}

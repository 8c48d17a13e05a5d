// Fuzz target: any bytes as the standard output of the background launch, fed to the process-id scanner
// in pieces whose sizes the input chooses; the id found is digits only and found at most once, and it
// does not depend on how the output was cut.
#include <cstdlib>
#include <string>

#include "FuzzDriver.h"
#include "RemoteLaunch.h"

namespace {

std::string Scan(const char* text, size_t size, size_t piece) {
    zep::companions::PidScanner scanner;
    std::string found;
    for (size_t at = 0; at < size; at += piece) {
        const std::string pid = scanner.Feed(text + at, size - at < piece ? size - at : piece);
        if (!pid.empty()) {
            if (!found.empty() || pid.find_first_not_of("0123456789") != std::string::npos) std::abort();
            found = pid;
        }
    }
    if (scanner.found() != !found.empty()) std::abort();
    return found;
}

}  // namespace

void Fuzz(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const size_t piece = data[0] % 16 + 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    // Short outputs are never trimmed, so the cut must not matter.
    const std::string whole = Scan(text, size - 1, size);
    const std::string cut = Scan(text, size - 1, piece);
    if (size - 1 < 65536 && whole != cut) std::abort();
}

// Formatting of the progress line.
#include "Progress.h"

#include <cstdio>

namespace zep {
namespace apps {

std::string FormatBytes(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 4) {
        bytes /= 1024.0;
        ++unit;
    }
    char text[32];
    if (unit == 0) {
        std::snprintf(text, sizeof(text), "%.0f B", bytes);
    } else {
        std::snprintf(text, sizeof(text),
                      bytes < 10    ? "%.2f %s"
                      : bytes < 100 ? "%.1f %s"
                                    : "%.0f %s",
                      bytes, kUnits[unit]);
    }
    return text;
}

std::string FormatProgress(const std::string& label, uint64_t done, uint64_t total, double seconds,
                           int width) {
    if (done > total) done = total;
    double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    int filled = static_cast<int>(fraction * width);
    std::string bar = label + " [" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(width - filled), '-') + "]";
    char text[128];
    std::snprintf(text, sizeof(text), " %3d%%  %s of %s", static_cast<int>(fraction * 100.0),
                  FormatBytes(static_cast<double>(done)).c_str(),
                  FormatBytes(static_cast<double>(total)).c_str());
    bar += text;
    if (seconds > 0.0) bar += "  " + FormatBytes(static_cast<double>(done) / seconds) + "/s";
    return bar;
}

}  // namespace apps
}  // namespace zep

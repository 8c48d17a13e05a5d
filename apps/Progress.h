// The progress bar of zep3dtool's long file operations: bar, percentage, amounts and throughput on one
// line of standard error, redrawn in place.
#ifndef ZEP3D_APPS_PROGRESS_H_
#define ZEP3D_APPS_PROGRESS_H_

#include <cstdint>
#include <string>

namespace zep {
namespace apps {

// A byte amount in the largest unit that keeps it at 1 or more: "512 B", "1.5 KiB", "20.0 MiB",
// "1.25 GiB" (three significant digits from KiB on).
std::string FormatBytes(double bytes);

// One progress line: label, a bar of `width` cells, the percentage, the amount done of the total and
// the throughput, e.g. "encrypt [##########----------]  50%  10.0 MiB of 20.0 MiB  41.2 MiB/s".
// `done` above `total` counts as `total`; a total of 0 counts as finished. Before any time has passed
// the throughput is left out.
std::string FormatProgress(const std::string& label, uint64_t done, uint64_t total, double seconds,
                           int width = 30);

}  // namespace apps
}  // namespace zep

#endif  // ZEP3D_APPS_PROGRESS_H_

// Reading a CSV file of vectors for the arrow writer: "x1,y1,z1,x2,y2,z2" per line.
#ifndef ZEP3D_APPS_VECTORCSV_H_
#define ZEP3D_APPS_VECTORCSV_H_

#include <array>
#include <string>
#include <vector>

namespace zep {
namespace apps {

using Vector6 = std::array<float, 6>;  // start x, y, z, end x, y, z

// Parses the text of a vector CSV file: one vector per line, six numbers separated by commas, blanks
// around them allowed; empty lines and lines starting with "#" are skipped, and so is a first line whose
// six fields are all non-numeric (a header). Line ends LF or CR LF. Numbers must be finite and fit a
// float. Returns false with "line N: reason" in `error` at the first line that is none of these.
// When `lines` is given, it receives the line number (from 1) of each vector.
bool ParseVectorCsv(const std::string& text, std::vector<Vector6>* vectors, std::string* error,
                    std::vector<int>* lines = nullptr);

}  // namespace apps
}  // namespace zep

#endif  // ZEP3D_APPS_VECTORCSV_H_

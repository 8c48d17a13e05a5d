// Parsing the vector CSV text.
#include "VectorCsv.h"

#include <cfloat>
#include <cmath>
#include <sstream>

#include "Options.h"

namespace zep {
namespace apps {
namespace {

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        fields.push_back(
            Trim(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

}  // namespace

bool ParseVectorCsv(const std::string& text, std::vector<Vector6>* vectors, std::string* error,
                    std::vector<int>* lines) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool firstData = true;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        std::vector<std::string> fields = Fields(trimmed);
        std::string where = "line " + std::to_string(number) + ": ";
        if (fields.size() != 6) {
            *error = where + "expected 6 comma-separated numbers (x1,y1,z1,x2,y2,z2), found " +
                     std::to_string(fields.size()) + " field" + (fields.size() == 1 ? "" : "s");
            return false;
        }
        Vector6 vector;
        int numeric = 0;
        std::string bad;
        for (size_t i = 0; i < 6; ++i) {
            double value = 0.0;
            if (ParseNumber(fields[i], &value) && std::fabs(value) <= FLT_MAX) {
                vector[i] = static_cast<float>(value);
                ++numeric;
            } else if (bad.empty()) {
                bad = fields[i];
            }
        }
        bool header = firstData && numeric == 0;
        firstData = false;
        if (header) continue;
        if (numeric != 6) {
            *error = where + "'" + bad + "' is not a finite number";
            return false;
        }
        vectors->push_back(vector);
        if (lines != nullptr) lines->push_back(number);
    }
    return true;
}

}  // namespace apps
}  // namespace zep

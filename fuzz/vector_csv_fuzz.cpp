// Fuzz target: any bytes as the CSV file of the arrows command; a file that is accepted gives only
// finite coordinates, and a refused one says which line.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzDriver.h"
#include "VectorCsv.h"

void Fuzz(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<zep::apps::Vector6> vectors;
    std::string error;
    if (zep::apps::ParseVectorCsv(text, &vectors, &error)) {
        for (const auto& v : vectors)
            for (float c : v)
                if (!std::isfinite(c)) std::abort();
    } else if (error.rfind("line ", 0) != 0) {
        std::abort();
    }
}

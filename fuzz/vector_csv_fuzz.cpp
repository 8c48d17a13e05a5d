// Any bytes as the CSV file of the arrows command; a file that is accepted gives only finite
// coordinates, and a refused one says which line.
#include <cmath>
#include <vector>

#include "FuzzDriver.h"
#include "VectorCsv.h"

void Fuzz(const uint8_t* data, size_t size) {
    std::vector<zep::apps::Vector6> vectors;
    std::string error;
    const bool accepted =
        zep::apps::ParseVectorCsv(std::string(reinterpret_cast<const char*>(data), size), &vectors, &error);
    if (!accepted && error.rfind("line ", 0) != 0) std::abort();
    for (const auto& v : vectors)
        for (float c : v)
            if (accepted && !std::isfinite(c)) std::abort();
}

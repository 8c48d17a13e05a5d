// Parsing the partition file and the solver's command line.
#include "PartitionFile.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace zep {
namespace solver {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool ParsePositive(const std::string& text, int* value) {
    errno = 0;
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || errno != 0 || n < 1 || n > (1 << 20)) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != 0) return false;
    *value = static_cast<int>(n);
    return true;
}

bool ParseWeights(const std::string& rest, std::vector<double>* weights) {
    const char* p = rest.c_str();
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == 0) return true;
        char* end = nullptr;
        double w = std::strtod(p, &end);
        if (end == p) return false;
        weights->push_back(w);
        p = end;
    }
}

std::string Slashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace

bool ParsePartitionFile(const std::string& text, PartitionFile* out, std::string* error) {
    PartitionFile file;
    std::vector<std::string> lines = Lines(text);
    bool counted = false;
    bool weighted = false;
    bool inHosts = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line == "#NPartition") {
            if (i + 1 >= lines.size() || !ParsePositive(lines[i + 1], &file.partitions)) {
                *error = "the partition count after \"#NPartition\" is not a positive number";
                return false;
            }
            counted = true;
            ++i;
        } else if (line == "#ParallelMode_IS_SMP") {
            file.singleMachine = true;
        } else if (line == "hosts") {
            inHosts = true;
        } else if (line.compare(0, 17, "#ParaWeightFactor") == 0) {
            inHosts = false;
            weighted = true;
            if (!ParseWeights(line.substr(17), &file.weights)) {
                *error = "the \"#ParaWeightFactor\" line holds something other than numbers";
                return false;
            }
        } else if (inHosts || (!line.empty() && counted && !file.singleMachine)) {
            // Machine lines follow "hosts" (or the count, on a Linux run, which has no "hosts" line).
            if (!line.empty()) file.machineLines.push_back(line);
        }
    }
    if (!counted) {
        *error = "no \"#NPartition\" line";
        return false;
    }
    if (!file.singleMachine && !weighted) {
        *error = "neither \"#ParallelMode_IS_SMP\" nor a \"#ParaWeightFactor\" line";
        return false;
    }
    if (!file.singleMachine && file.weights.size() != static_cast<size_t>(file.partitions)) {
        *error = "the partition count is " + std::to_string(file.partitions) + " but " +
                 std::to_string(file.weights.size()) + " weights are given";
        return false;
    }
    *out = file;
    return true;
}

double PartitionWeight(const PartitionFile& file, int rank) {
    if (file.singleMachine) return 1.0 / file.partitions;
    return file.weights[static_cast<size_t>(rank)];
}

std::vector<std::string> PartitionFileCandidates(const std::vector<std::string>& args) {
    std::string runFolder;
    std::string runName;
    for (size_t i = 0; i < args.size(); ++i) {
        size_t first = args[i].find('*');
        size_t second = first == std::string::npos ? first : args[i].find('*', first + 1);
        if (second == std::string::npos) continue;
        runFolder = Slashes(args[i].substr(first + 1, second - first - 1));
        // The run's name follows the markers, in the same argument or as the next one.
        runName = args[i].substr(second + 1);
        if (runName.empty() && i + 1 < args.size()) runName = args[i + 1];
        break;
    }
    std::vector<std::string> candidates;
    if (runName.empty()) return candidates;
    std::string file = runName + ".ppp";
    if (!runFolder.empty()) {
        candidates.push_back(runFolder.back() == '/' ? runFolder + file : runFolder + "/" + file);
    }
    candidates.push_back(file);
    return candidates;
}

}  // namespace solver
}  // namespace zep

// The example installation's solver: an MPI program that reads its run's partition file and reports,
// rank by rank, the partition count and its own weight. Rank 0 prints every report in rank order.
#include <mpi.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PartitionFile.h"

namespace {

constexpr int kReportBytes = 512;

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

// Reads the partition file named by the arguments; on failure `report` holds the reason.
bool ReadPartitions(const std::vector<std::string>& args, zep::solver::PartitionFile* file, std::string* name,
                    std::string* report) {
    std::vector<std::string> candidates = zep::solver::PartitionFileCandidates(args);
    if (candidates.empty()) {
        *report = "the command line names no run (expected \"<program folder>*<run folder>*\" <run name>)";
        return false;
    }
    for (const std::string& path : candidates) {
        std::string text;
        if (!ReadWholeFile(path, &text)) continue;
        *name = path.substr(path.find_last_of('/') + 1);
        std::string error;
        if (zep::solver::ParsePartitionFile(text, file, &error)) return true;
        *report = "partition file " + path + ": " + error;
        return false;
    }
    *report = "cannot read the partition file " + candidates.front();
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    MPI_Init(&argc, &argv);
    int rank = 0;
    int size = 0;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &size);

    std::vector<std::string> args(argv + 1, argv + argc);
    zep::solver::PartitionFile file;
    std::string name;
    std::string report;
    bool ok = ReadPartitions(args, &file, &name, &report);
    double weight = 0.0;
    if (ok && file.partitions != size) {
        ok = false;
        report = "the partition file " + name + " has " + std::to_string(file.partitions) +
                 " partitions but " + std::to_string(size) + " processes run";
    }
    if (ok) {
        weight = zep::solver::PartitionWeight(file, rank);
        char text[kReportBytes];
        std::snprintf(
            text, sizeof(text), "%s, %d partitions, weight %g%s", name.c_str(), file.partitions, weight,
            file.singleMachine ? " (equal share: a single-machine partition file has no weights)" : "");
        report = text;
    }

    // Every rank's report travels to rank 0, which prints them in rank order.
    char mine[kReportBytes] = {0};
    std::snprintf(mine, sizeof(mine), "rank %d of %d: %s", rank, size, report.c_str());
    std::vector<char> all(rank == 0 ? static_cast<size_t>(kReportBytes) * static_cast<size_t>(size) : 1);
    MPI_Gather(mine, kReportBytes, MPI_CHAR, all.data(), kReportBytes, MPI_CHAR, 0, MPI_COMM_WORLD);

    int good = ok ? 1 : 0;
    int allGood = 0;
    double total = 0.0;
    MPI_Allreduce(&good, &allGood, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    MPI_Reduce(&weight, &total, 1, MPI_DOUBLE, MPI_SUM, 0, MPI_COMM_WORLD);
    if (rank == 0) {
        for (int r = 0; r < size; ++r) std::printf("%s\n", &all[static_cast<size_t>(r) * kReportBytes]);
        if (allGood == 1)
            std::printf("%d processes read the partition file; their weights add up to %g\n", size, total);
        std::fflush(stdout);
    }
    MPI_Finalize();
    return allGood == 1 ? 0 : 1;
}

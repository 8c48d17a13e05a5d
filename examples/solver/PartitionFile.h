// The example solver's reading of a run's partition file (".ppp") and of its own command line.
#ifndef ZEP3D_SOLVER_PARTITIONFILE_H_
#define ZEP3D_SOLVER_PARTITIONFILE_H_

#include <string>
#include <vector>

namespace zep {
namespace solver {

// What a partition file says: the partition count, whether the run stays on one machine, the machine
// lines of a multi-machine run and the weight of each partition (none on one machine).
struct PartitionFile {
    int partitions = 0;
    bool singleMachine = false;
    std::vector<std::string> machineLines;
    std::vector<double> weights;
};

// Parses the text of a partition file (line ends LF or CR LF). Returns true and fills `out`, or false
// with a one-line reason in `error`: no "#NPartition" line, a partition count that is not a positive
// number, a file that is neither a single-machine one nor gives a weight, or a weight list whose length
// is not the partition count.
bool ParsePartitionFile(const std::string& text, PartitionFile* out, std::string* error);

// The weight of partition `rank` (0-based): on a single-machine run, which has no weights, every
// partition has the equal share 1 / partitions.
// REQUIRES: 0 <= rank < file.partitions, and `file` came from a successful ParsePartitionFile.
double PartitionWeight(const PartitionFile& file, int rank);

// Where the solver finds its partition file, from its arguments (program name excluded). The command
// line is "<program folder>*<run folder>*" followed by the run's name (base name and run id); paths may
// hold backslashes, which become "/". Returns the candidates in the order to try: the run folder's
// file, then the same name in the working folder (the launcher's run folder, for a run whose paths
// were rewritten for other machines). Empty when the arguments name no run.
std::vector<std::string> PartitionFileCandidates(const std::vector<std::string>& args);

}  // namespace solver
}  // namespace zep

#endif  // ZEP3D_SOLVER_PARTITIONFILE_H_

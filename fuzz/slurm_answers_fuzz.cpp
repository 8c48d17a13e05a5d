// Fuzz target: any bytes as the answers of Slurm's commands (sbatch's job id line, scontrol's job
// records and configuration, the completed-jobs file), read by the cluster job companion.
#include <map>
#include <string>

#include "FuzzDriver.h"
#include "SlurmJob.h"

void Fuzz(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)zep::companions::ParseSubmittedJobId(text);
    const std::map<std::string, std::string> fields = zep::companions::ParseSlurmFields(text);
    (void)zep::companions::ParseSlurmConfig(text);
    (void)zep::companions::FindCompletedJob(text, size > 0 ? data[0] : 1);
    CZEPHPCJobInfoMessage info;
    zep::companions::FillJobInfo(fields, info);
    (void)info.PrintJobBasicStartInfo();
    (void)info.PrintJobBasicEndInfo();
    const auto state = fields.find("JobState");
    (void)zep::companions::IsFinalState(
        zep::companions::StateFromSlurm(state != fields.end() ? state->second : text));
}

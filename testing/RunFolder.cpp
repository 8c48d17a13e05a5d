// Run folders and task-manager file texts for the tests.
#include "RunFolder.h"

#include <filesystem>

namespace zep {
namespace testing {

RunFolder::RunFolder() : project_(dir_.path() + "/Proj") {
    std::filesystem::create_directories(std::filesystem::path(runPath()));
}

std::string TaskBlock(int taskMode, int tasks, const std::string& moreLines) {
    return "<TASKMANAGER>\nIDTaskMode=" + std::to_string(taskMode) +
           "\nValueNoTask=" + std::to_string(tasks) + "\n" + moreLines + "</TASKMANAGER>\n";
}

std::string MachineBlock(const std::vector<std::string>& entries, const std::vector<std::string>& weights,
                         const std::string& keyLines, int version) {
    std::string text = "<REMOTE_MACHINES>\nVersion=" + std::to_string(version) +
                       "\nValueNoMachine=" + std::to_string(entries.size()) + "\n" + keyLines +
                       "ValueMachineSetting\n";
    for (size_t i = 0; i < entries.size(); ++i) text += std::to_string(i + 1) + "=" + entries[i] + "\n";
    text += "ValueMachineWeighting\n";
    for (size_t i = 0; i < weights.size(); ++i) text += std::to_string(i + 1) + "=" + weights[i] + "\n";
    return text + "</REMOTE_MACHINES>\n";
}

}  // namespace testing
}  // namespace zep

// A run folder for tests of the run set-up and launch: a temporary project with its
// "Analysis/Run<id>" folder and helpers that write task-manager files into it.
#ifndef ZEP3D_TESTING_RUNFOLDER_H_
#define ZEP3D_TESTING_RUNFOLDER_H_

#include <string>
#include <vector>

#include "TestUtil.h"

namespace zep {
namespace testing {

class RunFolder {
  public:
    // A project folder "<temp>/Proj" with the run folder "Analysis/Run01" and base name "Part".
    RunFolder();

    const std::string& projectDir() const { return project_; }
    // The project folder as the Linux node sees it: "/ZEP_WorkingFolder/" and what follows the
    // folder's first "/" (the root on POSIX, the drive "C:/" on Windows).
    std::string linuxProjectDir() const {
        return "/ZEP_WorkingFolder/" + project_.substr(project_.find('/') + 1);
    }
    std::string runPath() const { return project_ + "/Analysis/Run01"; }
    // The run file with the extension (".cmx", ".ppp", ".pwf"), as the library names it.
    std::string RunFile(const std::string& extension) const { return runPath() + "/Part01" + extension; }
    void WriteCmx(const std::string& content) const { WriteFile(RunFile(".cmx"), content); }
    const ScopedTempDir& temp() const { return dir_; }

  private:
    ScopedTempDir dir_;
    std::string project_;
};

// A task block with the task mode and task count, and any further task lines.
std::string TaskBlock(int taskMode, int tasks, const std::string& moreLines = "");

// A machine block: version, machine count, the extra key lines, the machine entries and their weights.
std::string MachineBlock(const std::vector<std::string>& entries, const std::vector<std::string>& weights,
                         const std::string& keyLines = "", int version = 1003);

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_TESTING_RUNFOLDER_H_

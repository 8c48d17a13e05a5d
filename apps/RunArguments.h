// The arguments of a run as zep3dtool run and check take them: the options that become SetCommand's
// or GetCommand's arguments.
#ifndef ZEP3D_APPS_RUNARGUMENTS_H_
#define ZEP3D_APPS_RUNARGUMENTS_H_

#include <string>
#include <vector>

#include "Options.h"

namespace zep {
namespace apps {

// The options of run (forRun) or check.
std::vector<OptionDef> RunOptionDefs(bool forRun);

struct RunArguments {
    std::string install;  // with a separator at its end
    std::string project;
    std::string base;
    std::string runId;
    std::string solver;
    std::string commandLine;
    int trace = 0;
    bool noPathMapping = false;

    // Takes the parsed options; false with a reason for a trace level that is not a number from 0 to 9,
    // or an empty name. The command line defaults to DefaultCommandLine().
    bool From(const Options& options, bool forRun, std::string* error);

    // The solver's command line when none is given: "\"<install>*<run folder>*\" <base><run id>", the
    // program folder and the run folder between the markers that the library rewrites for the
    // machines of a multi-machine run, and the run's name, from which the solver names its partition
    // file.
    std::string DefaultCommandLine() const;

    // The run folder and the run's files as the library names them ("<project>/Analysis/Run<id>/
    // <base><id><extension>").
    std::string RunFolder() const;
    std::string RunFile(const std::string& extension) const;
};

}  // namespace apps
}  // namespace zep

#endif  // ZEP3D_APPS_RUNARGUMENTS_H_

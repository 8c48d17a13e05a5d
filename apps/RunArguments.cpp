// The run options shared by zep3dtool run and check.
#include "RunArguments.h"

#include <filesystem>
#include <system_error>

#include "Commands.h"
#include "platform/Platform.h"

namespace zep {
namespace apps {

namespace {

// The launcher runs in the run folder, so the paths it is given must not depend on this process's
// working folder.
std::string Absolute(const std::string& path) {
    if (path.empty()) return path;
    std::filesystem::path mapped = std::filesystem::u8path(platform::MapPath(path.c_str()));
    if (mapped.is_absolute() || mapped.has_root_name()) return path;
    std::error_code error;
    std::filesystem::path here = std::filesystem::current_path(error);
    if (error) return path;
    std::string folder = here.u8string();
    return folder + (folder.back() == '/' || folder.back() == '\\' ? "" : "/") + path;
}

}  // namespace

std::vector<OptionDef> RunOptionDefs(bool forRun) {
    std::vector<OptionDef> defs = {
        {"install", "DIR", "installation folder (holds Bin/ with the launcher and the solver)", forRun},
        {"project", "DIR", "project folder (holds Analysis/Run<ID>/)", true},
        {"base", "NAME", "base name of the run files", true},
        {"run-id", "ID", "run identifier (the run folder is Analysis/Run<ID>)", true},
        {"solver", "NAME", "file name of the solver program in <install>/Bin", forRun},
        {"command-line", "TEXT",
         "the solver's command line (default: \"<install>*<run folder>*\" <base><ID>)"},
        {"trace", "LEVEL", "trace level 0-9 of the library; 2 or more prints its traces (default 0)"},
    };
    if (forRun) {
        defs.push_back(
            {"no-path-mapping", "", "leave the command line's project path as given (multi-machine runs)"});
    }
    return defs;
}

bool RunArguments::From(const Options& options, bool forRun, std::string* error) {
    install = options.Has("install") ? InstallFolder(Absolute(options.Value("install"))) : "";
    project = Absolute(options.Value("project"));
    base = options.Value("base");
    runId = options.Value("run-id");
    solver = options.Value("solver");
    long level = 0;
    if (options.Has("trace") && !ParseInteger(options.Value("trace"), 0, 9, &level)) {
        *error = "the trace level must be a number from 0 to 9, not '" + options.Value("trace") + "'";
        return false;
    }
    trace = static_cast<int>(level);
    noPathMapping = options.Has("no-path-mapping");
    const char* empty = project.empty() ? "--project"
                        : base.empty()  ? "--base"
                        : runId.empty() ? "--run-id"
                                        : nullptr;
    if (forRun && empty == nullptr)
        empty = install.empty() ? "--install" : solver.empty() ? "--solver" : nullptr;
    if (empty != nullptr) {
        *error = std::string("option '") + empty + "' must not be empty";
        return false;
    }
    commandLine = options.Has("command-line") ? options.Value("command-line") : DefaultCommandLine();
    return true;
}

std::string RunArguments::DefaultCommandLine() const {
    return "\"" + install + "*" + RunFolder() + "*\" " + base + runId;
}

std::string RunArguments::RunFolder() const { return project + "/Analysis/Run" + runId; }

std::string RunArguments::RunFile(const std::string& extension) const {
    return RunFolder() + "/" + base + runId + extension;
}

}  // namespace apps
}  // namespace zep

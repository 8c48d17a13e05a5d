// Any bytes as a task-manager file, set up as a run (the parallel run files are written too) under a
// temporary folder.
#include <filesystem>

#include "FuzzDriver.h"
#include "platform/Platform.h"
#include "zep3d/ZEPTools.h"

void Fuzz(const uint8_t* data, size_t size) {
    static const std::string project = [] {
        // Retries must not wait, and traces switched on by an input need not be seen.
        zep::platform::SetSleepFunction([](int) {});
        QuietStdout();
        std::filesystem::create_directories(FuzzTempFolder() + "/Proj/Analysis/Run01");
        return FuzzTempFolder() + "/Proj";
    }();
    WriteFuzzFile(project + "/Analysis/Run01/Part01.cmx", {reinterpret_cast<const char*>(data), size});
    const int selector = size % 5 == 0 ? 3 : 0;
    const int noPathMapping = size % 3 == 0 ? 1 : 0;
    CZEPTools tools;
    tools.SetCommand(selector, "\"C:\\App\\*D:\\Work\\Proj\\Analysis\\Run01*\" -x", "C:\\App\\",
                     project.c_str(), "Part", "solver.exe", "01", noPathMapping, 0);
    (void)tools.GetCommandErrMsg();
    (void)tools.GetHostIP();
}

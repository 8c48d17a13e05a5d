// Fuzz target: any bytes as a task-manager file, set up as a run (the parallel run files are written
// too) under a temporary folder.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzDriver.h"
#include "platform/Platform.h"
#include "zep3d/ZEPTools.h"

namespace {

struct Setup {
    std::string project;
    std::string cmx;
    Setup() {
        // Retries must not wait, and traces switched on by an input need not be seen.
        zep::platform::SetSleepFunction([](int) {});
        if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
        std::filesystem::path base = FuzzTempFolder();
        std::filesystem::create_directories(base / "Proj" / "Analysis" / "Run01");
        project = (base / "Proj").string();
        cmx = project + "/Analysis/Run01/Part01.cmx";
    }
};

}  // namespace

void Fuzz(const uint8_t* data, size_t size) {
    static Setup setup;
    {
        std::ofstream out(setup.cmx, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const int selector = size % 5 == 0 ? 3 : 0;
    const int noPathMapping = size % 3 == 0 ? 1 : 0;
    CZEPTools tools;
    tools.SetCommand(selector, "\"C:\\App\\*D:\\Work\\Proj\\Analysis\\Run01*\" -x", "C:\\App\\",
                     setup.project.c_str(), "Part", "solver.exe", "01", noPathMapping, 0);
    (void)tools.GetCommandErrMsg();
    (void)tools.GetHostIP();
}

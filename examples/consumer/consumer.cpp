// A solver's first steps with the installed library: a run set up from a task-manager file, and an
// arrow written with the vector tool. Prints what it got; exits 0 when both worked.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "zep3d/ZEPDrawVectorTool.h"
#include "zep3d/ZEPTools.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer PROJECT_FOLDER\n");
        return 2;
    }
    std::string project = argv[1];
    CZEPTools tools;
    int status = tools.GetCommand(0, "\"/opt/zep/*run*\" Demo01", "/opt/zep/", project.c_str(), "Demo",
                                  "solver", "01", 0);
    std::printf("GetCommand status %d, host %s\n", status, tools.GetHostIP());

    CZEPDrawVectorTool arrows;
    arrows.SetLine10(0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f);
    std::string stl = project + "/arrow.stl";
    arrows.OutputFile_STL(stl.c_str());
    std::ifstream in(stl);
    std::stringstream text;
    text << in.rdbuf();
    std::printf("%s", text.str().c_str());
    return status == 1 && text.str().find("vertex  0 -0.05 0") != std::string::npos ? 0 : 1;
}

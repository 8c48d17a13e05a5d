// zep3dtool arrows: a CSV file of vectors to an arrow STL file through the library's vector tool.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Commands.h"
#include "Options.h"
#include "VectorCsv.h"
#include "platform/Platform.h"
#include "zep3d/ZEPDrawVectorTool.h"

namespace zep {
namespace apps {
namespace {

const char kCommand[] = "arrows";

bool ReadText(const std::string& path, std::string* text) {
    std::ifstream in(platform::MapPath(path.c_str()), std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return !in.bad();
}

}  // namespace

int ArrowsCommand(const std::vector<std::string>& args) {
    Options options(
        "zep3dtool arrows [--ratio R] [--force] INPUT.csv OUTPUT.stl",
        "Turns a CSV file of vectors, one \"x1,y1,z1,x2,y2,z2\" per line (start and end point), into an\n"
        "ASCII STL file with one flat arrow triangle per vector: apex at the end point, base at the\n"
        "start point, base width = ratio x length. Empty lines, lines starting with '#' and a header\n"
        "line are skipped; vectors of length 0, which have no direction, are left out and counted.",
        {{"ratio", "R", "base width / length of every arrow, above 0 (default 0.05)"},
         {"force", "", "replace an existing OUTPUT"},
         {"trace", "", "print the vector tool's trace lines"}},
        2);
    std::string error;
    if (!options.Parse(args, &error)) return UsageError(kCommand, error);
    if (options.Help()) {
        std::fputs(options.HelpText().c_str(), stdout);
        return kExitOk;
    }
    double ratio = 0.05;
    if (options.Has("ratio") &&
        (!ParseNumber(options.Value("ratio"), &ratio) || !(ratio > 0.0) || ratio > 1e6))
        return UsageError(kCommand,
                          "the ratio must be a number above 0, not '" + options.Value("ratio") + "'");
    const std::string input = options.Positionals()[0];
    const std::string output = options.Positionals()[1];

    platform::FileStatus status;
    if (!platform::QueryFileStatus(input.c_str(), &status))
        return Fail(kCommand, "cannot read " + input + ": no such file");
    std::string text;
    if (status.isDirectory || !ReadText(input, &text)) return Fail(kCommand, "cannot read " + input);
    std::vector<Vector6> vectors;
    if (!ParseVectorCsv(text, &vectors, &error)) return Fail(kCommand, input + ": " + error);
    if (platform::QueryFileStatus(output.c_str(), &status)) {
        if (status.isDirectory) return Fail(kCommand, "cannot write " + output + ": it is a folder");
        if (!options.Has("force")) return Fail(kCommand, output + " exists; give --force to replace it");
    }

    CZEPDrawVectorTool tool;
    tool.SetTrace(options.Has("trace") ? 1 : 0);
    if (options.Has("ratio")) tool.SetBaseLengthRatio(static_cast<float>(ratio));
    size_t drawn = 0;
    size_t skipped = 0;
    for (const Vector6& v : vectors) {
        if (v[0] == v[3] && v[1] == v[4] && v[2] == v[5]) {
            ++skipped;
            continue;
        }
        if (!tool.SetLine10(v[0], v[1], v[2], v[3], v[4], v[5])) return Fail(kCommand, "out of memory");
        ++drawn;
    }
    tool.OutputFile_STL(output.c_str());
    std::fflush(stdout);
    // The writer reports nothing: what it wrote is checked here.
    std::string written;
    if (!ReadText(output, &written) || written.compare(0, 5, "solid") != 0)
        return Fail(kCommand, "cannot write " + output);
    std::printf("Wrote %zu arrow%s to %s (base ratio %g)", drawn, drawn == 1 ? "" : "s", output.c_str(),
                ratio);
    if (skipped > 0) std::printf("; left out %zu vector%s of length 0", skipped, skipped == 1 ? "" : "s");
    std::printf("\n");
    return kExitOk;
}

}  // namespace apps
}  // namespace zep

// zep3dtool arrows: a CSV file of vectors to an arrow STL file through the library's vector tool.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// The vector tool, with a look at the arrow it would draw for a vector: its base corner is computed in
// single precision, which fails (NaN or infinity) for lengths whose square leaves the float range.
class ArrowTool : public CZEPDrawVectorTool {
  public:
    bool HasFiniteArrow(const Vector6& v) {
        float x = 0, y = 0, z = 0;
        GetVector_TrianglePoint(v[0], v[1], v[2], v[3], v[4], v[5], x, y, z);
        return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
    }
};

// Takes the library's messages while the file is written.
class MessageCapture {
  public:
    MessageCapture() {
        platform::SetDebugOutputSink([this](const char* text) { messages_.push_back(text); });
    }
    ~MessageCapture() { platform::SetDebugOutputSink(nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    const std::vector<std::string>& Messages() const { return messages_; }

  private:
    std::vector<std::string> messages_;
};

// "line 4", "lines 4 and 9", "lines 4, 9, 11, 12, 20 and 3 more".
std::string LineList(const std::vector<int>& lines) {
    constexpr size_t kNamed = 5;
    std::string text = lines.size() == 1 ? "line " : "lines ";
    const size_t named = std::min(lines.size(), kNamed);
    for (size_t i = 0; i < named; ++i) {
        if (i > 0) text += i + 1 == named && lines.size() <= kNamed ? " and " : ", ";
        text += std::to_string(lines[i]);
    }
    if (lines.size() > kNamed) text += " and " + std::to_string(lines.size() - kNamed) + " more";
    return text;
}

std::string Vectors(size_t n) { return std::to_string(n) + (n == 1 ? " vector" : " vectors"); }

}  // namespace

int ArrowsCommand(const std::vector<std::string>& args) {
    Options options(
        "zep3dtool arrows [--ratio R] [--force] INPUT.csv OUTPUT.stl",
        "Turns a CSV file of vectors, one \"x1,y1,z1,x2,y2,z2\" per line (start and end point), into an\n"
        "ASCII STL file with one flat arrow triangle per vector: apex at the end point, base at the\n"
        "start point, base width = ratio x length. Empty lines, lines starting with '#' and a header\n"
        "line are skipped. Vectors of length 0, which have no direction, and vectors too short or too\n"
        "long for their arrow to be computed in single precision are left out, counted and named by line.",
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
    std::vector<int> lines;
    if (!ParseVectorCsv(text, &vectors, &error, &lines)) return Fail(kCommand, input + ": " + error);
    if (platform::QueryFileStatus(output.c_str(), &status)) {
        if (status.isDirectory) return Fail(kCommand, "cannot write " + output + ": it is a folder");
        if (!options.Has("force")) return Fail(kCommand, output + " exists; give --force to replace it");
    }

    ArrowTool tool;
    tool.SetTrace(options.Has("trace") ? 1 : 0);
    if (options.Has("ratio")) tool.SetBaseLengthRatio(static_cast<float>(ratio));
    size_t drawn = 0;
    size_t zeroLength = 0;
    std::vector<int> unrepresentable;
    for (size_t i = 0; i < vectors.size(); ++i) {
        const Vector6& v = vectors[i];
        if (v[0] == v[3] && v[1] == v[4] && v[2] == v[5]) {
            ++zeroLength;
            continue;
        }
        if (!tool.HasFiniteArrow(v)) {
            unrepresentable.push_back(lines[i]);
            continue;
        }
        if (!tool.SetLine10(v[0], v[1], v[2], v[3], v[4], v[5])) return Fail(kCommand, "out of memory");
        ++drawn;
    }
    {
        // The writer reports a failure on the debugger channel and leaves the old file as it was.
        MessageCapture capture;
        tool.OutputFile_STL(output.c_str());
        std::fflush(stdout);
        if (!capture.Messages().empty()) {
            // "CZEPDrawSTLTool::OutputFile()-Cannot write <path>: <reason>": the reason is passed on.
            const std::string& message = capture.Messages().front();
            const std::string lead = "Cannot write " + output + ": ";
            const size_t at = message.find(lead);
            return Fail(kCommand,
                        "cannot write " + output +
                            (at == std::string::npos ? "" : ": " + message.substr(at + lead.size())));
        }
    }
    std::printf("Wrote %zu arrow%s to %s (base ratio %g)", drawn, drawn == 1 ? "" : "s", output.c_str(),
                ratio);
    if (zeroLength > 0 || !unrepresentable.empty()) std::printf("; left out ");
    if (zeroLength > 0) std::printf("%s of length 0", Vectors(zeroLength).c_str());
    if (zeroLength > 0 && !unrepresentable.empty()) std::printf(" and ");
    if (!unrepresentable.empty()) {
        std::printf("%s too short or too long for a single-precision arrow (%s)",
                    Vectors(unrepresentable.size()).c_str(), LineList(unrepresentable).c_str());
    }
    std::printf("\n");
    return kExitOk;
}

}  // namespace apps
}  // namespace zep

// The background launch's local side: the launcher's process id found between the mpiexec tags of the
// remote console, and the console and process-id files it is written to.
#ifndef ZEP3D_COMPANIONS_ZEPSSH2TOOL_REMOTELAUNCH_H_
#define ZEP3D_COMPANIONS_ZEPSSH2TOOL_REMOTELAUNCH_H_

#include <cstddef>
#include <cstdio>
#include <string>

namespace zep {
namespace companions {

// Finds the launcher's process id between the mpiexec tags in the standard output seen so far.
class PidScanner {
  public:
    // Returns the id once, when its closing tag has arrived; the empty text before and after.
    std::string Feed(const char* data, size_t length);
    bool found() const { return found_; }

  private:
    std::string seen_;
    bool found_ = false;
};

// A local file written as the output arrives; writes after a failed open are dropped.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile() { Close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Opens (and empties) the file by its path in the system code page.
    bool Open(const std::string& path);
    void Write(const char* data, size_t length);
    void Close();

  private:
    FILE* file_ = nullptr;
};

// Closes the process-id file when the launch ends, and removes it unless an id was written to it.
class ProcessIdFileCleanup {
  public:
    ProcessIdFileCleanup(OutputFile& file, const std::string& path, const PidScanner& scanner)
        : file_(file), path_(path), scanner_(scanner) {}
    ~ProcessIdFileCleanup();
    ProcessIdFileCleanup(const ProcessIdFileCleanup&) = delete;
    ProcessIdFileCleanup& operator=(const ProcessIdFileCleanup&) = delete;

  private:
    OutputFile& file_;
    const std::string& path_;
    const PidScanner& scanner_;
};

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPSSH2TOOL_REMOTELAUNCH_H_

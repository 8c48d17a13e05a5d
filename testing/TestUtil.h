// Shared test utilities: a scoped temporary folder, capture of standard output and of the debugger
// channel, a recording sleep hook, and small file helpers.
#ifndef ZEP3D_TESTING_TESTUTIL_H_
#define ZEP3D_TESTING_TESTUTIL_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace zep {
namespace testing {

// A new, empty folder under the system's temporary folder, removed with everything in it when the
// object ends.
class ScopedTempDir {
  public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    // The folder's path, with "/" separators and no trailing separator.
    const std::string& path() const { return path_; }

    // path() + "/" + name.
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Takes everything written to standard output (stdio and iostreams, in program order) from
// construction until Stop() or the end of the object.
class StdoutCapture {
  public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Ends the capture (once) and returns what was written.
    std::string Stop();

  private:
    int savedFd_ = -1;  // the standard output's own descriptor while it is captured
    std::string path_;  // the file that takes the output
    std::string text_;
    bool stopped_ = false;
};

// Collects the messages of the debugger channel while it lives.
class DebugOutputCapture {
  public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::vector<std::string> Messages() const { return messages_; }

  private:
    std::vector<std::string> messages_;
};

// Replaces real waits by a record of the requested pauses while it lives.
class SleepRecorder {
  public:
    SleepRecorder();
    ~SleepRecorder();
    SleepRecorder(const SleepRecorder&) = delete;
    SleepRecorder& operator=(const SleepRecorder&) = delete;

    const std::vector<int>& Waits() const { return waits_; }

  private:
    std::vector<int> waits_;
};

// Fixes the platform clock while it lives.
class FixedClock {
  public:
    explicit FixedClock(const platform::LocalTime& time);
    ~FixedClock();
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;
};

// Real write faults for tests of the writers: a child process runs a piece of a test under a file-size
// limit or as a user without rights, and hands back the text that the piece returns.
struct FaultChild {
    // Files may grow to this many bytes at most (RLIMIT_FSIZE), with SIGXFSZ ignored so that a write
    // past it fails with EFBIG instead of ending the child; -1 for no limit.
    long long fileSizeLimit = -1;
    // When the tests run as root: run as the unprivileged user "nobody", so that the permissions of
    // files and folders apply.
    bool unprivileged = false;
};

// True when this system can run fault children (POSIX); otherwise false, and *why says why.
bool CanRunFaultChildren(std::string* why);

// Runs `body` in a child process set up as `fault` says and returns the text that `body` returned; a
// child that could not be set up or did not end normally gives a text that starts with "child: ".
std::string RunInFaultChild(const FaultChild& fault, const std::function<std::string()>& body);

// Whole-file helpers in binary mode. ReadFile returns the empty text for a missing file.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

// The lines of `text`, without their "\n" ends; a last line without an end is one too.
std::vector<std::string> Lines(const std::string& text);

// True when `text` has the form of `pattern`, in which each "9" stands for one decimal digit and every
// other character for itself (file names with time stamps, for example).
bool HasForm(const std::string& text, const std::string& pattern);

// The names of the entries of `folder` that begin with `prefix`; none when the folder cannot be read.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix);

// The folder of the test data (testing/data).
std::string DataPath(const std::string& name);

// The platform's text-mode line end ("\r\n" on Windows, "\n" elsewhere), for expected file contents.
std::string TextLineEnd();

// Replaces every "\n" of `text` by TextLineEnd().
std::string AsTextFile(const std::string& text);

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_TESTING_TESTUTIL_H_

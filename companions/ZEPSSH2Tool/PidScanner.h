// The SSH companion's scanner of the remote launcher's process id in the background launch's standard
// output (the id between mpiexec tags), apart so that it can be fuzzed.
#ifndef ZEP3D_COMPANIONS_ZEPSSH2TOOL_PIDSCANNER_H_
#define ZEP3D_COMPANIONS_ZEPSSH2TOOL_PIDSCANNER_H_

#include <cstddef>
#include <string>

namespace zep {
namespace companions {

// Finds the launcher's process id between the mpiexec tags in the standard output seen so far.
class PidScanner {
  public:
    // Returns the id once, when the closing tag has arrived.
    std::string Feed(const char* data, size_t length) {
        if (found_) return std::string();
        seen_.append(data, length);
        static const std::string open = "<mpiexec>";
        static const std::string closing = "</mpiexec>";
        // The id is what lies between a closing tag and the last opening tag before it; a pair around
        // something that is no id is dropped, and the search goes on behind it.
        for (;;) {
            const size_t end = seen_.find(closing);
            if (end == std::string::npos) break;
            const size_t start =
                end >= open.size() ? seen_.rfind(open, end - open.size()) : std::string::npos;
            std::string pid;
            if (start != std::string::npos)
                pid = seen_.substr(start + open.size(), end - start - open.size());
            seen_.erase(0, end + closing.size());
            if (!pid.empty() && pid.find_first_not_of("0123456789") == std::string::npos) {
                found_ = true;
                return pid;
            }
        }
        // Keep only what a tag that has begun may still need.
        if (seen_.size() > 65536) seen_.erase(0, seen_.size() - 64);
        return std::string();
    }
    bool found() const { return found_; }

  private:
    std::string seen_;
    bool found_ = false;
};

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPSSH2TOOL_PIDSCANNER_H_

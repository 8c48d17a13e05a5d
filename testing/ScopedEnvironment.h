// Test helper on POSIX: clears the variables that choose a locale for the life of the object, sets some,
// and puts the earlier values back afterwards.
#ifndef ZEP3D_TESTING_SCOPEDENVIRONMENT_H_
#define ZEP3D_TESTING_SCOPEDENVIRONMENT_H_

#include <stdlib.h>

#include <map>
#include <string>

namespace zep {
namespace testing {

class ScopedEnvironment {
  public:
    // Starts with every variable that chooses a locale cleared.
    ScopedEnvironment() {
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_COLLATE", "LC_MESSAGES", "LC_MONETARY",
                                 "LC_NUMERIC", "LC_TIME", "LANG", "LANGUAGE"}) {
            const char* value = getenv(name);
            if (value != nullptr) saved_[name] = value;
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& name : set_) unsetenv(name.first.c_str());
        for (const auto& saved : saved_) setenv(saved.first.c_str(), saved.second.c_str(), 1);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // REQUIRES: `name` chooses a locale.
    void Set(const std::string& name, const std::string& value) {
        set_[name] = value;
        setenv(name.c_str(), value.c_str(), 1);
    }

  private:
    std::map<std::string, std::string> saved_;  // the variables that had values, with them
    std::map<std::string, std::string> set_;
};

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_TESTING_SCOPEDENVIRONMENT_H_

// Test helper on POSIX: sets or clears environment variables for the life of the object and puts the
// earlier values back afterwards.
#ifndef ZEP3D_TESTING_SCOPEDENVIRONMENT_H_
#define ZEP3D_TESTING_SCOPEDENVIRONMENT_H_

#include <stdlib.h>

#include <map>
#include <string>

namespace zep {
namespace testing {

class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment() {
        for (const auto& saved : saved_) {
            if (saved.second.first) {
                setenv(saved.first.c_str(), saved.second.second.c_str(), 1);
            } else {
                unsetenv(saved.first.c_str());
            }
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void Set(const std::string& name, const std::string& value) {
        Save(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Clear(const std::string& name) {
        Save(name);
        unsetenv(name.c_str());
    }
    // Clears every variable that chooses a locale.
    void ClearLocale() {
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_COLLATE", "LC_MESSAGES", "LC_MONETARY",
                                 "LC_NUMERIC", "LC_TIME", "LANG", "LANGUAGE"}) {
            Clear(name);
        }
    }

  private:
    void Save(const std::string& name) {
        if (saved_.count(name) != 0) return;
        const char* value = getenv(name.c_str());
        saved_[name] = {value != nullptr, value != nullptr ? value : ""};
    }
    std::map<std::string, std::pair<bool, std::string>> saved_;
};

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_TESTING_SCOPEDENVIRONMENT_H_

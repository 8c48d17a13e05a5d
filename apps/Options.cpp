// Parsing the subcommands' options.
#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace zep {
namespace apps {

Options::Options(std::string usage, std::string summary, std::vector<OptionDef> defs, size_t positionals)
    : usage_(std::move(usage)),
      summary_(std::move(summary)),
      defs_(std::move(defs)),
      positionalCount_(positionals) {}

const OptionDef* Options::Find(const std::string& name) const {
    for (const OptionDef& def : defs_)
        if (def.name == name) return &def;
    return nullptr;
}

bool Options::Parse(const std::vector<std::string>& args, std::string* error) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            help_ = true;
            return true;
        }
    }
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positionals_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg.compare(0, 2, "--") != 0) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        std::string name = arg.substr(2);
        std::string value;
        bool inlineValue = false;
        size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            inlineValue = true;
        }
        const OptionDef* def = Find(name);
        if (def == nullptr) {
            *error = "unknown option '--" + name + "'";
            return false;
        }
        if (values_.count(name) != 0) {
            *error = "option '--" + name + "' is given twice";
            return false;
        }
        if (def->valueName.empty()) {
            if (inlineValue) {
                *error = "option '--" + name + "' takes no value";
                return false;
            }
        } else if (!inlineValue) {
            if (i + 1 >= args.size()) {
                *error = "option '--" + name + "' needs a value (" + def->valueName + ")";
                return false;
            }
            value = args[++i];
        }
        values_[name] = value;
    }
    for (const OptionDef& def : defs_) {
        if (def.required && values_.count(def.name) == 0) {
            *error = "option '--" + def.name + "' is required";
            return false;
        }
    }
    if (positionals_.size() != positionalCount_) {
        if (positionalCount_ == 0) {
            *error = "unexpected argument '" + positionals_.front() + "'";
        } else {
            *error = "expected " + std::to_string(positionalCount_) + " file argument" +
                     (positionalCount_ == 1 ? "" : "s") + ", got " + std::to_string(positionals_.size());
        }
        return false;
    }
    return true;
}

std::string Options::Value(const std::string& name, const std::string& fallback) const {
    auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

std::string Options::HelpText() const {
    std::string text = "usage: " + usage_ + "\n\n" + summary_ + "\n";
    if (!defs_.empty()) text += "\noptions:\n";
    std::vector<OptionDef> all = defs_;
    all.push_back({"help", "", "show this help and exit"});
    for (const OptionDef& def : all) {
        std::string left = "  --" + def.name + (def.valueName.empty() ? "" : " " + def.valueName);
        if (left.size() < 28)
            left.resize(28, ' ');
        else
            left += "\n" + std::string(28, ' ');
        text += left + def.help + (def.required ? " (required)" : "") + "\n";
    }
    return text;
}

bool ParseInteger(const std::string& text, long low, long high, long* value) {
    if (text.empty() || text.size() > 18) return false;
    long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n < low || n > high) return false;
    *value = n;
    return true;
}

bool ParseNumber(const std::string& text, double* value) {
    if (text.empty() || text.front() == ' ' || text.front() == '\t') return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

}  // namespace apps
}  // namespace zep

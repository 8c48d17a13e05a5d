// Command-line options of the zep3dtool subcommands: declared long options, "--name value" or
// "--name=value", flags, positional arguments and the generated help text.
#ifndef ZEP3D_APPS_OPTIONS_H_
#define ZEP3D_APPS_OPTIONS_H_

#include <map>
#include <string>
#include <vector>

namespace zep {
namespace apps {

struct OptionDef {
    std::string name;       // without the leading "--"
    std::string valueName;  // empty for a flag
    std::string help;
    bool required = false;
};

// The options of one subcommand. "--help" is always known.
class Options {
  public:
    // `usage` is the synopsis line after "usage: "; `positionals` the number of positional arguments the
    // subcommand takes (exactly that many).
    Options(std::string usage, std::string summary, std::vector<OptionDef> defs, size_t positionals = 0);

    // Parses the arguments after the subcommand's name. Returns false with a one-line reason in `error`
    // for an unknown option, a missing or unexpected value, an option given twice, a missing required
    // option or a wrong number of positional arguments. A "--help" anywhere makes the parse succeed
    // with Help() true and nothing else checked. "--" ends the options.
    bool Parse(const std::vector<std::string>& args, std::string* error);

    bool Help() const { return help_; }
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    // The option's value, or `fallback` when it was not given.
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& Positionals() const { return positionals_; }

    // The help text: usage, summary and one line per option.
    std::string HelpText() const;

  private:
    const OptionDef* Find(const std::string& name) const;

    std::string usage_;
    std::string summary_;
    std::vector<OptionDef> defs_;
    size_t positionalCount_;
    bool help_ = false;
    std::map<std::string, std::string> values_;
    std::vector<std::string> positionals_;
};

// Parses a whole decimal number in [low, high]; false for anything else (signs, blanks, overflow).
bool ParseInteger(const std::string& text, long low, long high, long* value);

// Parses a finite decimal floating-point number that fills the whole text.
bool ParseNumber(const std::string& text, double* value);

}  // namespace apps
}  // namespace zep

#endif  // ZEP3D_APPS_OPTIONS_H_

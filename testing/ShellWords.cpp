// The shell command reader of the tests: words, operators and expansions of one command line.
#include "ShellWords.h"

#include <cstring>

namespace zep {
namespace testing {
namespace {

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    ShellCommand Read() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t') {
                EndWord();
                ++pos_;
            } else if (c == '#' && !inWord_) {
                result_.tokens.push_back({true, "#"});
                pos_ = text_.size();
            } else if (std::strchr(";&|<>()\n", c) != nullptr) {
                EndWord();
                Operator();
            } else {
                if (!Word()) return result_;
            }
        }
        EndWord();
        result_.complete = true;
        return result_;
    }

  private:
    void EndWord() {
        if (inWord_) result_.tokens.push_back({false, word_});
        inWord_ = false;
        word_.clear();
    }

    void Operator() {
        static const char* const kTwo[] = {"&&", "||", ">>", "<<", ";;", ">&", "<&", "&>", ">|"};
        for (const char* two : kTwo) {
            if (text_.compare(pos_, 2, two) == 0) {
                result_.tokens.push_back({true, two});
                pos_ += 2;
                return;
            }
        }
        result_.tokens.push_back({true, std::string(1, text_[pos_++])});
    }

    // A "$" at pos_: records an expansion when one follows and appends what was written.
    void Dollar() {
        const char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
        if (next == '(' || next == '{') {
            result_.expansions.push_back(std::string("$") + next);
            word_ += text_.substr(pos_, 2);
            pos_ += 2;
        } else if (IsNameStart(next)) {
            size_t end = pos_ + 1;
            while (end < text_.size() && IsNameChar(text_[end])) ++end;
            result_.expansions.push_back(text_.substr(pos_, end - pos_));
            word_ += text_.substr(pos_, end - pos_);
            pos_ = end;
        } else if (next != '\0' && std::strchr("!?#@*$-0123456789", next) != nullptr) {
            result_.expansions.push_back(text_.substr(pos_, 2));
            word_ += text_.substr(pos_, 2);
            pos_ += 2;
        } else {
            word_ += '$';
            ++pos_;
        }
    }

    // Reads word characters up to the next blank or operator; false on an unclosed quote.
    bool Word() {
        const bool start = !inWord_;
        inWord_ = true;
        const char c = text_[pos_];
        if (c == '\\') {
            if (pos_ + 1 >= text_.size()) return false;
            if (text_[pos_ + 1] != '\n') word_ += text_[pos_ + 1];
            pos_ += 2;
        } else if (c == '\'') {
            const size_t close = text_.find('\'', pos_ + 1);
            if (close == std::string::npos) return false;
            word_ += text_.substr(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
        } else if (c == '"') {
            ++pos_;
            for (;;) {
                if (pos_ >= text_.size()) return false;
                const char q = text_[pos_];
                if (q == '"') {
                    ++pos_;
                    break;
                }
                if (q == '\\' && pos_ + 1 < text_.size() &&
                    std::strchr("$`\"\\\n", text_[pos_ + 1]) != nullptr) {
                    if (text_[pos_ + 1] != '\n') word_ += text_[pos_ + 1];
                    pos_ += 2;
                } else if (q == '$') {
                    Dollar();
                } else if (q == '`') {
                    result_.expansions.push_back("`");
                    word_ += q;
                    ++pos_;
                } else {
                    word_ += q;
                    ++pos_;
                }
            }
        } else if (c == '$') {
            Dollar();
        } else {
            if (c == '`') result_.expansions.push_back("`");
            if (c == '*' || c == '?' || c == '[' || c == '{') result_.expansions.push_back(std::string(1, c));
            if (c == '~' && start) result_.expansions.push_back("~");
            word_ += c;
            ++pos_;
        }
        return true;
    }

    const std::string& text_;
    size_t pos_ = 0;
    bool inWord_ = false;
    std::string word_;
    ShellCommand result_;
};

}  // namespace

ShellCommand ReadShellCommand(const std::string& command) { return Reader(command).Read(); }

}  // namespace testing
}  // namespace zep

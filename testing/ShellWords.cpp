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
            if (c == ' ' || c == '\t' || c == '#' || std::strchr(";&|<>()\n", c) != nullptr) {
                if (c == '#' && inWord_) {
                    if (!Word()) return result_;
                    continue;
                }
                EndWord();
                if (c != ' ' && c != '\t') result_.tokens.push_back({true, std::string(1, c)});
                pos_ = c == '#' ? text_.size() : pos_ + 1;
            } else if (!Word()) {
                return result_;
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

    // Appends the next `length` characters as written, recording them as an expansion.
    void Expansion(size_t length) {
        result_.expansions.push_back(text_.substr(pos_, length));
        word_ += text_.substr(pos_, length);
        pos_ += length;
    }

    // A "$" at pos_: an expansion when a name, "(", "{" or a special parameter follows.
    void Dollar() {
        const char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
        size_t end = pos_ + 1;
        if (IsNameStart(next)) {
            while (end < text_.size() && IsNameChar(text_[end])) ++end;
            Expansion(end - pos_);
        } else if (next != '\0' && std::strchr("({!?#@*$-0123456789", next) != nullptr) {
            Expansion(2);
        } else {
            word_ += text_[pos_++];
        }
    }

    // Reads one piece of a word; false on an unclosed quote or a backslash at the very end.
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
            for (++pos_;;) {
                if (pos_ >= text_.size()) return false;
                const char q = text_[pos_];
                if (q == '"') {
                    ++pos_;
                    return true;
                }
                if (q == '\\' && pos_ + 1 < text_.size() &&
                    std::strchr("$`\"\\\n", text_[pos_ + 1]) != nullptr) {
                    if (text_[pos_ + 1] != '\n') word_ += text_[pos_ + 1];
                    pos_ += 2;
                } else if (q == '$') {
                    Dollar();
                } else if (q == '`') {
                    Expansion(1);
                } else {
                    word_ += text_[pos_++];
                }
            }
        } else if (c == '$') {
            Dollar();
        } else if (std::strchr("`*?[{", c) != nullptr || (c == '~' && start)) {
            Expansion(1);
        } else {
            word_ += text_[pos_++];
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

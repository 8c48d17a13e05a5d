// The settings script store: the reading of script files piece by piece, the case-blind name lookups
// with their hash indexes, and the in-memory changes.
#include "toolkit/ZEP3DScript.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <memory>

#include "platform/Platform.h"

namespace ZEP3DToolKit {

namespace {

// Script files are read in pieces of at most kPieceSize - 1 bytes and a terminating zero.
constexpr size_t kPieceSize = 2048;

const char* Text(const char* text) { return text != nullptr ? text : ""; }

// Splits a file into pieces as the runtime's text-mode line reading does on Windows: a piece ends after
// a line end or after kPieceSize - 1 bytes, and a CR LF pair reaches the piece as one LF. A lone CR
// stays as it is. The file is read in blocks, binary, so every system gives the same pieces.
class PieceReader {
  public:
    explicit PieceReader(FILE* fp) : fp_(fp) {}

    // Fills `piece` (kPieceSize bytes) with the next piece and a terminating zero. Returns the number of
    // bytes read into it, which may include zero bytes; 0 at the end of the file or after a read error.
    size_t Next(char* piece) {
        size_t n = 0;
        while (n < kPieceSize - 1) {
            int c = Get();
            if (c == EOF) break;
            if (c == '\r' && Peek() == '\n') c = Get();
            piece[n++] = static_cast<char>(c);
            if (c == '\n') break;
        }
        piece[n] = 0;
        return n;
    }

  private:
    int Get() {
        if (pos_ == length_ && !Fill()) return EOF;
        return static_cast<unsigned char>(block_[pos_++]);
    }
    int Peek() {
        if (pos_ == length_ && !Fill()) return EOF;
        return static_cast<unsigned char>(block_[pos_]);
    }
    bool Fill() {
        if (done_) return false;
        length_ = std::fread(block_, 1, sizeof(block_), fp_);
        pos_ = 0;
        if (length_ == 0) done_ = true;  // end of file or a read error: reading stops either way
        return length_ != 0;
    }

    FILE* fp_;
    char block_[8192];
    size_t length_ = 0;
    size_t pos_ = 0;
    bool done_ = false;
};

struct FileCloser {
    void operator()(FILE* fp) const { std::fclose(fp); }
};

// The printable test of a line's first byte: a byte that opens a multibyte character of the current
// code page is decoded and tested as a wide character, any other byte as itself.
bool FirstCharacterIsPrintable(const char* text, size_t length) {
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (zep::platform::IsLeadByte(first)) {
        wchar_t wide = 0;
        if (zep::platform::DecodeCharacter(text, length, &wide) == 0) return false;
        return std::iswprint(static_cast<std::wint_t>(wide)) != 0;
    }
    return std::isprint(first) != 0;
}

}  // namespace

CZEP3DScript::CZEP3DScript() : m_bIgnoreCase(true), m_fold(), m_bIndexed(false) { RefreshIndexes(); }

CZEP3DScript::~CZEP3DScript() { Erase(); }

// ---- Name folding and the indexes ------------------------------------------------------------------

void CZEP3DScript::RefreshIndexes() noexcept {
    FoldTable table;
    for (int c = 0; c < 256; ++c) {
        table[c] = static_cast<unsigned char>(m_bIgnoreCase ? std::tolower(c) : c);
    }
    if (table != m_fold) {
        // The locale's lower-casing has changed (or this is the first use): names indexed under the old
        // one may fold differently now.
        m_fold = table;
        m_bIndexed = false;
    }
    if (m_bIndexed) return;
    try {
        RebuildIndexes();
        m_bIndexed = true;
    } catch (...) {
        // Out of memory: lookups scan the lists until a later call manages the rebuild.
        m_sectionIndex.clear();
        m_vKeyIndex.clear();
        m_bIndexed = false;
    }
}

void CZEP3DScript::RebuildIndexes() {
    m_bIndexed = false;
    NameIndex sections;
    std::vector<NameIndex> keys;
    keys.reserve(m_vSection.size());
    for (size_t i = 0; i < m_vSectionName.size(); ++i) {
        const std::string& name = m_vSectionName[i];
        if (LookUp(sections, m_vSectionName, name.c_str(), name.size()) == -1) {
            sections.emplace(FoldedHash(name.c_str(), name.size()), static_cast<int>(i));
        }
        keys.emplace_back();
        const std::vector<std::string>& sectionKeys = m_vSection[i].m_vKey;
        for (size_t k = 0; k < sectionKeys.size(); ++k) {
            const std::string& key = sectionKeys[k];
            if (LookUp(keys.back(), sectionKeys, key.c_str(), key.size()) == -1) {
                keys.back().emplace(FoldedHash(key.c_str(), key.size()), static_cast<int>(k));
            }
        }
    }
    m_sectionIndex.swap(sections);
    m_vKeyIndex.swap(keys);
}

size_t CZEP3DScript::FoldedHash(const char* name, size_t length) const {
    // FNV-1a over the folded bytes.
    uint64_t hash = 14695981039346656037ULL;
    for (size_t i = 0; i < length; ++i) {
        hash ^= m_fold[static_cast<unsigned char>(name[i])];
        hash *= 1099511628211ULL;
    }
    return static_cast<size_t>(hash);
}

bool CZEP3DScript::FoldedEqual(const std::string& stored, const char* name, size_t length) const {
    if (stored.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (m_fold[static_cast<unsigned char>(stored[i])] != m_fold[static_cast<unsigned char>(name[i])]) {
            return false;
        }
    }
    return true;
}

int CZEP3DScript::LookUp(const NameIndex& index, const std::vector<std::string>& names, const char* name,
                         size_t length) const {
    auto range = index.equal_range(FoldedHash(name, length));
    for (auto it = range.first; it != range.second; ++it) {
        if (FoldedEqual(names[static_cast<size_t>(it->second)], name, length)) return it->second;
    }
    return -1;
}

int CZEP3DScript::Find(const std::vector<std::string>& names, const NameIndex* index,
                       const char* name) const {
    const size_t length = std::strlen(name);
    if (index != nullptr) return LookUp(*index, names, name, length);
    for (size_t i = 0; i < names.size(); ++i) {
        if (FoldedEqual(names[i], name, length)) return static_cast<int>(i);
    }
    return -1;
}

// ---- Lookups ---------------------------------------------------------------------------------------

int CZEP3DScript::FindSectionImpl(const char* section) const {
    return Find(m_vSectionName, m_bIndexed ? &m_sectionIndex : nullptr, Text(section));
}

int CZEP3DScript::FindSectionContextImpl(int sectionIndex, const char* key) const {
    if (m_vSection.empty() || static_cast<unsigned int>(sectionIndex) >= m_vSection.size()) return -1;
    const size_t i = static_cast<size_t>(sectionIndex);
    if (m_vSection[i].m_vKey.empty()) return -1;
    return Find(m_vSection[i].m_vKey, m_bIndexed ? &m_vKeyIndex[i] : nullptr, Text(key));
}

int CZEP3DScript::FindSection(const char* section) {
    RefreshIndexes();
    return FindSectionImpl(section);
}

int CZEP3DScript::FindSectionContext(int sectionIndex, const char* key) {
    RefreshIndexes();
    return FindSectionContextImpl(sectionIndex, key);
}

const char* CZEP3DScript::GetSectionContext(const char* section, const char* key, const char* defaultValue) {
    RefreshIndexes();
    const int i = FindSectionImpl(section);
    if (i == -1) return defaultValue;
    const int k = FindSectionContextImpl(i, key);
    if (k == -1) return defaultValue;
    return m_vSection[static_cast<size_t>(i)].m_vValue[static_cast<size_t>(k)].c_str();
}

// ---- Changes ---------------------------------------------------------------------------------------

int CZEP3DScript::AddSectionImpl(const char* section) {
    const char* name = Text(section);
    const size_t before = m_vSection.size();
    try {
        const bool first = FindSectionImpl(name) == -1;
        m_vSectionName.emplace_back(name);
        m_vSection.emplace_back();
        if (m_bIndexed) {
            m_vKeyIndex.emplace_back();
            if (first) m_sectionIndex.emplace(FoldedHash(name, std::strlen(name)), static_cast<int>(before));
        }
        return static_cast<int>(before);
    } catch (...) {
        // Put the lists back as they were, so that entry i still names record i.
        while (m_vSectionName.size() > before) m_vSectionName.pop_back();
        while (m_vSection.size() > before) m_vSection.pop_back();
        if (m_bIndexed) {
            while (m_vKeyIndex.size() > before) m_vKeyIndex.pop_back();
        }
        zep::platform::DebugOutput("CZEP3DScript::AddSection()-Error occurs!");
        return 0;
    }
}

int CZEP3DScript::AddSection(const char* section) {
    RefreshIndexes();
    return AddSectionImpl(section);
}

bool CZEP3DScript::AddSectionContextImpl(const char* section, const char* key, const char* value,
                                         bool create) {
    int i = FindSectionImpl(section);
    if (i == -1) {
        if (!create) return false;
        const size_t before = m_vSection.size();
        i = AddSectionImpl(section);
        // A failed AddSection answers 0, which may name another section or none at all: the key must
        // not go there.
        if (m_vSection.size() == before) return false;
    }
    ScriptSection& target = m_vSection[static_cast<size_t>(i)];
    const char* keyText = Text(key);
    const char* valueText = Text(value);
    const int k = FindSectionContextImpl(i, keyText);
    const size_t before = target.m_vKey.size();
    try {
        if (k != -1) {
            target.m_vValue[static_cast<size_t>(k)].assign(valueText);
            return true;
        }
        if (!create) return false;
        target.m_vKey.emplace_back(keyText);
        target.m_vValue.emplace_back(valueText);
        if (m_bIndexed) {
            m_vKeyIndex[static_cast<size_t>(i)].emplace(FoldedHash(keyText, std::strlen(keyText)),
                                                        static_cast<int>(before));
        }
        return true;
    } catch (...) {
        while (target.m_vKey.size() > before) target.m_vKey.pop_back();
        while (target.m_vValue.size() > before) target.m_vValue.pop_back();
        zep::platform::DebugOutput("CZEP3DScript::AddSectionContext()-Error occurs!");
        return false;
    }
}

bool CZEP3DScript::AddSectionContext(const char* section, const char* key, const char* value, bool create) {
    RefreshIndexes();
    return AddSectionContextImpl(section, key, value, create);
}

bool CZEP3DScript::AddHeaderCommentImpl(const char* text) {
    try {
        m_vHeaderComment.emplace_back(Text(text));
        return true;
    } catch (...) {
        zep::platform::DebugOutput("CZEP3DScript::AddHeaderComment()-Error occurs!");
        return false;
    }
}

bool CZEP3DScript::AddHeaderComment(const char* text) { return AddHeaderCommentImpl(text); }

bool CZEP3DScript::AddSectionCommentImpl(int sectionIndex, const char* text) {
    if (static_cast<unsigned int>(sectionIndex) >= m_vSection.size()) return false;
    try {
        m_vSection[static_cast<size_t>(sectionIndex)].m_vComment.emplace_back(Text(text));
        return true;
    } catch (...) {
        zep::platform::DebugOutput("CZEP3DScript::AddSectionComment()-Error occurs!");
        return false;
    }
}

bool CZEP3DScript::AddSectionComment(int sectionIndex, const char* text) {
    return AddSectionCommentImpl(sectionIndex, text);
}

bool CZEP3DScript::Erase() {
    try {
        for (ScriptSection& section : m_vSection) {
            section.m_vKey.clear();
            section.m_vValue.clear();
            section.m_vComment.clear();
        }
        m_vSectionName.clear();
        m_vSection.clear();
        m_vHeaderComment.clear();
        m_sectionIndex.clear();
        m_vKeyIndex.clear();
        return true;
    } catch (...) {
        zep::platform::DebugOutput("CZEP3DScript::Erase()-Error occurs!");
        return false;
    }
}

// ---- Reading ---------------------------------------------------------------------------------------

bool CZEP3DScript::ReadINIFile(const char* path, int* status) {
    FILE* raw = nullptr;
    int openError = 0;
    try {
        openError = zep::platform::OpenStdio(raw, path, "rb");
    } catch (...) {
        // Mapping the path ran out of memory: the file cannot be opened.
        openError = -1;
    }
    if (openError != 0 || raw == nullptr) {
        if (status != nullptr) *status = -1;
        zep::platform::DebugOutput("CZEP3DScript::ReadINIFile()-Couldn't open script file!");
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(raw);
    RefreshIndexes();

    // The current section name comes from one piece, so it always fits a piece-sized buffer.
    char current[kPieceSize] = {0};
    char piece[kPieceSize];
    PieceReader reader(file.get());
    while (reader.Next(piece) != 0) {
        // The line is the piece up to its first zero byte.
        size_t length = std::strlen(piece);
        if (length > 0) {
            const char last = piece[length - 1];
            if (last == '\n' || last == '\t' || last == '\r') piece[--length] = 0;
        }
        if (length == 0) continue;
        if (!FirstCharacterIsPrintable(piece, length)) {
            zep::platform::DebugOutput("CZEP3DScript::ReadINIFile()-The Script file is binary format!");
            continue;
        }
        char* marker = std::strpbrk(piece, ";#[=");
        if (marker == nullptr) continue;
        switch (*marker) {
            case ';':
            case '#':
                if (m_vSection.empty()) {
                    AddHeaderCommentImpl(marker + 1);
                } else {
                    const int i = FindSectionImpl(current);
                    if (i != -1) AddSectionCommentImpl(i, marker + 1);
                }
                break;
            case '=':
                *marker = 0;
                AddSectionContextImpl(current, piece, marker + 1, true);
                break;
            default: {  // '['
                char* close = std::strrchr(piece, ']');
                if (close == nullptr || close <= marker) break;
                const size_t nameLength = static_cast<size_t>(close - (marker + 1));
                std::memcpy(current, marker + 1, nameLength);
                current[nameLength] = 0;
                AddSectionImpl(current);
                break;
            }
        }
    }
    file.reset();

    if (m_vSection.empty()) return false;
    if (status != nullptr) *status = 0;
    return true;
}

}  // namespace ZEP3DToolKit

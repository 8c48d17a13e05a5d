// The settings script store: reads INI-style files into sections of keys, values and comments,
// answers lookups without regard to letter case, and can be changed in memory.
#ifndef ZEP3D_TOOLKIT_ZEP3DSCRIPT_H_
#define ZEP3D_TOOLKIT_ZEP3DSCRIPT_H_

#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace ZEP3DToolKit {

// One section of a script file: its key/value lines (contexts) and its comments, in file order.
struct ScriptSection {
    std::vector<std::string> m_vKey;      // key names as first written
    std::vector<std::string> m_vValue;    // entry k belongs to key k; always as long as m_vKey
    std::vector<std::string> m_vComment;  // comment texts, marker dropped
};

// Reads script files into memory and answers lookups; it never writes a file. Failures are reported on
// the debugger channel and as the results below; no exception leaves the store. A null text argument
// is taken as the empty text.
//
// Names (sections and keys) match when they have the same length and the same bytes after each byte is
// put through the C library's tolower in the current locale; the first section or key of a name wins.
// Lookups use hash indexes of the folded names, so reading n lines takes time proportional to n; the
// indexes are rebuilt when the current locale's lower-casing has changed since they were made.
class CZEP3DScript {
  public:
    CZEP3DScript();
    virtual ~CZEP3DScript();
    CZEP3DScript(const CZEP3DScript&) = delete;
    CZEP3DScript& operator=(const CZEP3DScript&) = delete;

    // Reads the file at `path` (a backslash separates folders on every system) and adds its sections,
    // keys and comments to the store, which is not emptied first. Lines are pieces of at most 2047
    // bytes; a CR LF pair is one line end on every system. Returns true and sets *status to 0 when the
    // store holds at least one section afterwards; returns false leaving *status as it was otherwise.
    // A file that cannot be opened sets *status to -1, reports
    // "CZEP3DScript::ReadINIFile()-Couldn't open script file!" and returns false. A line whose first
    // byte is not printable reports "CZEP3DScript::ReadINIFile()-The Script file is binary format!" and
    // is skipped. A null `status` is not written.
    bool ReadINIFile(const char* path, int* status);

    // The value of `key` in the first section named `section`, or `defaultValue` (returned unchanged,
    // null included) when there is no such section or key. The pointer stays valid until the store is
    // changed or destroyed.
    const char* GetSectionContext(const char* section, const char* key, const char* defaultValue);

    // Index of the first section named `section`, or -1.
    int FindSection(const char* section);

    // Index of the first key named `key` in section `sectionIndex`, or -1 (also for an index out of
    // range, negative ones included).
    int FindSectionContext(int sectionIndex, const char* key);

    // Appends a section, also when one of that name exists, and returns its index. After an
    // allocation failure it reports "CZEP3DScript::AddSection()-Error occurs!" and returns 0.
    int AddSection(const char* section);

    // Sets the value of `key` in the first section named `section`. When the section or the key is
    // missing: with `create` false returns false and changes nothing; with `create` true appends the
    // section and/or the key. An existing key keeps its text and position. After an allocation failure
    // it reports "CZEP3DScript::AddSectionContext()-Error occurs!" and returns false.
    bool AddSectionContext(const char* section, const char* key, const char* value, bool create);

    // Appends a comment read before any section. False (with
    // "CZEP3DScript::AddHeaderComment()-Error occurs!") after an allocation failure.
    bool AddHeaderComment(const char* text);

    // Appends a comment to section `sectionIndex`; false for an index out of range, and (with
    // "CZEP3DScript::AddSectionComment()-Error occurs!") after an allocation failure.
    bool AddSectionComment(int sectionIndex, const char* text);

    // Empties the store; it can be used again. Returns true.
    bool Erase();

    // Read-only views of the store's lists, for callers and tests that look at them whole.
    const std::vector<ScriptSection>& Sections() const { return m_vSection; }
    const std::vector<std::string>& SectionNames() const { return m_vSectionName; }
    const std::vector<std::string>& HeaderComments() const { return m_vHeaderComment; }

  private:
    // Folded-name hash -> index of the first name with that folded form (one entry per folded form).
    using NameIndex = std::unordered_multimap<size_t, int>;
    using FoldTable = std::array<unsigned char, 256>;

    void RefreshIndexes() noexcept;
    void RebuildIndexes();
    size_t FoldedHash(const char* name, size_t length) const;
    bool FoldedEqual(const std::string& stored, const char* name, size_t length) const;
    int LookUp(const NameIndex& index, const std::vector<std::string>& names, const char* name,
               size_t length) const;
    // The first of `names` that matches `name`, through `index` when it is given, else by a scan.
    int Find(const std::vector<std::string>& names, const NameIndex* index, const char* name) const;

    int FindSectionImpl(const char* section) const;
    int FindSectionContextImpl(int sectionIndex, const char* key) const;
    int AddSectionImpl(const char* section);
    bool AddSectionContextImpl(const char* section, const char* key, const char* value, bool create);
    bool AddHeaderCommentImpl(const char* text);
    bool AddSectionCommentImpl(int sectionIndex, const char* text);

    bool m_bIgnoreCase;
    std::vector<ScriptSection> m_vSection;
    std::vector<std::string> m_vSectionName;
    std::vector<std::string> m_vHeaderComment;

    // Lookup indexes kept alongside the lists: one for the section names, one per section for its
    // keys. While m_bIndexed is false (a rebuild ran out of memory) lookups scan the lists instead.
    NameIndex m_sectionIndex;
    std::vector<NameIndex> m_vKeyIndex;
    FoldTable m_fold;
    bool m_bIndexed;
};

}  // namespace ZEP3DToolKit

#endif  // ZEP3D_TOOLKIT_ZEP3DSCRIPT_H_

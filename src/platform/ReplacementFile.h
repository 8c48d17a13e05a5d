// A file written beside its target and put in the target's place only once it is complete, so that a
// write that fails part-way never costs the file that was there before.
#ifndef ZEP3D_PLATFORM_REPLACEMENTFILE_H_
#define ZEP3D_PLATFORM_REPLACEMENTFILE_H_

#include <string>

namespace zep {
namespace platform {

// Prepare creates a new file "<target>.<hex>.tmp" in the target's folder; the caller writes and closes
// it, and Commit moves it over the target. A target that exists but is not a plain file (a device or a
// pipe) is written in place: a rename would put a plain file where it stands. Unless committed, the
// new file is removed when the object ends.
class ReplacementFile {
  public:
    explicit ReplacementFile(const std::string& target) : target_(target) {}
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile() { Discard(); }

    // Chooses the path to write and creates it: 0, or the system error code when no file can be made
    // there. The new file gets `permissions` (0 to 0777) or, with -1, those of the file it replaces (a
    // new target: the system's default), never more than those from its first moment.
    int Prepare(int permissions = -1);

    // The path to open for writing (the new file, or the target itself when written in place).
    const std::string& WritePath() const { return temporary_.empty() ? target_ : temporary_; }

    // True when the target itself is written. Otherwise the new file exists and is empty: open it
    // without truncating it (on some file systems, a file emptied by its opening is written out to the
    // disk when it is closed, which costs a file of many megabytes noticeable time).
    bool InPlace() const { return temporary_.empty(); }

    // Puts the written (and closed) file in the target's place: 0, or the system error code, in which
    // case the new file stays to be discarded.
    int Commit();

    // Removes the new file now, if there is one that was not committed.
    void Discard();

  private:
    std::string target_;
    std::string temporary_;
    int permissions_ = -1;  // to set on the new file before Commit, when the owner lacks read or write
};

}  // namespace platform
}  // namespace zep

#endif  // ZEP3D_PLATFORM_REPLACEMENTFILE_H_

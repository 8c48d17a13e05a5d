#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "TestUtil.h"
#include "platform/CpuFeatures.h"

namespace zep::platform {
namespace {

using zep::testing::ScopedTempDir;

TEST(Platform, HooksReplaceTheSystemWhileSet) {
    {
        zep::testing::DebugOutputCapture debug;
        zep::testing::SleepRecorder sleeps;
        DebugOutput("first");
        DebugOutput(nullptr);
        DebugOutput("second");
        SleepMs(500);
        SleepMs(0);
        EXPECT_EQ(debug.Messages(), (std::vector<std::string>{"first", "second"}));
        EXPECT_EQ(sleeps.Waits(), (std::vector<int>{500, 0}));
    }
    LocalTime fixed;
    fixed.year = 2024;
    fixed.second = 58;
    {
        zep::testing::FixedClock clock(fixed);
        EXPECT_EQ(GetLocalTime().year, 2024);
        EXPECT_EQ(GetLocalTime().second, 58);
    }
    LocalTime real = GetLocalTime();
    EXPECT_GE(real.year, 2020);
    EXPECT_TRUE(real.month >= 1 && real.month <= 12) << real.month;
}

TEST(Platform, FilesOpenRemoveAndQueryThroughTheMappedPathAndErrorsAndCharactersHaveTexts) {
    ScopedTempDir dir;
    std::string built = dir.path() + "\\sub";
    std::string mapped = MapPath(built.c_str());
    EXPECT_EQ(mapped, zep::testing::TextLineEnd() == "\n" ? dir.path() + "/sub" : built);
    EXPECT_EQ(MapPath(nullptr), "");

    std::string file = dir.path() + "\\a.txt";
    FILE* fp = nullptr;
    EXPECT_EQ(OpenStdio(fp, file.c_str(), "r"), ENOENT);
    EXPECT_EQ(fp, nullptr);
    EXPECT_FALSE(QueryFileStatus(file.c_str()));

    ASSERT_EQ(OpenStdio(fp, file.c_str(), "w"), 0);
    ASSERT_NE(fp, nullptr);
    fputs("abc", fp);
    fclose(fp);
    FileStatus status;
    ASSERT_TRUE(QueryFileStatus(file.c_str(), &status));
    EXPECT_EQ(status.size, 3);
    EXPECT_FALSE(status.isDirectory);
    EXPECT_TRUE(zep::testing::FileExists(dir.File("a.txt")));

    std::filebuf buffer;
    ASSERT_TRUE(OpenFileBuffer(buffer, file.c_str(), std::ios::in));
    buffer.close();

    EXPECT_EQ(RemoveFile(file.c_str()), 0);
    EXPECT_EQ(RemoveFile(file.c_str()), -1);
    EXPECT_EQ(OpenStdioPlain(file.c_str(), "r"), nullptr);

    EXPECT_FALSE(SystemErrorText(ENOENT).empty());
    wchar_t c = 0;
    EXPECT_EQ(DecodeCharacter("A", 1, &c), 1u);
    EXPECT_EQ(c, L'A');
    EXPECT_FALSE(IsLeadByte('A'));
    EXPECT_EQ(DecodeCharacter(nullptr, 1, &c), 0u);
}

TEST(Platform, IdentitiesNameFilesAndNewFilesNeverReplaceOld) {
    ScopedTempDir dir;
    const std::string a = dir.File("a");
    const std::string b = dir.File("b");
    bool exists = true;
    EXPECT_EQ(CreateNewFile(a.c_str(), &exists), 0);
    EXPECT_FALSE(exists);
    zep::testing::WriteFile(b, "bee");
    EXPECT_NE(CreateNewFile(b.c_str(), &exists), 0);
    EXPECT_TRUE(exists);
    EXPECT_EQ(zep::testing::ReadFile(b), "bee");
    EXPECT_NE(CreateNewFile(dir.File("none/c").c_str(), &exists), 0);
    EXPECT_FALSE(exists);

    // One file under two spellings and through a hard link; another file differs.
    FileIdentity first, second;
    ASSERT_TRUE(QueryFileIdentity(a.c_str(), &first));
    ASSERT_TRUE(QueryFileIdentity((dir.path() + "/./a").c_str(), &second));
    EXPECT_TRUE(first == second);
    std::error_code error;
    std::filesystem::create_hard_link(a, dir.File("link"), error);
    if (!error) {
        ASSERT_TRUE(QueryFileIdentity(dir.File("link").c_str(), &second));
        EXPECT_TRUE(first == second);
    }
    ASSERT_TRUE(QueryFileIdentity(b.c_str(), &second));
    EXPECT_FALSE(first == second);
    EXPECT_FALSE(QueryFileIdentity(dir.File("none").c_str(), &second));

    EXPECT_EQ(MoveFileOver(b.c_str(), a.c_str()), 0);
    EXPECT_EQ(zep::testing::ReadFile(a), "bee");
    EXPECT_FALSE(zep::testing::FileExists(b));
    EXPECT_NE(MoveFileOver(b.c_str(), a.c_str()), 0);
    EXPECT_EQ(zep::testing::ReadFile(a), "bee");
}

TEST(Platform, NewFilesTakeTheGivenPermissionsWhateverTheUmask) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no POSIX permission bits";
#else
    ScopedTempDir dir;
    const mode_t saved = umask(0077);
    int n = 0;
    for (int permissions : {0600, 0644, 0755, 0}) {
        const std::string path = dir.File("f" + std::to_string(n++));
        bool exists = true;
        EXPECT_EQ(CreateNewFile(path.c_str(), &exists, permissions), 0);
        FileStatus status;
        ASSERT_TRUE(QueryFileStatus(path.c_str(), &status));
        EXPECT_EQ(status.permissions, permissions);
    }
    umask(saved);
    EXPECT_EQ(CreateNewFile(dir.File("bad").c_str(), nullptr, 01000), EINVAL);
    EXPECT_FALSE(zep::testing::FileExists(dir.File("bad")));
#endif
}

TEST(Platform, SecureWipeClearsBuffersAndTheWholeCapacityOfTexts) {
    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    SecureWipe(bytes + 1, 6);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 8),
              (std::vector<unsigned char>{1, 0, 0, 0, 0, 0, 0, 8}));
    SecureWipe(nullptr, 4);

    // A secret that was longer once still sits behind the size of its text.
    auto check = [](auto secret) {
        const auto length = secret.size();
        secret.resize(1);
        const auto* kept = secret.data();
        SecureWipe(secret);
        EXPECT_TRUE(secret.empty());
        EXPECT_EQ(decltype(secret)(kept, length), decltype(secret)(length, 0));
    };
    check(std::string(100, 's'));
    check(std::wstring(50, L'w'));
}

TEST(Platform, CpuFeaturesAgreeWithTheFlagsTheSystemReports) {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.compare(0, 5, "flags") != 0) {
    }
    if (line.empty()) GTEST_SKIP() << "the system lists no processor flags";
    std::istringstream words(line.substr(line.find(':') + 1));
    std::set<std::string> flags{std::istream_iterator<std::string>(words),
                                std::istream_iterator<std::string>()};
    const bool base = flags.count("ssse3") != 0 && flags.count("sse4_1") != 0;
    const CpuFeatures& cpu = GetCpuFeatures();
    EXPECT_EQ(cpu.aes, ZEP3D_X86_INSTRUCTIONS && base && flags.count("aes") != 0);
    EXPECT_EQ(cpu.sha, ZEP3D_X86_INSTRUCTIONS && base && flags.count("sha_ni") != 0);
}

}  // namespace
}  // namespace zep::platform

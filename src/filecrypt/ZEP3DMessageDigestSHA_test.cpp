// Tests of the SHA-256 digest beyond the published answers: refusals, and reuse after a final digest.
#include "filecrypt/ZEP3DMessageDigestSHA.h"

#include <gtest/gtest.h>

#include "KnownAnswers.h"
#include "TestUtil.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::ToHex;

// The digest of `message` fed in pieces of `piece` bytes (0: one piece).
std::string Digest(CZEP3DMessageDigestSHA& sha, const std::string& message, size_t piece) {
    if (piece == 0) piece = message.size();
    for (size_t pos = 0; pos < message.size(); pos += piece) {
        size_t length = std::min(piece, message.size() - pos);
        sha.AddData(message.data() + pos, static_cast<int>(length));
    }
    std::string out(32, '\0');
    sha.FinalDigest(&out[0]);
    return out;
}

TEST(MessageDigestSHA, RefusesEmptyDataAndAFinalWithoutDataChangingNothing) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DMessageDigestSHA sha;
    std::string out(32, 'x');
    sha.FinalDigest(&out[0]);
    EXPECT_EQ(out, std::string(32, 'x'));
    sha.AddData("abc", 0);
    sha.AddData("abc", -5);
    sha.FinalDigest(&out[0]);
    EXPECT_EQ(out, std::string(32, 'x'));
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{
                                    "CZEP3DMessageDigestSHA::FinalDigest()-No data Added before call!",
                                    "CZEP3DMessageDigestSHA::AddData()-Data Length should be > 0!",
                                    "CZEP3DMessageDigestSHA::AddData()-Data Length should be > 0!",
                                    "CZEP3DMessageDigestSHA::FinalDigest()-No data Added before call!",
                                }));
    // The refused calls left the object fresh: "abc" still digests to the published value.
    sha.AddData("ab", 2);
    sha.AddData("c", 1);
    sha.FinalDigest(&out[0]);
    EXPECT_EQ(ToHex(out), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
}

TEST(MessageDigestSHA, StartsAFreshMessageAfterEachFinalDigest) {
    CZEP3DMessageDigestSHA reused;
    std::string first = Digest(reused, std::string(100, 'q'), 7);
    std::string second = Digest(reused, "abc", 0);
    CZEP3DMessageDigestSHA fresh1, fresh2;
    EXPECT_EQ(first, Digest(fresh1, std::string(100, 'q'), 0));
    EXPECT_EQ(second, Digest(fresh2, "abc", 0));
    // After a final, nothing is pending: a second final is refused.
    zep::testing::DebugOutputCapture debug;
    std::string out(32, '\0');
    reused.FinalDigest(&out[0]);
    EXPECT_EQ(debug.Messages().size(), 1u);
}

}  // namespace
}  // namespace ZEP3DFileCrypt

// Tests of the switch between the processor's instructions and the portable code (every other crypt test
// runs on both paths through the test registration).
#include "filecrypt/CryptInstructions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/CpuFeatures.h"

namespace zep {
namespace filecrypt {
namespace {

// Runs the portable code (or the processor's choice) while it lives.
class ScopedPortable {
  public:
    explicit ScopedPortable(bool portable) : before_(ForcePortableCrypt(portable)) {}
    ~ScopedPortable() { ForcePortableCrypt(before_); }

  private:
    bool before_;
};

TEST(CryptInstructions, TheSwitchForcesThePortableCodeAndGivesTheChoiceBackToTheProcessor) {
    const zep::platform::CpuFeatures& cpu = zep::platform::GetCpuFeatures();
    // The environment as the test registration sets it: the portable code for the second run.
    const char* variable = std::getenv("ZEP3D_PORTABLE_CRYPT");
    const bool forced = variable != nullptr && std::string(variable) != "" && std::string(variable) != "0";
    EXPECT_EQ(UseAesInstructions(), cpu.aes && !forced);
    EXPECT_EQ(UseShaInstructions(), cpu.sha && !forced);
    {
        ScopedPortable portable(true);
        EXPECT_FALSE(UseAesInstructions());
        EXPECT_FALSE(UseShaInstructions());
        {
            ScopedPortable processor(false);
            EXPECT_EQ(UseAesInstructions(), cpu.aes);
            EXPECT_EQ(UseShaInstructions(), cpu.sha);
        }
        EXPECT_FALSE(UseAesInstructions());
    }
}

}  // namespace
}  // namespace filecrypt
}  // namespace zep

// Tests that account files made by the password helper are read back by the account reader.
#include "toolkit/AccountPassword.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestUtil.h"
#include "toolkit/ZEP3DACCSecurity.h"

namespace {

TEST(AccountPassword, FilesItMakesAreReadBackWhole) {
    zep::testing::ScopedTempDir dir;
    std::filesystem::create_directories(dir.File("Bin"));
    for (const std::string password : {"s", "exactly16chars!!", "a longer password of 3 blocks, #$\"'"}) {
        const std::string text = zep::toolkit::EncipherAccountPassword(password);
        EXPECT_EQ(text.size(), (password.size() + 15) / 16 * 32) << password;
        zep::testing::WriteFile(dir.File("Bin/acc.ini"), zep::toolkit::AccountFileText("runner", text));
        char user[1024] = {0};
        char plain[1024] = {0};
        CZEP3DACCSecurity reader;
        EXPECT_TRUE(reader.ReadAccount((dir.path() + "\\Bin\\acc.ini").c_str(), user, plain));
        EXPECT_EQ(reader.GetStatus(), 1000);
        EXPECT_STREQ(user, "runner");
        EXPECT_EQ(std::string(plain), password);
    }
    EXPECT_EQ(zep::toolkit::EncipherAccountPassword(""), "");
}

}  // namespace

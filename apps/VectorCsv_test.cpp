// Tests of the vector CSV reader of zep3dtool arrows.
#include "VectorCsv.h"

#include <gtest/gtest.h>

namespace zep {
namespace apps {
namespace {

TEST(VectorCsv, ReadsVectorsSkippingCommentsBlankLinesAndAHeader) {
    std::vector<Vector6> vectors;
    std::string error;
    ASSERT_TRUE(
        ParseVectorCsv("x1,y1,z1,x2,y2,z2\r\n# a comment\r\n\r\n 0, 0 ,0,1,0,0\r\n"
                       "-1.5,2e1,3,4,5,6\n  \n",
                       &vectors, &error))
        << error;
    ASSERT_EQ(vectors.size(), 2u);
    EXPECT_EQ(vectors[0], (Vector6{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(vectors[1], (Vector6{-1.5f, 20, 3, 4, 5, 6}));

    vectors.clear();
    EXPECT_TRUE(ParseVectorCsv("", &vectors, &error));
    EXPECT_TRUE(vectors.empty());
}

TEST(VectorCsv, NamesTheFirstBadLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"0,0,0,1,0,0\n1,2,3\n",
         "line 2: expected 6 comma-separated numbers (x1,y1,z1,x2,y2,z2), found 3 fields"},
        {"0,0,0,1,0,0,7\n", "line 1: expected 6 comma-separated numbers (x1,y1,z1,x2,y2,z2), found 7 fields"},
        {"# c\n0,0,0,1,x,0\n", "line 2: 'x' is not a finite number"},
        {"0,0,0,1,0,nan\n", "line 1: 'nan' is not a finite number"},
        {"0,0,0,1,0,1e39\n", "line 1: '1e39' is not a finite number"},
        {"0,0,0,1,0,\n", "line 1: '' is not a finite number"},
        // Only the first data line may be a header.
        {"0,0,0,1,0,0\na,b,c,d,e,f\n", "line 2: 'a' is not a finite number"},
        {"x1,y1,z1,x2,y2,2\n", "line 1: 'x1' is not a finite number"},
    };
    for (const Case& c : cases) {
        std::vector<Vector6> vectors;
        std::string error;
        EXPECT_FALSE(ParseVectorCsv(c.text, &vectors, &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace apps
}  // namespace zep

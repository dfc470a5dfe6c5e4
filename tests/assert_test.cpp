#include "bx/assert.h"
#include "support/death.h"

#include <gtest/gtest.h>

namespace {

int evaluations = 0;
const char* countedPiece() {
    ++evaluations;
    return "piece";
}

} // namespace

TEST(FatalAssertion, PrintsTheExactBlockOnStandardOutputAndAborts) {
    const char* path = "tidewane.velk";
    const int line = __LINE__ + 2; // the line of the check below
    DeathResult r = runInChild([&] {
        BX_ASSERT(0, "Cannot open archive \"" << path << "\"");
    });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("0", "tests/assert_test.cpp", line,
                                    "Cannot open archive \"tidewane.velk\""));
}

TEST(FatalAssertion, PrintsTheConditionSourceTextUnchanged) {
    DeathResult r = runInChild([] {
        int* ms_archive = nullptr;
        int other = 0;
        int* self = &other;
        BX_ASSERT(ms_archive == self, "The ms_archive variable has been tampered with...");
    });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "ASSERTION \"ms_archive == self\" FAILED");
    EXPECT_NE(r.out.find("\n   * message: The ms_archive variable has been tampered with...\n"),
              std::string::npos);
}

TEST(FatalAssertion, HoldingConditionPrintsNothingAndEvaluatesNoMessagePiece) {
    DeathResult r = runInChild([] {
        evaluations = 0;
        BX_ASSERT(1 + 1 == 2, "never " << countedPiece() << " shown");
        std::cout << "evaluations=" << evaluations;
    });
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "evaluations=0");
}

TEST(FatalAssertion, EvaluatesTheConditionOnce) {
    int calls = 0;
    auto check = [&] { ++calls; return true; };
    BX_ASSERT(check(), "unused");
    EXPECT_EQ(calls, 1);
}

#include <gtest/gtest.h>

#include "foundation/Process.h"

namespace {

TEST(Process, givesTheExitStatusAndOutputAndPassesArgumentsWithoutAShell) {
    auto echoed = foundation::runProcess({"sh", "-c", "printf '%s|' \"$@\"; exit 3", "sh", "a b", "$HOME;", "*"});
    ASSERT_TRUE(echoed) << echoed.error();
    EXPECT_EQ(echoed->exitStatus, 3);
    EXPECT_EQ(echoed->output, "a b|$HOME;|*|") << "each argument arrives as it was given";

    auto missing = foundation::runProcess({"sorvane-no-such-program"});
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().find("sorvane-no-such-program"), std::string::npos) << missing.error();
    EXPECT_FALSE(foundation::runProcess({}));

    auto killed = foundation::runProcess({"sh", "-c", "kill -9 $$"});
    ASSERT_FALSE(killed) << "a signal is no exit status";
    EXPECT_NE(killed.error().find("signal 9"), std::string::npos) << killed.error();
}

}  // namespace

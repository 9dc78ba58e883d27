#include "desktop/deadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace vonkel {
namespace {

// A step that outlasts its deadline ends the process with the status given;
// one that ends in time goes on as if there were none.
TEST(Deadline, EndsTheProcessOnlyWhenTheStepOutlastsIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const Deadline deadline(50, 1);
            std::this_thread::sleep_for(std::chrono::seconds(5));
            std::_Exit(0);
        },
        testing::ExitedWithCode(1), "");
    EXPECT_EXIT(
        {
            { const Deadline deadline(2000, 1); }
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vonkel

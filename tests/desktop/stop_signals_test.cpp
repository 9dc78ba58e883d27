#include "desktop/stop_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace vonkel {
namespace {

// The first stop signal begins the orderly end (with any that came at the
// same moment); a Ctrl-C or kill after it ends the process, so a shutdown
// that hangs still yields; a second hangup (a closing terminal) does not.
TEST(StopSignals, TheFirstEndsInOrderASecondEndsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StopSignals signals;
            if (signals.received()) std::_Exit(3);
            std::raise(SIGTERM);
            std::raise(SIGHUP);
            if (!signals.received()) std::_Exit(4);
            std::raise(SIGHUP);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            StopSignals signals;
            std::raise(SIGINT);
            if (!signals.received()) std::_Exit(4);
            std::raise(SIGINT);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGINT), "");
}

}  // namespace
}  // namespace vonkel

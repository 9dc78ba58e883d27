#include "tools/lab_messages.h"

#include <ostream>

#include "lockstep/decimal.h"
#include "output/stop_signal.h"
#include "tools/lab_options.h"

namespace vonkel::lab {

using output::stopSignal;

void say(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << lockstep::printable(message, message.size()) << "\n";
}

int usageError(std::ostream& err, const std::string& message) {
    if (stopSignal() == 0) say(err, message);
    return kExitUsage;
}

int runFailure(std::ostream& err, const std::string& message) {
    if (stopSignal() == 0) say(err, message);
    return kExitFailure;
}

}  // namespace vonkel::lab

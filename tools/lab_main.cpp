// vonkel-lab: the headless companion of the game. See tools/lab_commands.h.
#include <iostream>

#include "tools/lab_commands.h"

int main(int argc, char** argv) {
    const int status = vonkel::lab::runLab(argc, argv, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) return status == 0 ? 1 : status;
    return status;
}

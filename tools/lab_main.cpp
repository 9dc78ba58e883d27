// vonkel-lab: the headless companion of the game. See tools/lab_commands.h.
#include "tools/lab_commands.h"

int main(int argc, char** argv) { return vonkel::lab::runLabProcess({argv + 1, argv + argc}); }

// The interpreter with every line on the reference path (no line plans): the
// golden scripts run through it too, so a difference the plans make shows.
#include "core/program.h"

int main(int argc, char** argv) { return zarnith::ProgramMain(argc, argv, false); }

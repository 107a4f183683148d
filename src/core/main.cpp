// Program entry.
#include "core/program.h"

int main(int argc, char** argv) { return zarnith::ProgramMain(argc, argv, true); }

// The whole program behind main: the zarnith executable runs it with line
// plans, the test build of the reference path without.
#pragma once

namespace zarnith {

int ProgramMain(int argc, char** argv, bool linePlans);

}  // namespace zarnith

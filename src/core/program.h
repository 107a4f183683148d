// The whole program behind main: the zarnith executable runs it with line
// plans, the test build of the reference path without.
#pragma once

namespace zarnith {

struct Interpreter;
class LineTracer;

// With a tracer (zarnith-trace), every script line is reported to it.
int ProgramMain(int argc, char** argv, bool linePlans, LineTracer* tracer = nullptr);

}  // namespace zarnith

// The interpreter record: construction and release of what classes hold.
#include "state/interpreter.h"

#include <time.h>

#include "state/interrupt.h"

namespace zarnith {

// Ctrl-C at the terminal shell cuts a sleep short.
static void RealSleep(std::int64_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  AbandonIfInterrupted();
  while (nanosleep(&ts, &ts) != 0) AbandonIfInterrupted();
}

Interpreter::Interpreter() { host.sleep = RealSleep; }

Interpreter::~Interpreter() {
  for (FsFile& f : fsFiles) {
    if (!f.closed && f.fd >= 0) host.sys.close(f.fd);
  }
}

}  // namespace zarnith

// The one flag that a signal handler shares with the interpreter.
#include "state/interrupt.h"

namespace zarnith {

volatile std::sig_atomic_t gInterruptRequested = 0;

}  // namespace zarnith

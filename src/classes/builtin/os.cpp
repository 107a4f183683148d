// The os class (not yet built: commands do nothing).
#include "classes/builtin/os.h"

namespace zarnith {

bool OsClassHandler(Interpreter&, ArgList) { return true; }

}  // namespace zarnith

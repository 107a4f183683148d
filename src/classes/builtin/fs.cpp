// The fs class (not yet built: commands do nothing).
#include "classes/builtin/fs.h"

namespace zarnith {

bool FsClassLoader(Interpreter& in) {
  in.fsFiles.clear();
  return true;
}

bool FsClassHandler(Interpreter&, ArgList) { return true; }

}  // namespace zarnith

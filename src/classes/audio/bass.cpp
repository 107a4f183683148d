// The bass class (not yet built: commands do nothing).
#include "classes/audio/bass.h"

namespace zarnith {

bool BassOnClassLoading(Interpreter& in) {
  in.bassStreams.clear();
  return true;
}

bool BassClassHandler(Interpreter&, ArgList) { return true; }

}  // namespace zarnith

// The built-in classes, in registration order.
#include "core/builtin_classes.h"

#include <array>

#include "classes/audio/bass.h"
#include "classes/builtin/crypto.h"
#include "classes/builtin/fs.h"
#include "classes/builtin/hello.h"
#include "classes/builtin/os.h"
#include "classes/builtin/strings.h"

namespace zarnith {

void LoadBuiltinClasses(Interpreter& in) {
  const std::array<Class, 6> builtins{{
      {"hello", false, true, HelloClassHandler, nullptr, HelloCommands()},
      {"crypto", false, true, CryptoClassHandler, nullptr, CryptoCommands()},
      {"fs", false, true, FsClassHandler, FsClassLoader, FsCommands()},
      {"strings", false, true, StringsClassHandler, nullptr, StringsCommands()},
      {"os", false, true, OsClassHandler, nullptr, OsCommands()},
      {"bass", false, false, BassClassHandler, BassOnClassLoading, BassCommands()},
  }};
  in.classes.assign(builtins.begin(), builtins.end());
}

}  // namespace zarnith

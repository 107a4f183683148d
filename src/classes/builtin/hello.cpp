// The hello class: one command that prints a greeting.
#include "classes/builtin/hello.h"

namespace zarnith {

bool HelloClassHandler(Interpreter& in, ArgList args) {
  if (args[0] == "hello") in.host.out.Write("Hello, World!\n");
  return true;
}

}  // namespace zarnith

// The dynamic loader behind OpenSharedLibrary and SharedSymbol.
#include "state/shared_library.h"

#include <dlfcn.h>

namespace zarnith {

void* OpenSharedLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }

void CloseSharedLibrary(void* handle) {
  if (handle) dlclose(handle);
}

void* SharedSymbol(void* handle, const char* name) { return handle ? dlsym(handle, name) : nullptr; }

}  // namespace zarnith

// Shared libraries opened at run time (libcrypto, libedit, the audio library):
// the one place that talks to the dynamic loader. A library that is opened
// stays loaded until the program ends unless its user closes it.
#pragma once

namespace zarnith {

// dlopen with the library's symbols kept to itself; null when it cannot be
// loaded.
void* OpenSharedLibrary(const char* path);
void CloseSharedLibrary(void* handle);

// The address of `name` in the library, or null.
void* SharedSymbol(void* handle, const char* name);

// Binds `slot` to the function `name` of the library; false when it is missing.
template <typename Fn>
bool BindSymbol(void* handle, const char* name, Fn*& slot) {
  slot = reinterpret_cast<Fn*>(SharedSymbol(handle, name));
  return slot != nullptr;
}

}  // namespace zarnith

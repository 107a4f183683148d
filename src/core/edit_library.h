// The functions of the line-editing library (libedit) that the terminal shell
// calls. The library is opened with dlopen when the terminal shell starts, so
// scripts and piped shells never load it; its functions are looked up by name.
#pragma once

#include <histedit.h>

#include <cstdio>

namespace zarnith {

struct EditLibrary {
  EditLine* (*elInit)(const char*, FILE*, FILE*, FILE*) = nullptr;
  int (*elSet)(EditLine*, int, ...) = nullptr;
  int (*elGet)(EditLine*, int, ...) = nullptr;
  const char* (*elGets)(EditLine*, int*) = nullptr;
  int (*elWgetc)(EditLine*, wchar_t*) = nullptr;
  void (*elWpush)(EditLine*, const wchar_t*) = nullptr;
  void (*elPush)(EditLine*, const char*) = nullptr;
  History* (*historyInit)() = nullptr;
  int (*history)(History*, HistEvent*, int, ...) = nullptr;
  const LineInfo* (*elLine)(EditLine*) = nullptr;
  const LineInfoW* (*elWline)(EditLine*) = nullptr;
  int (*elCursor)(EditLine*, int) = nullptr;
  int (*elInsertstr)(EditLine*, const char*) = nullptr;
  void (*elDeletestr)(EditLine*, int) = nullptr;
  void (*elResize)(EditLine*) = nullptr;
};

// Filled by the terminal shell before the editor reads its first key.
extern EditLibrary gEdit;

}  // namespace zarnith

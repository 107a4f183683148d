// zarnith-check FILE...: the command line around CheckScript.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check/check.h"
#include "version.h"

namespace {

using zarnith::check::Diagnostic;
using zarnith::check::Severity;

constexpr const char* kUsage =
    "Usage: zarnith-check [OPTION]... FILE...\n"
    "Reads Zarnith scripts without running them and reports the lines that\n"
    "would do nothing, stop the program or do something else than they seem to.\n"
    "A FILE of - is read from standard input.\n"
    "\n"
    "  --werror        report warnings as errors\n"
    "  --format=text   FILE:LINE:COLUMN: error|warning|note: message [code] (default)\n"
    "  --format=json   the same diagnostics as one JSON array\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Exit status: 0 when no error was reported, 1 when one was, 2 for a usage\n"
    "error or a file that cannot be read.\n";

struct Options {
  bool werror = false;
  bool json = false;
  std::vector<std::string> files;
};

bool ReadScript(const std::string& path, std::string& text) {
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return !std::cin.bad();
  }
  // A directory opens but does not read.
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

std::string Name(const std::string& path) { return path == "-" ? "<stdin>" : path; }

void PrintText(const std::string& file, const Diagnostic& d) {
  std::string line = Name(file) + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
                     ": " + std::string(SeverityName(d.severity)) + ": " + d.message;
  if (!d.code.empty()) line += " [" + d.code + "]";
  std::cout << line << '\n';
}

nlohmann::json ToJson(const std::string& file, const Diagnostic& d) {
  // Script texts need not be UTF-8; invalid bytes are replaced, never refused.
  return {{"file", Name(file)},
          {"line", d.line},
          {"column", d.column},
          {"severity", SeverityName(d.severity)},
          {"message", d.message},
          {"code", d.code.empty() ? nlohmann::json(nullptr) : nlohmann::json(d.code)}};
}

int Usage(const std::string& problem) {
  std::cerr << "zarnith-check: " << problem << "\nTry 'zarnith-check --help'.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyFiles || arg == "-" || arg.empty() || arg[0] != '-') {
      options.files.push_back(arg);
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "zarnith-check " ZARNITH_VERSION "\n";
      return 0;
    } else if (arg == "--werror") {
      options.werror = true;
    } else if (arg == "--format=json") {
      options.json = true;
    } else if (arg == "--format=text") {
      options.json = false;
    } else {
      return Usage("unknown option '" + arg + "'");
    }
  }
  if (options.files.empty()) return Usage("no file given");

  bool errors = false;
  bool unreadable = false;
  nlohmann::json all = nlohmann::json::array();
  for (const std::string& file : options.files) {
    std::string text;
    if (!ReadScript(file, text)) {
      std::cerr << "zarnith-check: cannot read " << Name(file) << "\n";
      unreadable = true;
      continue;
    }
    for (Diagnostic& d : zarnith::check::CheckScript(text)) {
      if (options.werror && d.severity == Severity::kWarning) d.severity = Severity::kError;
      errors = errors || d.severity == Severity::kError;
      if (options.json) {
        all.push_back(ToJson(file, d));
      } else {
        PrintText(file, d);
      }
    }
  }
  if (options.json) {
    std::cout << all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  }
  std::cout.flush();
  if (unreadable) return 2;
  return errors ? 1 : 0;
}

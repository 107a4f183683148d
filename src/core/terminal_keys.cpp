// Tab completion and the Ctrl-R search of the terminal shell's line editor.
#include "core/terminal_keys.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <deque>
#include <optional>
#include <vector>

#include "core/completion.h"
#include "core/edit_library.h"
#include "state/interrupt.h"
#include "values/messages.h"

namespace zarnith {

namespace {

constexpr char kPromptText[] = "> ";
static_assert(std::string_view(kPromptText) == msg::kPrompt);

Interpreter& ShellOf(EditLine* editor) {
  void* data = nullptr;
  gEdit.elGet(editor, EL_CLIENTDATA, &data);
  return *static_cast<Interpreter*>(data);
}

// ---- Tab: completion

bool Printable(std::string_view name) {
  return std::none_of(name.begin(), name.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

// The names that fit the place and begin with what is typed, sorted, each once.
std::vector<std::string> MatchingNames(const Interpreter& in, const CompletionPlace& place,
                                       std::string_view typed) {
  std::vector<std::string> names;
  auto offer = [&](std::string_view name) {
    if (name.starts_with(typed) && Printable(name)) names.emplace_back(name);
  };
  auto offerStore = [&](const auto& store) {
    for (const auto& entry : store) offer(entry.first);
  };
  for (const CompletionName& n : CompletionNames(in.classes, place)) offer(n.name);
  if (place.TakesVariables()) {
    offerStore(in.stores.intVars);
    offerStore(in.stores.stringVars);
    offerStore(in.stores.intArrays);
    offerStore(in.stores.stringArrays);
    // The returned value is read under its reserved name wherever a value goes.
    if (place.kind == CompletionPlace::Kind::kValue) offer(kReturnedName);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::string_view CommonStart(const std::vector<std::string>& names) {
  std::string_view common = names.front();
  for (const std::string& name : names) {
    auto [end, unused] = std::mismatch(common.begin(), common.end(), name.begin(), name.end());
    common = common.substr(0, static_cast<std::size_t>(end - common.begin()));
  }
  return common;
}

std::size_t TerminalColumns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// The names in columns below the line; the editor then draws the line again.
void ListNames(Output& out, const std::vector<std::string>& names) {
  std::size_t width = 0;
  for (const std::string& name : names) width = std::max(width, name.size());
  width += 2;
  std::size_t columns = std::max<std::size_t>(1, TerminalColumns() / width);
  std::string text = "\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += names[i];
    if ((i + 1) % columns == 0 || i + 1 == names.size()) {
      text += '\n';
    } else {
      text.append(width - names[i].size(), ' ');
    }
  }
  out.Write(text);
  out.Flush();
}

// Tab: the name before the cursor is completed as far as the names that fit
// agree; when they agree no further, they are listed.
unsigned char CompleteName(EditLine* editor, int) {
  Interpreter& in = ShellOf(editor);
  const LineInfo* line = gEdit.elLine(editor);
  std::string_view before(line->buffer, static_cast<std::size_t>(line->cursor - line->buffer));
  CompletionPlace place = FindCompletionPlace(before);
  std::string_view typed = before.substr(place.wordStart);
  std::vector<std::string> names = MatchingNames(in, place, typed);
  if (names.empty()) return CC_ERROR;
  std::string more(CommonStart(names).substr(typed.size()));
  // A class name is a quoted text: a unique one gets its closing quote.
  bool closeQuote = names.size() == 1 && place.kind == CompletionPlace::Kind::kClassName &&
                    (line->cursor == line->lastchar || *line->cursor != '"');
  if (closeQuote) more += '"';
  if (!more.empty()) {
    gEdit.elInsertstr(editor, more.c_str());
    return CC_REFRESH;
  }
  if (names.size() == 1) return CC_NORM;
  ListNames(in.host.out, names);
  return CC_REDISPLAY;
}

// ---- Ctrl-R: search of the lines typed in this session

constexpr std::size_t kRememberedLines = 1000;
std::deque<std::string> gLines;  // oldest first

// A search under way. Its keys are read one at a time by SearchKey, which the
// editor calls through kSearchKey, pushed back after each step: so the editor
// draws the search's prompt and line between two keys as it draws any line.
struct HistorySearch {
  bool active = false;
  std::wstring pattern;
  std::string narrowPattern;
  std::string original;  // the line as it was when the search began
  std::size_t originalCursor = 0;
  std::optional<std::size_t> match;  // index into gLines
  bool failed = false;
  std::string prompt;
};
HistorySearch gSearch;

constexpr wchar_t kSearchKey[] = {0x9e, 0};  // bound to SearchKey; no key sends it
constexpr char kSearchKeyBinding[] = "\\236";
constexpr wchar_t kCtrlG = 0x07, kCtrlH = 0x08, kCtrlR = 0x12, kDelete = 0x7f;

std::string Narrow(std::wstring_view wide) {
  std::string narrow;
  std::mbstate_t state{};
  char bytes[MB_LEN_MAX];
  for (wchar_t c : wide) {
    std::size_t n = std::wcrtomb(bytes, c, &state);
    if (n != static_cast<std::size_t>(-1)) narrow.append(bytes, n);
  }
  return narrow;
}

void UpdatePrompt() {
  gSearch.prompt =
      std::string(gSearch.failed ? "(no match)'" : "(search)'") + gSearch.narrowPattern + "': ";
}

// The newest remembered line, from index `from` back, that holds the pattern.
std::optional<std::size_t> FindBack(std::optional<std::size_t> from) {
  if (!from) return std::nullopt;
  for (std::size_t i = *from + 1; i-- > 0;) {
    if (gLines[i].find(gSearch.narrowPattern) != std::string::npos) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> Newest() {
  return gLines.empty() ? std::nullopt : std::optional<std::size_t>(gLines.size() - 1);
}

std::optional<std::size_t> OlderThanMatch() {
  if (!gSearch.match || *gSearch.match == 0) return std::nullopt;
  return *gSearch.match - 1;
}

// Looks again from `from`; a line that holds the pattern becomes the match.
void SearchFrom(std::optional<std::size_t> from) {
  std::optional<std::size_t> found = FindBack(from);
  gSearch.failed = !found;
  if (found) gSearch.match = found;
}

// Puts `text` into the editor's line with the cursor before byte `cursor`.
void ReplaceLine(EditLine* editor, std::string_view text, std::size_t cursor) {
  const LineInfoW* line = gEdit.elWline(editor);
  int end = gEdit.elCursor(editor, static_cast<int>(line->lastchar - line->cursor));
  gEdit.elDeletestr(editor, end);
  std::string head(text.substr(0, cursor)), tail(text.substr(cursor));
  if (!head.empty()) gEdit.elInsertstr(editor, head.c_str());
  int mark = gEdit.elCursor(editor, 0);
  if (!tail.empty()) gEdit.elInsertstr(editor, tail.c_str());
  gEdit.elCursor(editor, mark - gEdit.elCursor(editor, 0));
}

void ShowMatch(EditLine* editor) {
  if (gSearch.pattern.empty()) {
    ReplaceLine(editor, gSearch.original, gSearch.originalCursor);
  } else if (gSearch.match && !gSearch.failed) {
    const std::string& found = gLines[*gSearch.match];
    ReplaceLine(editor, found, found.find(gSearch.narrowPattern));
  }
}

// One key of the search. Text extends the pattern, Backspace shortens it,
// Ctrl-R finds an older line, Ctrl-G gives the line back as it was; any
// other key ends the search on the line found and then does what it does.
unsigned char SearchKey(EditLine* editor, int) {
  if (!gSearch.active) return CC_ERROR;
  wchar_t key = 0;
  if (gEdit.elWgetc(editor, &key) <= 0 || InterruptRequested()) {
    EndSearch();  // Ctrl-C or the end of input, as at the prompt
    return CC_EOF;
  }
  if (key == kCtrlG) {
    ReplaceLine(editor, gSearch.original, gSearch.originalCursor);
    EndSearch();
    return CC_REFRESH;
  }
  if (key == kCtrlR) {
    if (!gSearch.pattern.empty()) SearchFrom(OlderThanMatch());
  } else if (key == kDelete || key == kCtrlH) {
    if (!gSearch.pattern.empty()) gSearch.pattern.pop_back();
    gSearch.narrowPattern = Narrow(gSearch.pattern);
    gSearch.match.reset();
    gSearch.failed = false;
    if (!gSearch.pattern.empty()) SearchFrom(Newest());
  } else if (std::iswprint(static_cast<std::wint_t>(key))) {
    gSearch.pattern += key;
    gSearch.narrowPattern = Narrow(gSearch.pattern);
    SearchFrom(gSearch.match ? gSearch.match : Newest());
  } else {
    EndSearch();
    const wchar_t again[] = {key, 0};
    gEdit.elWpush(editor, again);
    return CC_REFRESH;
  }
  UpdatePrompt();
  ShowMatch(editor);
  gEdit.elWpush(editor, kSearchKey);
  return CC_REFRESH;
}

unsigned char StartSearch(EditLine* editor, int) {
  const LineInfo* line = gEdit.elLine(editor);
  gSearch = HistorySearch{};
  gSearch.active = true;
  gSearch.original.assign(line->buffer, line->lastchar);
  gSearch.originalCursor = static_cast<std::size_t>(line->cursor - line->buffer);
  UpdatePrompt();
  gEdit.elWpush(editor, kSearchKey);
  return CC_REFRESH;
}

}  // namespace

void BindShellKeys(EditLine* editor, Interpreter& in) {
  gEdit.elSet(editor, EL_CLIENTDATA, &in);
  gEdit.elSet(editor, EL_ADDFN, "zarnith-complete", "Complete the name before the cursor",
              CompleteName);
  gEdit.elSet(editor, EL_ADDFN, "zarnith-search", "Search the lines typed in this session",
              StartSearch);
  gEdit.elSet(editor, EL_ADDFN, "zarnith-search-key", "One key of a search", SearchKey);
  gEdit.elSet(editor, EL_BIND, "^I", "zarnith-complete", nullptr);
  gEdit.elSet(editor, EL_BIND, "^R", "zarnith-search", nullptr);
  gEdit.elSet(editor, EL_BIND, kSearchKeyBinding, "zarnith-search-key", nullptr);
}

const char* ShellPrompt(EditLine*) { return gSearch.active ? gSearch.prompt.c_str() : kPromptText; }

void RememberForSearch(const std::string& line) {
  if (line.empty() || (!gLines.empty() && gLines.back() == line)) return;
  if (gLines.size() == kRememberedLines) gLines.pop_front();
  gLines.push_back(line);
}

void EndSearch() { gSearch.active = false; }

std::string Visible(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      shown += '^';
      shown += static_cast<char>(byte ^ 0x40);
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace zarnith

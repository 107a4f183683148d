// Reading and setting a stopped script's values for the debugger.
#include "dap/state_view.h"

#include <algorithm>
#include <cstdio>

#include "values/conditions.h"
#include "values/math.h"
#include "values/resolve.h"
#include "values/split.h"
#include "values/text.h"

namespace zarnith::dap {

namespace {

// Texts longer than this are cut in the view (a script may hold a whole file).
constexpr std::size_t kShownBytes = 4096;
// Elements shown in an array's one-line value.
constexpr std::size_t kPreviewElements = 8;

Reading Failed(std::string error) {
  Reading r;
  r.error = std::move(error);
  return r;
}

Reading Typed(std::string_view type, Value value) {
  Reading r;
  r.type = type;
  r.value = std::move(value);
  return r;
}

Reading ReadElement(const NameSlot& slot, std::string_view reference) {
  if (!slot.intArray && !slot.stringArray) return Failed("not a array variable");
  std::optional<std::int64_t> index = ParseIntLiteral(IndexText(reference));
  if (!index) return Failed("array index is not a int");
  auto at = static_cast<std::size_t>(*index);
  std::size_t size = slot.intArray ? (*slot.intArray)->size() : (*slot.stringArray)->size();
  if (*index < 0 || at >= size) return Failed("index out of range");
  if (slot.intArray) return Typed(type::kInt, (**slot.intArray)[at]);
  return Typed(type::kString, Text((**slot.stringArray)[at]));
}

// The length of an UTF-8 sequence that starts at text[i] and is whole and
// valid, or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = byte(i);
  std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                       : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  // Overlong three- and four-byte forms, surrogates and code points past U+10FFFF.
  if (c == 0xE0 && byte(i + 1) < 0xA0) return 0;
  if (c == 0xED && byte(i + 1) >= 0xA0) return 0;
  if (c == 0xF0 && byte(i + 1) < 0x90) return 0;
  if (c == 0xF4 && byte(i + 1) >= 0x90) return 0;
  return length;
}

std::string ElementsPreview(const Reading& r) {
  std::size_t size = r.intArray ? r.intArray->size() : r.stringArray->size();
  std::string shown = "[";
  for (std::size_t i = 0; i < size && i < kPreviewElements; ++i) {
    if (i > 0) shown += ", ";
    shown += r.intArray ? IntToText((*r.intArray)[i]) : ShowText((*r.stringArray)[i]);
  }
  if (size > kPreviewElements) shown += ", ...";
  shown += "] (" + std::to_string(size) + (size == 1 ? " element)" : " elements)");
  return shown;
}

// The if chain in a few words: whether one is open and whether its branch runs.
std::string ShowIfChain(const ifInfoType& info) {
  if (!info.enabled) return "no chain open";
  return std::string(info.lastCond) + (info.result ? ": this branch runs" : ": this branch is skipped");
}

template <typename Map>
void AddNames(const Map& map, std::vector<std::string_view>& names) {
  for (const auto& [name, value] : map) names.push_back(name);
}

Variable ScopeEntry(Interpreter& in, std::string_view name, NameKind store) {
  Variable v;
  v.name = std::string(name);
  v.store = store;
  v.shadowed = LookUpName(in.stores, name).kind != store;
  const Stores& s = in.stores;
  Reading r;
  switch (store) {
    case NameKind::kInt: r = Typed(type::kInt, *FindIn(s.intVars, name)); break;
    case NameKind::kString: r = Typed(type::kString, *FindIn(s.stringVars, name)); break;
    case NameKind::kStringArray:
      r.type = type::kStringArray;
      r.stringArray = *FindIn(s.stringArrays, name);
      v.elements = r.stringArray->size();
      break;
    default:
      r.type = type::kIntArray;
      r.intArray = *FindIn(s.intArrays, name);
      v.elements = r.intArray->size();
      break;
  }
  v.type = r.type;
  v.value = ShowValue(r);
  if (r.intArray || r.stringArray) v.opens = Variable::Opens::kArray;
  return v;
}

std::optional<std::string> SetTyped(std::int64_t& slot, std::string_view text) {
  std::optional<std::int64_t> number = ParseIntLiteral(text);
  if (!number) return "an int takes an integer, such as 42 or -7";
  slot = *number;
  return std::nullopt;
}

std::optional<std::string> SetTyped(Text& slot, std::string_view text) {
  slot = Text(StringToText(text));
  return std::nullopt;
}

std::optional<std::string> SetTyped(std::string& slot, std::string_view text) {
  slot = std::string(StringToText(text));
  return std::nullopt;
}

// Restores what a condition's evaluation may touch, however it ends.
class QuietScope {
 public:
  explicit QuietScope(Interpreter& in)
      : in_(in), info_(in.ifInfo), capture_(in.host.out.capture()) {
    in.ifInfo = ifInfoType{};
    in.host.out.CaptureTo(&printed);
  }
  ~QuietScope() {
    in_.ifInfo = info_;
    in_.host.out.CaptureTo(capture_);
  }
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;
  std::string printed;

 private:
  Interpreter& in_;
  ifInfoType info_;
  std::string* capture_;
};

// The message of the first error line in `printed` ("error: N: message").
std::string ErrorMessage(std::string_view printed) {
  std::size_t at = printed.find(": ", printed.find(": ") + 1);
  if (!printed.starts_with("error: ") || at == std::string_view::npos) return {};
  std::string_view message = printed.substr(at + 2);
  return std::string(message.substr(0, message.find('\n')));
}

}  // namespace

Reading ReadName(Interpreter& in, std::string_view expression) {
  if (expression == kReturnedName) return Typed(in.lastReturned.varType, in.lastReturned.value);
  NameSlot slot = LookUpName(in.stores, expression);
  switch (slot.kind) {
    case NameKind::kNone: return Failed("no variable is named " + std::string(expression));
    case NameKind::kInt: return Typed(type::kInt, *slot.intVar);
    case NameKind::kString: return Typed(type::kString, *slot.stringVar);
    case NameKind::kIntItem:
    case NameKind::kStringItem: return ReadElement(slot, expression);
    case NameKind::kStringArray: {
      Reading r = Typed(type::kStringArray, {});
      r.stringArray = *slot.stringArray;
      return r;
    }
    case NameKind::kIntArray: {
      Reading r = Typed(type::kIntArray, {});
      r.intArray = *slot.intArray;
      return r;
    }
  }
  return Failed("no variable is named " + std::string(expression));
}

std::string ShowText(std::string_view text) {
  std::string shown = "\"";
  std::string_view part = text.substr(0, kShownBytes);
  for (std::size_t i = 0; i < part.size();) {
    auto c = static_cast<unsigned char>(part[i]);
    std::size_t length = Utf8Length(part, i);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c < 0x20 || c == 0x7F || length == 0) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      shown += escape;
    } else {
      shown.append(part.substr(i, length));
      i += length;
      continue;
    }
    ++i;
  }
  shown += '"';
  if (text.size() > kShownBytes) shown += "... (" + std::to_string(text.size()) + " bytes)";
  return shown;
}

std::string ShowValue(const Reading& r) {
  if (r.intArray || r.stringArray) return ElementsPreview(r);
  if (const auto* n = std::get_if<std::int64_t>(&r.value)) return IntToText(*n);
  return ShowText(std::get<Text>(r.value).view());
}

std::string PlainValue(const Reading& r) {
  if (r.intArray || r.stringArray) return ShowValue(r);
  if (const auto* n = std::get_if<std::int64_t>(&r.value)) return IntToText(*n);
  return std::get<Text>(r.value).str();
}

std::optional<std::string> ConditionProblem(std::string_view condition) {
  std::vector<std::string_view> words;
  SplitWords(condition, words);
  bool comparison = words.size() == 3 && !words[0].empty() && !words[2].empty() &&
                    (words[1] == "<" || words[1] == ">" || words[1] == "==" || words[1] == "!=");
  if (comparison) return std::nullopt;
  return "a condition is written as in an if line: two operands and one of < > == != "
         "between single spaces, such as i == 4";
}

std::variant<bool, std::string> EvaluateCondition(Interpreter& in, std::string_view condition) {
  // Reading an element outside its array would end the program: every word
  // that holds an element reference, between spaces and operators, is read
  // safely first.
  for (std::size_t start = 0; start < condition.size();) {
    std::size_t end = condition.find_first_of(" +-*/", start);
    if (end == std::string_view::npos) end = condition.size();
    std::string_view word = condition.substr(start, end - start);
    if (word.find('[') != std::string_view::npos) {
      Reading r = ReadName(in, word);
      if (!r.error.empty() && r.error.find("no variable") == std::string::npos) return r.error;
    }
    start = end + 1;
  }
  QuietScope quiet(in);
  std::string line = "if " + std::string(condition);
  try {
    RewriteArithmetic(in, line);
    std::vector<std::string_view> words;
    SplitWords(line, words);
    IfHandle(in, words);
  } catch (const ProgramExit&) {
    return std::string("the condition ends the program");
  }
  if (in.ifInfo.enabled) return in.ifInfo.result;
  std::string error = ErrorMessage(quiet.printed);
  if (!error.empty()) return error;
  return std::string("the condition compares values that the if statement cannot compare");
}

std::string ExpandLogMessage(Interpreter& in, std::string_view message) {
  std::string out;
  for (std::size_t i = 0; i < message.size();) {
    std::size_t open = message.find('{', i);
    std::size_t close = open == std::string_view::npos ? open : message.find('}', open);
    if (close == std::string_view::npos) {
      out.append(message.substr(i));
      break;
    }
    out.append(message.substr(i, open - i));
    Reading r = ReadName(in, message.substr(open + 1, close - open - 1));
    out += r.error.empty() ? PlainValue(r) : "<" + r.error + ">";
    i = close + 1;
  }
  return out;
}

std::vector<Variable> ScopeVariables(Interpreter& in) {
  std::vector<Variable> out;
  Variable returned;
  returned.name = std::string(kReturnedName);
  returned.type = in.lastReturned.varType;
  returned.value = ShowValue(Typed(in.lastReturned.varType, in.lastReturned.value));
  out.push_back(std::move(returned));
  Variable chain;
  chain.name = "if chain";
  chain.type = "if-chain record";
  chain.value = ShowIfChain(in.ifInfo);
  chain.opens = Variable::Opens::kIfChain;
  out.push_back(std::move(chain));

  const Stores& s = in.stores;
  std::vector<std::string_view> names;
  AddNames(s.intVars, names);
  AddNames(s.stringVars, names);
  AddNames(s.stringArrays, names);
  AddNames(s.intArrays, names);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (std::string_view name : names) {
    // The order in which the script searches the stores.
    if (FindIn(s.intVars, name)) out.push_back(ScopeEntry(in, name, NameKind::kInt));
    if (FindIn(s.stringVars, name)) out.push_back(ScopeEntry(in, name, NameKind::kString));
    if (FindIn(s.stringArrays, name)) out.push_back(ScopeEntry(in, name, NameKind::kStringArray));
    if (FindIn(s.intArrays, name)) out.push_back(ScopeEntry(in, name, NameKind::kIntArray));
  }
  return out;
}

std::vector<Variable> ArrayElements(const Interpreter& in, std::string_view name, NameKind store,
                                    std::size_t start, std::size_t count) {
  std::vector<Variable> out;
  const IntArray* ints = store == NameKind::kIntArray ? FindIn(in.stores.intArrays, name) : nullptr;
  const StringArray* texts =
      store == NameKind::kStringArray ? FindIn(in.stores.stringArrays, name) : nullptr;
  if (!ints && !texts) return out;
  std::size_t size = ints ? (*ints)->size() : (*texts)->size();
  for (std::size_t i = start; i < size && i - start < count; ++i) {
    Variable v;
    v.name = "[" + std::to_string(i) + "]";
    v.type = ints ? type::kInt : type::kString;
    v.value = ints ? IntToText((**ints)[i]) : ShowText((**texts)[i]);
    out.push_back(std::move(v));
  }
  return out;
}

std::vector<Variable> IfChainFields(const Interpreter& in) {
  const ifInfoType& info = in.ifInfo;
  auto field = [](std::string name, std::string_view type, std::string value) {
    Variable v;
    v.name = std::move(name);
    v.type = type;
    v.value = std::move(value);
    return v;
  };
  auto truth = [](bool b) { return std::string(b ? "true" : "false"); };
  return {field("enabled", "bool", truth(info.enabled)),
          field("lastCond", "string", ShowText(info.lastCond)),
          field("result", "bool", truth(info.result)),
          field("skiping", "bool", truth(info.skiping))};
}

std::optional<std::string> SetScopeValue(Interpreter& in, std::string_view name, NameKind store,
                                         std::string_view text) {
  Stores& s = in.stores;
  if (store == NameKind::kNone) {
    if (auto* n = std::get_if<std::int64_t>(&in.lastReturned.value)) return SetTyped(*n, text);
    return SetTyped(std::get<Text>(in.lastReturned.value), text);
  }
  if (store == NameKind::kInt) {
    if (auto* n = FindIn(s.intVars, name)) return SetTyped(*n, text);
  } else if (store == NameKind::kString) {
    if (auto* t = FindIn(s.stringVars, name)) return SetTyped(*t, text);
  } else if (store == NameKind::kIntArray || store == NameKind::kStringArray) {
    return "an array is changed element by element: expand it";
  }
  return "no variable is named " + std::string(name);
}

std::optional<std::string> SetElementValue(Interpreter& in, std::string_view name, NameKind store,
                                           std::size_t index, std::string_view text) {
  if (store == NameKind::kIntArray) {
    if (auto* a = FindIn(in.stores.intArrays, name); a && index < (*a)->size()) {
      return SetTyped((**a)[index], text);
    }
  } else if (store == NameKind::kStringArray) {
    if (auto* a = FindIn(in.stores.stringArrays, name); a && index < (*a)->size()) {
      return SetTyped((**a)[index], text);
    }
  }
  return "no element " + std::to_string(index) + " in " + std::string(name);
}

}  // namespace zarnith::dap

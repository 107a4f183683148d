// The history of a debugged run and stepping back through it.
#include "dap/history.h"

#include "classes/args.h"
#include "core/classify.h"
#include "core/line.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith::dap {

namespace {

bool HasOperator(std::string_view word) { return word.find_first_of("+-*/") != std::string_view::npos; }

// Statements that hand back a value.
bool SetsReturned(std::string_view keyword) {
  return keyword == "return" || keyword == "append" || keyword == "typeof" ||
         keyword == "readline" || keyword == "use";
}

template <typename Map, typename V>
void PutBack(Map& map, std::string_view name, std::optional<V>& value) {
  if (value) {
    StoreIn(map, name, std::move(*value));
  } else if (auto it = map.find(name); it != map.end()) {
    map.erase(it);
  }
}

}  // namespace

void History::Load(std::span<const std::string_view> lines) {
  writes_.clear();
  writes_.reserve(lines.size());
  for (std::string_view raw : lines) writes_.push_back(ReadWrites(raw));
}

// The line is cut as the interpreter cuts it. Its arithmetic is rewritten
// only when it runs, which can change a word only where an operator stands:
// a target written with one is known only to the run, and such a line
// records every store.
History::Writes History::ReadWrites(std::string_view raw) {
  Writes w;
  if (raw.empty() || raw[0] == '#') return w;
  std::string prepared;
  std::vector<std::string_view> pieces, words;
  PrepareLine(raw, prepared);
  LineShape shape = ClassifyLine(prepared, pieces, words);
  using Kind = Writes::Kind;
  switch (shape.form) {
    case LineForm::kAssign: {
      std::string_view target = shape.three.first;
      bool open = target.find('[') != std::string_view::npos;
      bool close = target.find(']') != std::string_view::npos;
      if (HasOperator(target)) {
        w.kind = Kind::kEverything;
      } else if (!open && !close) {
        w.kind = Kind::kNames;
        w.names.emplace_back(target);
      } else if (open && close) {
        std::optional<std::string_view> indexText = Bracketed(target, '[', ']');
        std::optional<std::int64_t> index = indexText ? ParseIntLiteral(*indexText) : std::nullopt;
        if (index && *index >= 0) {
          w.kind = Kind::kElement;
          w.names.emplace_back(BeforeFirst(target, '['));
          w.index = *index;
        }
      }
      break;
    }
    case LineForm::kArray: {
      std::string_view name = BeforeFirst(shape.three.rest, '[');
      w.kind = HasOperator(name) ? Kind::kEverything : Kind::kNames;
      w.names.emplace_back(name);
      break;
    }
    case LineForm::kClassCall:
      // Commands that store a result write it under a name given as an
      // argument (fs:read, strings:split): every bare-name argument is kept.
      w.returned = true;
      w.kind = Kind::kNames;
      for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (IsBareName(pieces[i])) w.names.emplace_back(pieces[i]);
      }
      if (w.names.size() > UINT16_MAX) w.kind = Kind::kEverything;
      break;
    case LineForm::kStatement:
      w.returned = SetsReturned(pieces[0]); break;
    case LineForm::kBlock:
    case LineForm::kNothing: break;
  }
  return w;
}

void History::BeginLine(const Interpreter& in) {
  if (limit_ == 0) return;
  if (lines_.size() >= limit_) ForgetOldest();
  lines_.push_back({in.lineIndex, in.ifInfo, 0, false, false, nullptr});
  LineBefore& line = lines_.back();
  Writes& w = writes_[static_cast<std::size_t>(in.lineIndex)];
  if (w.returned) {
    returned_.push_back(in.lastReturned);
    line.returned = true;
  }
  switch (w.kind) {
    case Writes::Kind::kNothing: break;
    case Writes::Kind::kNames: RecordNames(in.stores, w); break;
    case Writes::Kind::kElement: RecordElement(in, w); break;
    case Writes::Kind::kEverything: line.stores = std::make_shared<Stores>(in.stores); break;
  }
}

void History::RecordNames(const Stores& stores, Writes& w) {
  if (w.shape != stores.Shape() || w.generation != generation_) {
    // Entries never move and leave only by a step back: while no name was
    // added or taken away, where a name stands is known.
    w.entries.clear();
    for (const std::string& name : w.names) {
      w.entries.push_back({FindIn(stores.intVars, name), FindIn(stores.stringVars, name),
                           FindIn(stores.stringArrays, name), FindIn(stores.intArrays, name)});
    }
    w.shape = stores.Shape();
    w.generation = generation_;
  }
  for (std::size_t i = 0; i < w.names.size(); ++i) {
    const Writes::Entries& e = w.entries[i];
    NameBefore& before = names_.emplace_back();
    before.name = w.names[i];
    if (e.intVar) before.intVar = *e.intVar;
    if (e.stringVar) before.stringVar = *e.stringVar;
    if (e.stringArray) before.stringArray = *e.stringArray;
    if (e.intArray) before.intArray = *e.intArray;
  }
  lines_.back().names = static_cast<std::uint16_t>(w.names.size());
}

// The element is written only when its index lies inside the array that
// the name designates (as an assignment finds it: the first store that holds
// the name, which must be an array store).
void History::RecordElement(const Interpreter& in, const Writes& w) {
  std::string_view name = w.names[0];
  if (name == kReturnedName) return;
  NameSlot slot = LookUpName(in.stores, name);
  auto at = static_cast<std::size_t>(w.index);
  ElementBefore before;
  before.index = at;
  if (slot.kind == NameKind::kIntArray && at < (*slot.intArray)->size()) {
    before.intArray = *slot.intArray;
    before.number = (*before.intArray)[at];
  } else if (slot.kind == NameKind::kStringArray && at < (*slot.stringArray)->size()) {
    before.stringArray = *slot.stringArray;
    before.text = (*before.stringArray)[at];
  } else {
    return;
  }
  elements_.push_back(std::move(before));
  lines_.back().element = true;
}

void History::ForgetOldest() {
  const LineBefore& oldest = lines_.front();
  for (std::uint16_t i = 0; i < oldest.names; ++i) names_.pop_front();
  if (oldest.element) elements_.pop_front();
  if (oldest.returned) returned_.pop_front();
  lines_.pop_front();
  truncated_ = true;
}

void History::Clear() {
  truncated_ = truncated_ || !lines_.empty();
  lines_.clear();
  names_.clear();
  elements_.clear();
  returned_.clear();
}

bool History::StepBack(Interpreter& in) {
  LineBefore& line = lines_.back();
  bool namesLeft = false;
  // The line's own records, newest first, so a name it was given twice ends
  // as it was before the first write.
  for (std::uint16_t i = 0; i < line.names; ++i) {
    NameBefore& before = names_.back();
    Stores& s = in.stores;
    std::size_t shape = s.Shape();
    PutBack(s.intVars, before.name, before.intVar);
    PutBack(s.stringVars, before.name, before.stringVar);
    PutBack(s.stringArrays, before.name, before.stringArray);
    PutBack(s.intArrays, before.name, before.intArray);
    namesLeft = namesLeft || s.Shape() < shape;
    names_.pop_back();
  }
  if (line.element) {
    ElementBefore& before = elements_.back();
    if (before.intArray) (*before.intArray)[before.index] = before.number;
    if (before.stringArray) (*before.stringArray)[before.index] = std::move(before.text);
    elements_.pop_back();
  }
  if (line.stores) {
    in.stores = std::move(*line.stores);
    namesLeft = true;
  }
  if (line.returned) {
    in.lastReturned = std::move(returned_.back());
    returned_.pop_back();
  }
  if (namesLeft) {
    ++generation_;
    // The remembered answer about names written like literals was worked
    // out for another set of names.
    in.stores.literalNamesAt = SIZE_MAX;
  }
  in.ifInfo = line.ifInfo;
  in.lineIndex = line.lineIndex;
  lines_.pop_back();
  return namesLeft;
}

}  // namespace zarnith::dap

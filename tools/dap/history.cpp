// The history of a debugged run and stepping back through it.
#include "dap/history.h"

#include "classes/args.h"
#include "values/text.h"
#include "values/types.h"

namespace zarnith::dap {

namespace {

using facts::HasOperator;

// Statements that hand back a value.
bool SetsReturned(std::string_view keyword) {
  return keyword == "return" || keyword == "append" || keyword == "typeof" ||
         keyword == "readline" || keyword == "use";
}

// The keywords an if-chain record names, by number.
constexpr std::string_view kChainWords[] = {"none", "if", "elif", "else"};

std::uint8_t ChainWordNumber(std::string_view word) {
  if (word.size() == 2) return 1;
  if (word.size() != 4 || word[0] != 'e') return 0;
  return word[2] == 'i' ? 2 : 3;
}

}  // namespace

void History::Load(const facts::ScriptFacts& script) {
  writes_.clear();
  writes_.reserve(script.size());
  writesSomething_.clear();
  for (std::size_t i = 0; i < script.size(); ++i) {
    writes_.push_back(ReadWrites(script, i));
    writesSomething_.push_back(writes_.back().returned || writes_.back().kind != Writes::Kind::kNothing);
  }
}

// The line as the interpreter cuts it. Its arithmetic is rewritten only when
// it runs, which can change a word only where an operator stands: a target
// written with one is known only to the run, and such a line records every
// store.
History::Writes History::ReadWrites(const facts::ScriptFacts& script, std::size_t line) {
  Writes w;
  const facts::LineFacts& f = script[line];
  std::span<const std::string_view> pieces = script.Pieces(line);
  using Kind = Writes::Kind;
  switch (f.shape.form) {
    case LineForm::kAssign: {
      std::string_view target = f.shape.three.first;
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
      std::string_view name = BeforeFirst(f.shape.three.rest, '[');
      w.kind = HasOperator(name) ? Kind::kEverything : Kind::kNames;
      w.names.emplace_back(name);
      break;
    }
    case LineForm::kClassCall:
      // Every call may hand back `returned`; a command that stores its
      // result in a variable takes the name from the argument that its
      // class's table names.
      w.returned = true;
      if (!f.classWrite.varType.empty() && IsBareName(f.classWrite.name)) {
        w.kind = Kind::kNames;
        w.names.emplace_back(f.classWrite.name);
      }
      break;
    case LineForm::kStatement:
      w.returned = SetsReturned(pieces[0]); break;
    case LineForm::kBlock:
    case LineForm::kNothing: break;
  }
  return w;
}

void History::BeginLine(Interpreter& in) {
  if (limit_ == 0) return;
  if (lines_.size() >= limit_ + kForgetBatch) ForgetOldest();
  reachable_ += reachable_ < limit_;
  if (blocks_.empty() || blocks_.back().lines == kForgetBatch) blocks_.push_back({});
  ++blocks_.back().lines;
  LineBefore& line = lines_.add_back();
  line.lineIndex = static_cast<std::uint32_t>(in.lineIndex);
  line.names = 0;
  line.held = 0;
  line.more = 0;
  line.lastCond = ChainWordNumber(in.ifInfo.lastCond);
  line.enabled = in.ifInfo.enabled;
  line.result = in.ifInfo.result;
  line.skiping = in.ifInfo.skiping;
  auto i = static_cast<std::size_t>(in.lineIndex);
  if (writesSomething_[i]) RecordWrites(in, i);
}

void History::RecordWrites(Interpreter& in, std::size_t index) {
  Writes& w = writes_[index];
  if (w.returned) {
    returned_.push_back(in.lastReturned);
    lines_.back().more |= kReturned;
    ++blocks_.back().returned;
  }
  switch (w.kind) {
    case Writes::Kind::kNothing: break;
    case Writes::Kind::kNames: RecordNames(in.stores, w); break;
    case Writes::Kind::kElement: RecordElement(in, w); break;
    case Writes::Kind::kEverything:
      stores_.push_back(std::make_shared<Stores>(in.stores));
      lines_.back().more |= kStores;
      ++blocks_.back().stores;
      break;
  }
}

void History::RecordNames(const Stores& stores, Writes& w) {
  if (w.shape != stores.NameCount() || w.generation != generation_) {
    // Entries never move and leave only by a step back: while no name was
    // added or taken away, where a name stands is known.
    w.entries.clear();
    for (const std::string& name : w.names) {
      w.entries.push_back({FindIn(stores.intVars, name), FindIn(stores.stringVars, name),
                           FindIn(stores.stringArrays, name), FindIn(stores.intArrays, name)});
    }
    w.shape = stores.NameCount();
    w.generation = generation_;
  }
  std::size_t held = 0;
  for (std::size_t i = 0; i < w.names.size(); ++i) {
    const Writes::Entries& e = w.entries[i];
    NameBefore& before = names_.add_back();
    before.name = w.names[i];
    before.has = 0;
    if (e.intVar) {
      before.intVar = *e.intVar;
      before.has |= kHasInt;
    }
    if (e.stringVar || e.stringArray || e.intArray) {
      Held& values = held_.push_back({});
      ++held;
      if (e.stringVar) values.text = *e.stringVar;
      if (e.stringArray) values.stringArray = *e.stringArray;
      if (e.intArray) values.intArray = *e.intArray;
      before.has |= (e.stringVar ? kHasString : 0) | (e.stringArray ? kHasStringArray : 0) |
                    (e.intArray ? kHasIntArray : 0);
    }
  }
  LineBefore& line = lines_.back();
  line.names = static_cast<std::uint8_t>(w.names.size());
  line.held = static_cast<std::uint8_t>(held);
  blocks_.back().names += line.names;
  blocks_.back().held += line.held;
}

// The element is written only when its index lies inside the array that
// the name designates (as an assignment finds it: the first store that holds
// the name, which must be an array store).
void History::RecordElement(Interpreter& in, const Writes& w) {
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
  lines_.back().more |= kElement;
  ++blocks_.back().elements;
}

void History::ForgetOldest() {
  const Block& oldest = blocks_.front();
  lines_.drop_front(oldest.lines);
  names_.drop_front(oldest.names);
  held_.drop_front(oldest.held);
  elements_.drop_front(oldest.elements);
  returned_.drop_front(oldest.returned);
  stores_.drop_front(oldest.stores);
  blocks_.pop_front();
  truncated_ = true;
}

void History::Clear() {
  truncated_ = truncated_ || !lines_.empty();
  reachable_ = 0;
  blocks_.clear();
  lines_.clear();
  names_.clear();
  held_.clear();
  elements_.clear();
  returned_.clear();
  stores_.clear();
}

// Puts one name back in every store as it stood; true when it left a store.
bool History::PutBackName(Stores& s) {
  NameBefore before = names_.back();
  names_.pop_back();
  Held held;
  if (before.has & ~kHasInt) {
    held = std::move(held_.back());
    held_.pop_back();
  }
  std::size_t shape = s.NameCount();
  auto put = [&](auto& map, bool had, auto&& value) {
    if (had) {
      StoreIn(s, map, before.name, std::move(value));
    } else if (auto it = map.find(before.name); it != map.end()) {
      map.erase(it);
    }
  };
  put(s.intVars, before.has & kHasInt, before.intVar);
  put(s.stringVars, before.has & kHasString, std::move(held.text));
  put(s.stringArrays, before.has & kHasStringArray, std::move(held.stringArray));
  put(s.intArrays, before.has & kHasIntArray, std::move(held.intArray));
  return s.NameCount() < shape;
}

bool History::StepBack(Interpreter& in) {
  LineBefore line = lines_.back();
  lines_.pop_back();
  --reachable_;
  Block& block = blocks_.back();
  block.names -= line.names;
  block.held -= line.held;
  block.elements -= (line.more & kElement) != 0;
  block.returned -= (line.more & kReturned) != 0;
  block.stores -= (line.more & kStores) != 0;
  if (--block.lines == 0) blocks_.pop_back();
  bool namesLeft = false;
  // The line's own records, newest first, so a name it was given twice ends
  // as it was before the first write.
  for (std::uint8_t i = 0; i < line.names; ++i) namesLeft = PutBackName(in.stores) || namesLeft;
  if (line.more & kElement) {
    ElementBefore& before = elements_.back();
    if (before.intArray) (*before.intArray)[before.index] = before.number;
    if (before.stringArray) (*before.stringArray)[before.index] = std::move(before.text);
    elements_.pop_back();
  }
  if (line.more & kStores) {
    in.stores = std::move(*stores_.back());
    stores_.pop_back();
    namesLeft = true;
  }
  if (line.more & kReturned) {
    in.lastReturned = std::move(returned_.back());
    returned_.pop_back();
  }
  // A name written like a literal that left may leave Stores::literalNames
  // set: typing a literal then searches the stores, which is still right.
  if (namesLeft) ++generation_;
  in.ifInfo = {.enabled = line.enabled,
               .lastCond = kChainWords[line.lastCond],
               .result = line.result,
               .skiping = line.skiping};
  in.lineIndex = line.lineIndex;
  return namesLeft;
}

}  // namespace zarnith::dap

// The history of a debugged run: for each line that ran, what the state held
// before it in every place the line could change (the names it assigns, the
// element it writes, the returned value, the if-chain record and the line
// counter), so that stepping back puts the state back as it was. Effects
// outside the interpreter (output, files, programs, enabled classes) are not
// recorded.
//
// What a line can write is read once from its text, before the run: the
// target of an assignment or a declaration, the names a class call is given.
// Recording a line then costs a few copies, which keeps a debugged run fast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "state/interpreter.h"

namespace zarnith::dap {

class History {
 public:
  explicit History(std::size_t limit = 0) : limit_(limit) {}

  // Reads what each line of the script can write.
  void Load(std::span<const std::string_view> lines);

  // Records the state that the line at in.lineIndex can change, before it runs.
  void BeginLine(const Interpreter& in);

  bool Empty() const { return lines_.empty(); }
  std::size_t Limit() const { return limit_; }
  // Lines were forgotten to stay within the limit (or memory ran out).
  bool Truncated() const { return truncated_; }
  // Forgets everything: no step back reaches before this point.
  void Clear();

  // Puts the state back as it was before the last recorded line and forgets
  // that line; lineIndex is that line's. True when a name left the stores.
  bool StepBack(Interpreter& in);

 private:
  // What a line can write, read from its prepared text.
  struct Writes {
    enum class Kind : std::uint8_t { kNothing, kNames, kElement, kEverything } kind = Kind::kNothing;
    bool returned = false;           // it may set the returned value
    std::vector<std::string> names;  // assigned names; an element's array name
    std::int64_t index = 0;          // the element's index
    // Where the names stood in the stores, while the stores keep their shape.
    struct Entries {
      const std::int64_t* intVar;
      const Text* stringVar;
      const StringArray* stringArray;
      const IntArray* intArray;
    };
    std::vector<Entries> entries;
    std::size_t shape = SIZE_MAX;
    std::uint64_t generation = 0;
  };
  // What one name held in each store before a line (nothing: not there).
  struct NameBefore {
    std::string_view name;  // into the line's Writes
    std::optional<std::int64_t> intVar;
    std::optional<Text> stringVar;
    std::optional<StringArray> stringArray;
    std::optional<IntArray> intArray;
  };
  // One array element before a line wrote it (one of the arrays is set).
  struct ElementBefore {
    IntArray intArray;
    StringArray stringArray;
    std::size_t index = 0;
    std::int64_t number = 0;
    std::string text;
  };
  struct LineBefore {
    std::int64_t lineIndex = 0;
    ifInfoType ifInfo;
    std::uint16_t names = 0;  // its records at the end of names_
    bool element = false;     // and of elements_
    bool returned = false;    // and of returned_
    std::shared_ptr<Stores> stores;  // a line whose target only the run knows
  };

  static Writes ReadWrites(std::string_view raw);
  void RecordNames(const Stores& stores, Writes& writes);
  void RecordElement(const Interpreter& in, const Writes& writes);
  void ForgetOldest();

  std::size_t limit_;
  bool truncated_ = false;
  std::uint64_t generation_ = 0;  // counts steps back that took names away
  std::vector<Writes> writes_;    // per script line; never moves after Load
  std::deque<LineBefore> lines_;
  std::deque<NameBefore> names_;
  std::deque<ElementBefore> elements_;
  std::deque<variable> returned_;
};

}  // namespace zarnith::dap

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
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "facts/script_facts.h"
#include "state/interpreter.h"

namespace zarnith::dap {

class History {
 public:
  explicit History(std::size_t limit = 0) : limit_(limit) {}

  // Reads what each line of the script can write.
  void Load(const facts::ScriptFacts& script);

  // Records the state that the line at in.lineIndex can change, before it runs.
  void BeginLine(Interpreter& in);

  // No line that a step back may reach: the user steps back at most
  // `limit` lines from the furthest line run.
  bool Empty() const { return reachable_ == 0; }
  std::size_t Limit() const { return limit_; }
  // Lines ran that a step back cannot reach: forgotten to stay within the
  // limit, or past it, or lost when memory ran out.
  bool Truncated() const { return truncated_ || lines_.size() > reachable_; }
  // Forgets everything: no step back reaches before this point.
  void Clear();

  // Puts the state back as it was before the last recorded line and forgets
  // that line; lineIndex is that line's. True when a name left the stores.
  bool StepBack(Interpreter& in);

 private:
  // What a line can write, read from the script's facts.
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
  // What one name held in each store before a line. An int is kept here;
  // a text or an array in held_, in the same order, one entry per `has` bit
  // other than kHasInt. Kept trivial, so recording a loop's line is cheap.
  static constexpr std::uint8_t kHasInt = 1, kHasString = 2, kHasStringArray = 4, kHasIntArray = 8;
  struct NameBefore {
    std::string_view name;  // into the line's Writes
    std::int64_t intVar;
    std::uint8_t has;
  };
  struct Held {
    Text text;
    StringArray stringArray;
    IntArray intArray;
  };
  // One array element before a line wrote it (one of the arrays is set).
  struct ElementBefore {
    IntArray intArray;
    StringArray stringArray;
    std::size_t index = 0;
    std::int64_t number = 0;
    std::string text;
  };
  static constexpr std::uint8_t kElement = 1, kReturned = 2, kStores = 4;
  // Small, so that a long history touches little memory: a line's index
  // fits in 32 bits (a script is read into memory), and the if-chain record
  // is kept as its keyword's number and its three flags.
  struct LineBefore {
    std::uint32_t lineIndex;
    std::uint8_t names;   // its records at the end of names_
    std::uint8_t held;    // and of held_
    std::uint8_t more;    // and of elements_, returned_, stores_
    std::uint8_t lastCond;
    bool enabled, result, skiping;
  };

  // A queue over one growing buffer: adding and forgetting at either end
  // costs no allocation once the buffer has grown to the history's size.
  template <typename T>
  class Ring {
   public:
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    T& back() { return items_[(head_ + size_ - 1) & mask_]; }
    T& front() { return items_[head_]; }
    T& push_back(T item) {
      T& slot = add_back();
      slot = std::move(item);
      return slot;
    }
    // A slot at the end whose fields the caller sets, one by one: copying a
    // whole record built elsewhere costs more than a loop's line here.
    T& add_back() {
      if (size_ == capacity_) Grow();
      return items_[(head_ + size_++) & mask_];
    }
    void pop_back() {
      Release(back());
      --size_;
    }
    void pop_front() {
      Release(front());
      head_ = (head_ + 1) & mask_;
      --size_;
    }
    // The oldest `count` items at once.
    void drop_front(std::size_t count) {
      if constexpr (!std::is_trivially_destructible_v<T>) {
        for (std::size_t i = 0; i < count; ++i) pop_front();
      } else {
        head_ = (head_ + count) & mask_;
        size_ -= count;
      }
    }
    void clear() {
      while (!empty()) pop_back();
    }

   private:
    static void Release(T& item) {
      if constexpr (!std::is_trivially_destructible_v<T>) item = T{};
    }
    void Grow() {
      std::vector<T> bigger(items_.empty() ? 64 : 2 * items_.size());
      for (std::size_t i = 0; i < size_; ++i) bigger[i] = std::move(items_[(head_ + i) & mask_]);
      items_ = std::move(bigger);
      head_ = 0;
      capacity_ = items_.size();
      mask_ = capacity_ - 1;
    }
    std::vector<T> items_;
    std::size_t head_ = 0, size_ = 0, mask_ = 0, capacity_ = 0;
  };

  static Writes ReadWrites(const facts::ScriptFacts& script, std::size_t line);
  [[gnu::noinline]] void RecordWrites(Interpreter& in, std::size_t index);
  void RecordNames(const Stores& stores, Writes& writes);
  void RecordElement(Interpreter& in, const Writes& writes);
  [[gnu::noinline]] void ForgetOldest();
  bool PutBackName(Stores& stores);

  // Records are forgotten this many at a time, past the limit.
  static constexpr std::size_t kForgetBatch = 4096;

  std::size_t limit_;
  std::size_t reachable_ = 0;  // the newest records that a step back may use
  bool truncated_ = false;
  std::uint64_t generation_ = 0;  // counts steps back that took names away
  std::vector<Writes> writes_;    // per script line; never moves after Load
  std::vector<std::uint8_t> writesSomething_;  // per line: more than lineIndex and ifInfo
  // The records of each run of kForgetBatch lines, so the oldest run is
  // forgotten at once.
  struct Block {
    std::uint32_t lines, names, held, elements, returned, stores;
  };
  Ring<Block> blocks_;
  Ring<LineBefore> lines_;
  Ring<NameBefore> names_;
  Ring<Held> held_;
  Ring<ElementBefore> elements_;
  Ring<variable> returned_;
  Ring<std::shared_ptr<Stores>> stores_;
};

}  // namespace zarnith::dap

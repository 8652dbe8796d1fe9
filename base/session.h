#pragma once
// The one session state: every engine module keeps its state in one struct,
// and every such struct lives here, created on first use. One call resets them
// all, so a test starts clean from one place and a new module never joins a
// list of resets.
//
// A state's default construction is its start-up state. Reset rebuilds each
// state in place: references and pointers to a state stay valid for the whole
// run (the simulator keeps them). Code that must re-enter a module (the line
// assembler, a hover evaluation) saves the states it uses with SavedStates.

#include <cstddef>
#include <memory>
#include <tuple>
#include <vector>

namespace dorvik {

class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The state of type State, created (default-constructed) on first use.
  template <class State>
  State& Get() {
    const size_t id = SlotId<State>();
    if (id < slots_.size() && slots_[id]) [[likely]]
      return static_cast<Slot<State>&>(*slots_[id]).value;
    return Create<State>(id);
  }

  // Every state back to its start-up contents.
  void Reset();
  // One state back to its start-up contents.
  template <class State>
  void Reset() {
    Get<State>();
    slots_[SlotId<State>()]->Rebuild();
  }

 private:
  struct SlotBase {
    virtual ~SlotBase() = default;
    virtual void Rebuild() = 0;
  };
  template <class State>
  struct Slot final : SlotBase {
    State value{};
    void Rebuild() override {
      std::destroy_at(&value);
      std::construct_at(&value);
    }
  };

  static size_t NextSlotId();
  template <class State>
  static size_t SlotId() {
    static const size_t id = NextSlotId();
    return id;
  }
  template <class State>
  State& Create(size_t id) {
    if (id >= slots_.size()) slots_.resize(id + 1);
    auto slot = std::make_unique<Slot<State>>();
    State& state = slot->value;
    slots_[id] = std::move(slot);
    return state;
  }

  std::vector<std::unique_ptr<SlotBase>> slots_;
};

// The program's session.
Session& CurrentSession();

// Every module's state back to its start-up contents.
inline void ResetSession() { CurrentSession().Reset(); }
// One module's state back to its start-up contents.
template <class State>
void ResetState() {
  CurrentSession().Reset<State>();
}

// Copies the states it names and puts them back when it goes out of scope,
// for code that runs a module in the middle of that module's own work.
// Keep() takes the states as they are then: nothing is put back.
template <class... States>
class SavedStates {
 public:
  SavedStates() : saved_(CurrentSession().Get<States>()...) {}
  ~SavedStates() {
    if (!keep_) ((CurrentSession().Get<States>() = std::get<States>(saved_)), ...);
  }
  SavedStates(const SavedStates&) = delete;
  SavedStates& operator=(const SavedStates&) = delete;

  void Keep() { keep_ = true; }

 private:
  std::tuple<States...> saved_;
  bool keep_ = false;
};

}  // namespace dorvik

// Maps system objects to the small positive integers the portable code holds, and owns them:
// removing a handle or clearing the table frees the objects with the table's own function, so
// no caller frees by hand and a release in any order frees everything once.
// Handles are slot numbers plus one, freed slots are reused lowest first, and 0 never names anything.
#pragma once

#include <vector>

template <class T>
class HandleTable {
   public:
    using Free = void (*)(const T&);
    explicit HandleTable(Free free) : free_(free) {}

    int add(const T& value) {
        for (std::size_t i = 0; i < slots_.size(); ++i)
            if (!slots_[i].used) {
                slots_[i] = Slot{true, value};
                return static_cast<int>(i) + 1;
            }
        slots_.push_back(Slot{true, value});
        return static_cast<int>(slots_.size());
    }

    // nullptr for 0, negative, freed or never-given handles.
    T* get(int handle) {
        if (handle <= 0 || static_cast<std::size_t>(handle) > slots_.size()) return nullptr;
        Slot& slot = slots_[handle - 1];
        return slot.used ? &slot.value : nullptr;
    }

    void remove(int handle) {
        if (!get(handle)) return;
        free_(slots_[handle - 1].value);
        slots_[handle - 1] = Slot{};
    }

    void clear() {
        for (const Slot& slot : slots_)
            if (slot.used) free_(slot.value);
        slots_.clear();
    }

   private:
    struct Slot {
        bool used = false;
        T value{};
    };
    Free free_;
    std::vector<Slot> slots_;
};

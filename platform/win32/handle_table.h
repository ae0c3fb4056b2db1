// Maps system objects to the small positive integers the portable code holds.
// The hard part is staying cheap and predictable: handles are slot numbers
// plus one, freed slots are reused lowest first, and 0 never names anything.
#pragma once

#include <vector>

template <class T>
class HandleTable {
   public:
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
        if (get(handle)) slots_[handle - 1] = Slot{};
    }

    // Calls f(handle, value) for every live entry.
    template <class F>
    void for_each(F f) {
        for (std::size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i].used) f(static_cast<int>(i) + 1, slots_[i].value);
    }

    void clear() { slots_.clear(); }

   private:
    struct Slot {
        bool used = false;
        T value{};
    };
    std::vector<Slot> slots_;
};

// The program is built without exceptions. The C++ library's few throw points (a string or
// vector that cannot grow, an allocation that fails) end it with a message instead; the
// library's own versions would bring in its whole exception and demangling machinery.
#include <windows.h>

#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace {
[[noreturn]] void give_up(const char* what) {
    FatalAppExitA(0, what);
    ExitProcess(3);
}
}  // namespace

namespace std {
void __throw_bad_alloc() { give_up("VYX Client: out of memory"); }
void __throw_bad_array_new_length() { give_up("VYX Client: out of memory"); }
void __throw_length_error(const char*) { give_up("VYX Client: out of memory"); }
void __throw_logic_error(const char*) { give_up("VYX Client: internal error"); }
void __throw_out_of_range_fmt(const char*, ...) { give_up("VYX Client: internal error"); }
void __throw_bad_function_call() { give_up("VYX Client: internal error"); }
}  // namespace std

void* operator new(std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    give_up("VYX Client: out of memory");
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
// What a stable sort asks for its buffer: the library's version catches, and so pulls in the rest.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

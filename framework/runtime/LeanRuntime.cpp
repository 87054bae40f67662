// The applet's own versions of a few pieces of GCC's static C++ runtime;
// linked into TmRoveVodore.cpl only.
//
// Linked statically, libstdc++ brings its default terminate handler (which
// demangles the exception's type name for a console message) and its helpers
// that throw the standard exceptions (which pull in two complete std::string
// implementations): some 150 KB of the 32-bit module. Inside the Control
// Panel host neither does anything useful: there is no console, and nothing
// in the applet catches a standard exception, so such an exception ends the
// host through std::terminate anyway. These replacements end it at once;
// allocation failures still throw std::bad_alloc.
#include <cstdlib>
#include <new>

#if defined(__GLIBCXX__)

#include <bits/functexcept.h>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_exception() {
    std::abort();
}
void __throw_bad_cast() {
    std::abort();
}
void __throw_bad_typeid() {
    std::abort();
}
void __throw_logic_error(const char*) {
    std::abort();
}
void __throw_domain_error(const char*) {
    std::abort();
}
void __throw_invalid_argument(const char*) {
    std::abort();
}
void __throw_length_error(const char*) {
    std::abort();
}
void __throw_out_of_range(const char*) {
    std::abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
    std::abort();
}
void __throw_runtime_error(const char*) {
    std::abort();
}
void __throw_range_error(const char*) {
    std::abort();
}
void __throw_overflow_error(const char*) {
    std::abort();
}
void __throw_underflow_error(const char*) {
    std::abort();
}

}  // namespace std

#endif

// printf-style formatting into a std::string (the system's patterns such as "%s.%.3d" and
// "%.8x : %s(%d)"). Arguments are plain C values; pass std::string through .c_str().
#pragma once

#include <cstdarg>
#include <string>

namespace kova {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

}  // namespace kova

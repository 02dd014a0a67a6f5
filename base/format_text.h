// printf-style formatting into a std::string of exactly the formatted length,
// for lines whose size is not known in advance.
#pragma once

#include <cstdarg>
#include <string>

std::string FormatTextV(const char* format, va_list args);
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

#include "support/Format.hpp"

#include <cstdarg>

namespace quillbay {

std::string format(const char* pattern, ...)
{
    va_list arguments;
    va_start(arguments, pattern);
    gchar* text = g_strdup_vprintf(pattern, arguments);
    va_end(arguments);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

} // namespace quillbay

#include "support/DebugLog.hpp"

#include <glib.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>

namespace quillbay {

namespace {

struct Ring {
    std::mutex mutex;
    std::deque<std::string> lines;
};

Ring& ring()
{
    static Ring kept;
    return kept;
}

const char* levelName(GLogLevelFlags level)
{
    if (level & G_LOG_LEVEL_ERROR)
        return "ERROR";
    if (level & G_LOG_LEVEL_CRITICAL)
        return "CRITICAL";
    if (level & G_LOG_LEVEL_WARNING)
        return "WARNING";
    if (level & G_LOG_LEVEL_MESSAGE)
        return "MESSAGE";
    if (level & G_LOG_LEVEL_INFO)
        return "INFO";
    return "DEBUG";
}

std::string_view fieldText(const GLogField& field)
{
    const auto* text = static_cast<const char*>(field.value);
    if (!text)
        return {};
    return field.length < 0 ? std::string_view(text) : std::string_view(text, static_cast<std::size_t>(field.length));
}

std::string timeOfDay()
{
    GDateTime* now = g_date_time_new_now_local();
    gchar* clock = g_date_time_format(now, "%H:%M:%S");
    std::string text = clock ? clock : "";
    char millis[8];
    g_snprintf(millis, sizeof millis, ".%03d", g_date_time_get_microsecond(now) / 1000);
    g_free(clock);
    g_date_time_unref(now);
    return text + millis;
}

void keep(GLogLevelFlags level, std::string_view message)
{
    std::string line = timeOfDay() + " " + levelName(level) + " ";
    line.append(message);
    Ring& kept = ring();
    std::lock_guard lock(kept.mutex);
    kept.lines.push_back(std::move(line));
    while (kept.lines.size() > DebugLog::kLines)
        kept.lines.pop_front();
}

GLogWriterOutput writer(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer data)
{
    std::string_view domain, message;
    for (gsize i = 0; i < count; ++i) {
        if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0)
            domain = fieldText(fields[i]);
        else if (std::strcmp(fields[i].key, "MESSAGE") == 0)
            message = fieldText(fields[i]);
    }
    if (domain == DebugLog::kDomain)
        keep(level, message);
    return g_log_writer_default(level, fields, count, data);
}

} // namespace

void DebugLog::install()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        g_log_writer_default_set_use_stderr(TRUE);  // standard output is for the program's own answers
        g_log_set_writer_func(writer, nullptr, nullptr);
    });
}

std::vector<std::string> DebugLog::recent()
{
    Ring& kept = ring();
    std::lock_guard lock(kept.mutex);
    return {kept.lines.begin(), kept.lines.end()};
}

} // namespace quillbay

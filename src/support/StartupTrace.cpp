#include "support/StartupTrace.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace quillbay {

void traceStartup(const char* step)
{
    static const char* const path = std::getenv("QUILLBAY_STARTUP_TRACE");
    if (!path || !*path)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char line[160];
    const int length = std::snprintf(line, sizeof line, "%s %lld.%06ld\n", step,
                                     static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    if (length > 0)
        [[maybe_unused]] auto written = ::write(fd, line, static_cast<size_t>(length));
    ::close(fd);
}

} // namespace quillbay

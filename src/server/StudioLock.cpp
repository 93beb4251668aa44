#include "server/StudioLock.hpp"

#include "support/SafeFile.hpp"

#include <glib.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include <sys/file.h>
#include <unistd.h>

namespace quillbay {

StudioLock::~StudioLock()
{
    release();
}

StudioLock::Outcome StudioLock::acquire(const std::string& studioFolder)
{
    if (isHeld())
        return Outcome::Held;
    failure_.clear();
    // Read-only: the file is only ever locked, so a link planted in its place cannot be written through.
    SafeFile file = SafeFile::open(studioFolder + "/" + kFileName, O_RDONLY | O_CREAT);
    if (!file.isOpen())
        return unavailable(studioFolder, file.failure());
    if (file.facts().st_uid != ::geteuid())
        return unavailable(studioFolder, "it belongs to another user");  // whose lock must not keep us out
    int result;
    do
        result = ::flock(file.fd(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (errno == EWOULDBLOCK) {
            g_info("lock: %s/%s is held by another supervisor", studioFolder.c_str(), kFileName);
            return Outcome::HeldElsewhere;
        }
        return unavailable(studioFolder, std::strerror(errno));
    }
    fd_ = file.release();
    g_debug("lock: %s/%s taken", studioFolder.c_str(), kFileName);
    return Outcome::Held;
}

StudioLock::Outcome StudioLock::unavailable(const std::string& studioFolder, std::string why)
{
    failure_ = std::move(why);
    g_info("lock: %s/%s cannot be taken (%s); going on without it", studioFolder.c_str(), kFileName, failure_.c_str());
    return Outcome::Unavailable;
}

void StudioLock::release()
{
    if (fd_ < 0)
        return;
    ::close(std::exchange(fd_, -1));  // closing the only descriptor drops the lock
    g_debug("lock: released");
}

} // namespace quillbay

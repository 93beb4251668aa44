#include "server/StudioLock.hpp"

#include "support/SafeFile.hpp"

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
    if (!file.isOpen()) {
        failure_ = file.failure();
        return Outcome::Unavailable;
    }
    if (file.facts().st_uid != ::geteuid()) {
        failure_ = "it belongs to another user";  // whose lock must not keep us out
        return Outcome::Unavailable;
    }
    int result;
    do
        result = ::flock(file.fd(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (errno == EWOULDBLOCK)
            return Outcome::HeldElsewhere;
        failure_ = std::strerror(errno);
        return Outcome::Unavailable;
    }
    fd_ = file.release();
    return Outcome::Held;
}

void StudioLock::release()
{
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));  // closing the only descriptor drops the lock
}

} // namespace quillbay

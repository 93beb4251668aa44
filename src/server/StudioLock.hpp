#pragma once

#include <string>

namespace quillbay {

// An exclusive flock on S/quillbay.lock, held by the shell while a server of
// its runs on the studio folder S, so that a second supervisor of the same
// folder leaves the server, its log and its data alone. The lock goes with
// the descriptor: released on release(), on destruction, and by the kernel
// when the shell dies however it dies.
//
// The server does not inherit it (close-on-exec). If it did, an orphan that
// outlives a crashed shell would keep the folder locked for as long as it
// runs, and no later shell could reclaim it, since a locked folder is never
// started on. Unlocked, the next shell's port choice ends such an orphan
// before its own server starts, and the log is only ever written by a shell.
class StudioLock {
public:
    enum class Outcome {
        Held,           // ours now (or already)
        HeldElsewhere,  // another open of the file holds it: another supervisor
        Unavailable,    // the lock file cannot be opened or locked; see failure()
    };

    StudioLock() = default;
    ~StudioLock();
    StudioLock(const StudioLock&) = delete;
    StudioLock& operator=(const StudioLock&) = delete;

    // Opens S/quillbay.lock without following a link (creating it if needed)
    // and takes the lock without waiting. Keeps it when it is held already.
    Outcome acquire(const std::string& studioFolder);
    void release();
    bool isHeld() const { return fd_ >= 0; }
    // Why the last acquire() came out Unavailable.
    const std::string& failure() const { return failure_; }

    static constexpr const char* kFileName = "quillbay.lock";

private:
    Outcome unavailable(const std::string& studioFolder, std::string why);

    int fd_ = -1;
    std::string failure_;
};

} // namespace quillbay

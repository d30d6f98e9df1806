#include "platform/InstanceCheck.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace tolvane {

namespace {

// Every instance tries to hold an exclusive lock on one file per user. The kernel drops the lock
// when the process ends in any way, so a crashed or killed instance never blocks a later start.
class LockFileInstanceCheck final : public InstanceCheck {
public:
    LockFileInstanceCheck()
    {
        m_fd = ::open(lockPath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        m_holder = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~LockFileInstanceCheck() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LockFileInstanceCheck(const LockFileInstanceCheck&) = delete;
    LockFileInstanceCheck& operator=(const LockFileInstanceCheck&) = delete;

    // A lock file that cannot be opened at all proves nothing about other instances.
    bool earlierInstanceRunning() override { return m_fd >= 0 && !m_holder; }

private:
    static std::string lockPath()
    {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime && *runtime)
            return std::string(runtime) + "/tolvane.lock";
        return "/tmp/tolvane-" + std::to_string(::getuid()) + ".lock";
    }

    int m_fd = -1;
    bool m_holder = false;
};

} // namespace

std::unique_ptr<InstanceCheck> makeInstanceCheck()
{
    return std::make_unique<LockFileInstanceCheck>();
}

} // namespace tolvane

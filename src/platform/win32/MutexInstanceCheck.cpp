#include "platform/InstanceCheck.h"

#include <windows.h>

namespace tolvane {

namespace {

// A named mutex per session: Windows removes it with the last process holding it, so an
// instance that crashed or was killed never blocks a later start.
class MutexInstanceCheck final : public InstanceCheck {
public:
    MutexInstanceCheck()
    {
        m_mutex = CreateMutexA(nullptr, FALSE, "Local\\Tolvane.FirmwareUpgrade");
        m_existed = m_mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    ~MutexInstanceCheck() override
    {
        if (m_mutex)
            CloseHandle(m_mutex);
    }
    MutexInstanceCheck(const MutexInstanceCheck&) = delete;
    MutexInstanceCheck& operator=(const MutexInstanceCheck&) = delete;

    bool earlierInstanceRunning() override { return m_existed; }

private:
    HANDLE m_mutex = nullptr;
    bool m_existed = false;
};

} // namespace

std::unique_ptr<InstanceCheck> makeInstanceCheck()
{
    return std::make_unique<MutexInstanceCheck>();
}

} // namespace tolvane

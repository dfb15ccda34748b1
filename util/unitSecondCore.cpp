#include "util/unitSecondCore.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

/// One call's pieces, on the calling thread's stack.
struct cSharedWork {
    const std::function<void(size_t)>* Work = nullptr;
    size_t Count = 0;
    std::atomic<size_t> Next{0};
    int HelpersInside = 0; ///< guarded by the helper's mutex

    void TakePiecesUntilDone() {
        for (size_t i = Next.fetch_add(1); i < Count; i = Next.fetch_add(1)) {
            (*Work)(i);
        }
    }
};

/// The helper thread: waits for work to be offered, takes pieces of it, goes back to waiting.
/// Stopped and joined at the program's end.
class cHelper {
public:
    cHelper() : m_Thread([this] { Loop(); }) {}
    ~cHelper() {
        {
            const std::lock_guard lock(m_Mutex);
            m_Stopping = true;
        }
        m_Wake.notify_one();
        m_Thread.join();
    }
    cHelper(const cHelper&) = delete;
    cHelper& operator=(const cHelper&) = delete;

    void Run(cSharedWork& shared) {
        const std::lock_guard oneCallAtATime(m_CallMutex);
        {
            const std::lock_guard lock(m_Mutex);
            m_Offered = &shared;
        }
        m_Wake.notify_one();
        shared.TakePiecesUntilDone();
        std::unique_lock lock(m_Mutex);
        m_Offered = nullptr; // a helper that wakes only now finds nothing to join
        m_Left.wait(lock, [&shared] { return shared.HelpersInside == 0; });
    }

private:
    void Loop() {
        std::unique_lock lock(m_Mutex);
        for (;;) {
            m_Wake.wait(lock, [this] { return m_Stopping || m_Offered != nullptr; });
            if (m_Stopping) {
                return;
            }
            cSharedWork& shared = *m_Offered;
            m_Offered = nullptr; // taken once
            ++shared.HelpersInside;
            lock.unlock();
            shared.TakePiecesUntilDone();
            lock.lock();
            --shared.HelpersInside;
            m_Left.notify_one();
        }
    }

    std::mutex m_CallMutex;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::condition_variable m_Left;
    cSharedWork* m_Offered = nullptr;
    bool m_Stopping = false;
    std::thread m_Thread; // last: starts once the members it uses exist
};

/// The helper, started on first use; null where the system has one core or gives no thread.
cHelper* Helper() {
    static cHelper* const helper = []() -> cHelper* {
        if (std::thread::hardware_concurrency() < 2) {
            return nullptr;
        }
        try {
            static cHelper instance;
            return &instance;
        } catch (const std::system_error&) {
            return nullptr;
        }
    }();
    return helper;
}

} // namespace

void ForEachOnTwoCores(size_t count, const std::function<void(size_t)>& work) {
    cSharedWork shared;
    shared.Work = &work;
    shared.Count = count;
    cHelper* helper = count > 1 ? Helper() : nullptr;
    if (helper == nullptr) {
        shared.TakePiecesUntilDone();
        return;
    }
    helper->Run(shared);
}

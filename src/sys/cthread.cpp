#include "sys/cthread.h"

#include "sys/locks.h"

#include <map>
#include <mutex>

void* CThread::trampoline(void* self) {
    // Nothing of the object is touched after Run: an object may delete itself.
    static_cast<CThread*>(self)->Run();
    return nullptr;
}

void CThread::Start() {
    if (pthread_create(&thread_, nullptr, trampoline, this) != 0)
        throw CThreadException("Error in thread creation... (pthread_create())");
    started_ = true;
}

void CThread::Join() {
    if (!started_) return;
    started_ = false;
    pthread_join(thread_, nullptr);
}

namespace {

// One pending-signal count per condition variable, read and written only
// with the caller's mutex held, so a signal sent before the wait is kept.
std::mutex gRegistryMutex;
unsigned& pendingFor(pthread_cond_t* cond) {
    static std::map<pthread_cond_t*, unsigned> pending;
    std::lock_guard lock(gRegistryMutex);
    return pending[cond];
}

}  // namespace

void pthr_cond_wait_signal(pthread_mutex_t* mutex, pthread_cond_t* cond) {
    unsigned& pending = pendingFor(cond);
    MutexLock lock(*mutex);
    while (pending == 0) pthread_cond_wait(cond, mutex);
    --pending;
}

void pthr_cond_send_signal(pthread_mutex_t* mutex, pthread_cond_t* cond) {
    unsigned& pending = pendingFor(cond);
    MutexLock lock(*mutex);
    ++pending;
    pthread_cond_signal(cond);
}

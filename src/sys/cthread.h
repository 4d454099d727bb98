// A thread object with a virtual run operation, and the condition helpers.
#pragma once

#include <pthread.h>
#include <stdexcept>

class CThreadException : public std::runtime_error {
public:
    explicit CThreadException(const char* what) : std::runtime_error(what) {}
};

class CThread {
public:
    CThread() = default;
    // Does not stop the thread: an object that runs must outlive its Run.
    virtual ~CThread() = default;
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Creates a thread with default attributes that runs Run and then ends;
    // throws CThreadException when the thread cannot be created.
    void Start();
    // Waits for the thread to end.
    void Join();
    pthread_t handle() const { return thread_; }

    virtual void Run() = 0;

private:
    static void* trampoline(void* self);
    pthread_t thread_{};
    bool started_ = false;
};

// Waits until pthr_cond_send_signal was called for cond, even when that
// happened before the wait began; each signal releases one wait.
void pthr_cond_wait_signal(pthread_mutex_t* mutex, pthread_cond_t* cond);
void pthr_cond_send_signal(pthread_mutex_t* mutex, pthread_cond_t* cond);

#include "sys/locks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

pthread_mutex_t CS3_mutex;
pthread_mutex_t I2C0_mutex;
pthread_mutex_t I2C1_mutex;
pthread_mutex_t I2C2_mutex;
pthread_mutex_t I2C3_mutex;
pthread_mutex_t frontend_mutex;
pthread_mutex_t SI9136_mutex0;
pthread_mutex_t SI9136_mutex1;
pthread_mutex_t scanmode_probe_mutex;
pthread_mutex_t PM_mutex;
pthread_mutex_t lws_reset_mutex;
pthread_cond_t lws_reset_cond = PTHREAD_COND_INITIALIZER;

namespace {

// One attribute for all: priority inheritance (no real-time ceiling here).
// Sanitized builds check for relocking, so a self-deadlock fails a test
// instead of hanging it.
struct Init {
    Init() {
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
#ifdef HX40_SANITIZED
        pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_ERRORCHECK);
#endif
        for (pthread_mutex_t* m : {&CS3_mutex, &I2C0_mutex, &I2C1_mutex, &I2C2_mutex, &I2C3_mutex, &frontend_mutex,
                                   &SI9136_mutex0, &SI9136_mutex1, &scanmode_probe_mutex, &PM_mutex, &lws_reset_mutex})
            pthread_mutex_init(m, &attr);
        pthread_mutexattr_destroy(&attr);
    }
} gInit;

}  // namespace

MutexLock::MutexLock(pthread_mutex_t& m) : m_(m) {
    if (int rc = pthread_mutex_lock(&m_); rc != 0) {
        // Relocking a held lock: a self-deadlock on the device.
        std::fprintf(stderr, "MutexLock: %s\n", std::strerror(rc));
        std::abort();
    }
}

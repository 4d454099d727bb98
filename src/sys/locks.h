// The locks shared across the program. They exist from the first instruction
// (tests use them without start-up) and use priority inheritance.
#pragma once

#include <pthread.h>

extern pthread_mutex_t CS3_mutex;       // every access to the scaler window and the SPI master it hosts
extern pthread_mutex_t I2C0_mutex;
extern pthread_mutex_t I2C1_mutex;
extern pthread_mutex_t I2C2_mutex;
extern pthread_mutex_t I2C3_mutex;
extern pthread_mutex_t frontend_mutex;  // the video receivers
extern pthread_mutex_t SI9136_mutex0;   // the HDMI transmitters
extern pthread_mutex_t SI9136_mutex1;
extern pthread_mutex_t scanmode_probe_mutex;
extern pthread_mutex_t PM_mutex;        // table access to PM, its EEPROM loads and saves
extern pthread_mutex_t lws_reset_mutex;
extern pthread_cond_t lws_reset_cond;

// Scoped holder: the lock is released on every path.
class MutexLock {
public:
    explicit MutexLock(pthread_mutex_t& m);
    ~MutexLock() { pthread_mutex_unlock(&m_); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    pthread_mutex_t& m_;
};

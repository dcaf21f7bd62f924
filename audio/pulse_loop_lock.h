// pulse_loop_lock.h: holds a libpulse threaded loop's lock for a scope, the
// way every call into a stream on that loop must be made.
#pragma once

#include <pulse/thread-mainloop.h>

class PulseLoopLock {
public:
    explicit PulseLoopLock(pa_threaded_mainloop* loop)
        : loop_(loop)
    {
        pa_threaded_mainloop_lock(loop_);
    }
    ~PulseLoopLock() { pa_threaded_mainloop_unlock(loop_); }
    PulseLoopLock(const PulseLoopLock&) = delete;
    PulseLoopLock& operator=(const PulseLoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

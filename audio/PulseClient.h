#pragma once

// The sound server's client as the output (AudioDevice.cpp) and the input (AudioInput.cpp) use
// it: libpulse, loaded on first use, and the pieces of its threaded main loop both need. Private
// to audio/: nothing outside it includes libpulse's headers.

#include "platform/LazyLibrary.h"

#include <pulse/pulseaudio.h>

namespace lessora::pulseclient {

#define LESSORA_PULSE_FUNCTIONS(F)                                                                 \
    F(pa_bytes_to_usec)                                                                            \
    F(pa_context_connect)                                                                          \
    F(pa_context_disconnect)                                                                       \
    F(pa_context_get_server_info)                                                                  \
    F(pa_context_get_source_info_by_name)                                                          \
    F(pa_context_get_state)                                                                        \
    F(pa_context_new)                                                                              \
    F(pa_context_set_state_callback)                                                               \
    F(pa_context_unref)                                                                            \
    F(pa_gettimeofday)                                                                             \
    F(pa_operation_get_state)                                                                      \
    F(pa_operation_unref)                                                                          \
    F(pa_stream_connect_playback)                                                                  \
    F(pa_stream_connect_record)                                                                    \
    F(pa_stream_disconnect)                                                                        \
    F(pa_stream_drop)                                                                              \
    F(pa_stream_get_buffer_attr)                                                                   \
    F(pa_stream_get_latency)                                                                       \
    F(pa_stream_get_state)                                                                         \
    F(pa_stream_get_time)                                                                          \
    F(pa_stream_get_timing_info)                                                                   \
    F(pa_stream_new)                                                                               \
    F(pa_stream_peek)                                                                              \
    F(pa_stream_set_latency_update_callback)                                                       \
    F(pa_stream_set_read_callback)                                                                 \
    F(pa_stream_set_state_callback)                                                                \
    F(pa_stream_set_underflow_callback)                                                            \
    F(pa_stream_set_write_callback)                                                                \
    F(pa_stream_unref)                                                                             \
    F(pa_stream_writable_size)                                                                     \
    F(pa_stream_write)                                                                             \
    F(pa_threaded_mainloop_free)                                                                   \
    F(pa_threaded_mainloop_get_api)                                                                \
    F(pa_threaded_mainloop_lock)                                                                   \
    F(pa_threaded_mainloop_new)                                                                    \
    F(pa_threaded_mainloop_signal)                                                                 \
    F(pa_threaded_mainloop_start)                                                                  \
    F(pa_threaded_mainloop_stop)                                                                   \
    F(pa_threaded_mainloop_unlock)                                                                 \
    F(pa_threaded_mainloop_wait)                                                                   \
    F(pa_timeval_add)                                                                              \
    F(pa_usec_to_bytes)

// The sound server's client library, loaded when the first sound is to be played or recording
// is first asked for: with the codecs it brings along it would cost every start a few
// milliseconds, which lessora-say spends better on its first sentence and the window before its
// first paint.
struct PulseLibrary : LazyLibrary {
    LESSORA_PULSE_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    PulseLibrary()
        : LazyLibrary("pulse", 0) {
        LESSORA_PULSE_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

#undef LESSORA_PULSE_FUNCTIONS

// The one instance, loaded by the first call.
const PulseLibrary& pulse();

// Wakes the thread waiting on the main loop; `loop` is a pa_threaded_mainloop, as the
// callbacks' user data.
void signalLoop(void* loop);

// A new main loop with its thread running; nullptr when the library or the thread is missing.
pa_threaded_mainloop* startMainLoop();
// Stops the loop's thread and frees it; without its lock held.
void stopMainLoop(pa_threaded_mainloop* loop);

// Keeps `context` connected to the server, with the loop's lock held: a ready one is kept, any
// other (a connection that failed is not used again) replaced by a new one; false when that is
// not ready within timeoutMs. No autospawn: a missing server is reported, not started behind the
// user's back.
bool connectContext(pa_threaded_mainloop* loop, pa_context*& context, int timeoutMs);
// Disconnects and releases a context, if any, with the loop's lock held, and clears it.
void dropContext(pa_context*& context);

// Whether a context or stream is done connecting: ready, or failed for good.
inline bool settled(pa_context_state_t state) {
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}
inline bool settled(pa_stream_state_t state) {
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}

// Holds the main loop's lock for a scope.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop)
        : m_loop(loop) {
        pulse().pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pulse().pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

// A deadline on the main loop: wakes the waiting thread when it passes. Made and destroyed with
// the loop's lock held.
class Deadline {
public:
    Deadline(pa_threaded_mainloop* loop, int ms);
    ~Deadline();
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
    bool passed() const { return m_passed; }

private:
    static void onTime(pa_mainloop_api*, pa_time_event*, const timeval*, void* self);

    pa_threaded_mainloop* m_loop;
    pa_time_event* m_event = nullptr;
    bool m_passed = false;
};

} // namespace lessora::pulseclient

#include "audio/PulseClient.h"

namespace lessora::pulseclient {

const PulseLibrary& pulse() {
    static const PulseLibrary library;
    return library;
}

void signalLoop(void* loop) {
    pulse().pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

pa_threaded_mainloop* startMainLoop() {
    pa_threaded_mainloop* loop = pulse().isLoaded() ? pulse().pa_threaded_mainloop_new() : nullptr;
    if (loop && pulse().pa_threaded_mainloop_start(loop) < 0) {
        pulse().pa_threaded_mainloop_free(loop);
        loop = nullptr;
    }
    return loop;
}

void stopMainLoop(pa_threaded_mainloop* loop) {
    pulse().pa_threaded_mainloop_stop(loop);
    pulse().pa_threaded_mainloop_free(loop);
}

bool connectContext(pa_threaded_mainloop* loop, pa_context*& context, int timeoutMs) {
    const auto ready = [&context] {
        return context && pulse().pa_context_get_state(context) == PA_CONTEXT_READY;
    };
    if (ready())
        return true;
    dropContext(context);
    context = pulse().pa_context_new(pulse().pa_threaded_mainloop_get_api(loop), "Lessora");
    if (!context)
        return false;
    pulse().pa_context_set_state_callback(
        context, [](pa_context*, void* loop) { signalLoop(loop); }, loop);
    if (pulse().pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        dropContext(context);
        return false;
    }
    const Deadline deadline(loop, timeoutMs);
    while (!settled(pulse().pa_context_get_state(context)) && !deadline.passed())
        pulse().pa_threaded_mainloop_wait(loop);
    if (ready())
        return true;
    dropContext(context);
    return false;
}

void dropContext(pa_context*& context) {
    if (!context)
        return;
    pulse().pa_context_set_state_callback(context, nullptr, nullptr);
    pulse().pa_context_disconnect(context);
    pulse().pa_context_unref(context);
    context = nullptr;
}

Deadline::Deadline(pa_threaded_mainloop* loop, int ms)
    : m_loop(loop) {
    pa_mainloop_api* api = pulse().pa_threaded_mainloop_get_api(loop);
    timeval when{};
    pulse().pa_timeval_add(pulse().pa_gettimeofday(&when), pa_usec_t(ms) * PA_USEC_PER_MSEC);
    m_event = api->time_new(api, &when, &Deadline::onTime, this);
}

Deadline::~Deadline() {
    pa_mainloop_api* api = pulse().pa_threaded_mainloop_get_api(m_loop);
    api->time_free(m_event);
}

void Deadline::onTime(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
    auto* deadline = static_cast<Deadline*>(self);
    deadline->m_passed = true;
    signalLoop(deadline->m_loop);
}

} // namespace lessora::pulseclient

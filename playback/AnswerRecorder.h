#pragma once

#include <functional>

namespace lessora {

// What playback asks of the learner's recordings while "録音する" is on: a gap for the learner
// (an answer or a shadowing gap) is recorded from its start to its end, and with "自分の声を聞く"
// played back right after it. The window gives the real one; tests give a fake.
class AnswerRecorder {
public:
    virtual ~AnswerRecorder() = default;
    // A run begins, with the learner's gaps recorded or not: a problem met in it is told once.
    virtual void beginRun(bool recording) = 0;
    // The learner's gap for the row begins.
    virtual void startAnswer(int row) = 0;
    // The gap is over. `keep`: it ran to its end; else it was cut short (stop, pause, a skip)
    // and what it holds is dropped.
    virtual void endAnswer(bool keep) = 0;
    // Plays what the last gap recorded; `heard` is called once, on the caller's thread and never
    // from within this call, when it has been heard or stopped. False when there is nothing to
    // play (nothing recorded, recording failed): then `heard` is never called.
    virtual bool replayAnswer(std::function<void()> heard) = 0;
    virtual void stopReplay() = 0;
};

} // namespace lessora

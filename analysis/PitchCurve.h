#pragma once

#include "analysis/Sound.h"

#include <QtGlobal>

#include <vector>

namespace lessora {

// Pitch is shown in semitones above this frequency, so that voices high and low draw alike.
inline constexpr double kPitchReferenceHz = 100;
double semitonesOf(double hz);
double hzOf(double semitones);

// One voiced frame of a pitch curve: its centre in seconds from the start of the samples given,
// and its fundamental frequency.
struct PitchPoint {
    double seconds = 0;
    double semitones = 0;
};

// The frequencies of speech looked for: a frame whose pitch lies outside is taken for unvoiced.
inline constexpr double kLowestPitchHz = 50;
inline constexpr double kHighestPitchHz = 800;
// How sure the detector must be of a frame for it to count as voiced (aubio's confidence).
inline constexpr double kVoicedConfidence = 0.7;
// Frames quieter than this are silence whatever the detector says.
inline constexpr double kPitchSilenceDb = -50;
// The rate a sound is analysed at, when it is higher: a 40 ms window is 512 samples there.
inline constexpr int kPitchAnalysisRate = 12800;
// One frame every 10 ms.
inline constexpr double kPitchStepSeconds = 0.01;

// The pitch curve of mono samples, voiced frames only, by aubio's YIN ("yinfast": YIN's
// difference function computed through the FFT; its spectral variant YINFFT gives no confidence
// for a steady tone), smoothed by a median of 5 frames within each voiced stretch, stretches
// shorter than 30 ms left out. Throws AppError when aubio cannot be loaded.
std::vector<PitchPoint> pitchCurve(const float* samples, qint64 count, int sampleRate);

// What a learner compares of a curve: the range from its 5th to its 95th percentile, which
// a stray frame does not widen, and its median.
struct PitchFigures {
    int voicedFrames = 0;
    double lowSemitones = 0;  // 5th percentile
    double highSemitones = 0; // 95th percentile
    double medianHz = 0;
    double rangeSemitones() const { return highSemitones - lowSemitones; }
};
PitchFigures pitchFigures(const std::vector<PitchPoint>& curve);

// A voice as the compare window shows it: the speech's span, the pitch curve of the speech
// with its times counted from the speech's start (so that two voices line up at their first
// sound), and its figures.
struct VoiceAnalysis {
    Sound sound;
    SpeechSpan span;
    std::vector<PitchPoint> pitch;
    PitchFigures figures;
    // The speech's length, without the silence before and after it.
    double seconds() const {
        return sound.sampleRate > 0 ? double(span.frames()) / sound.sampleRate : 0;
    }
};
VoiceAnalysis analyseVoice(Sound sound);

} // namespace lessora

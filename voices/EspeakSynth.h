#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace lessora {

// Receives synthesised samples as they are made; returning false stops the synthesis.
using SampleHandler = std::function<bool(const qint16* samples, qint64 count)>;

// How an espeak-ng voice is set up for one utterance.
struct EspeakVoiceSettings {
    QByteArray name; // voice and variant, e.g. "ja+m7"
    int pitch = 50;  // 0..100
    int range = 50;  // 0..100
    int wordsPerMinute = 175;
};

// espeak-ng, synthesising into memory. The library is one global instance that crashes when
// two threads use it: this object must only ever be used on the synthesis thread.
class EspeakSynth {
public:
    EspeakSynth() = default;
    ~EspeakSynth();
    EspeakSynth(const EspeakSynth&) = delete;
    EspeakSynth& operator=(const EspeakSynth&) = delete;

    // Loads the library's data on first use; false when it is not installed.
    bool available();
    int sampleRate() const { return m_sampleRate; }
    // Loads the named voice and its language's dictionary without speaking. Throws SpeechError.
    void load(const QByteArray& voiceName);
    // Speaks the text at `speed` times the voice's rate. Throws SpeechError.
    void speak(const EspeakVoiceSettings& voice, double speed, const QString& text,
               const SampleHandler& handler);

private:
    bool m_tried = false;
    int m_sampleRate = 0;
};

} // namespace lessora

#pragma once

#include "voices/EspeakSynth.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

struct cst_voice_struct;
struct cst_audio_streaming_info_struct;

namespace lessora {

// Flite's English voices. Like espeak-ng it is used on the synthesis thread only.
class FliteSynth {
public:
    FliteSynth() = default;
    ~FliteSynth();
    FliteSynth(const FliteSynth&) = delete;
    FliteSynth& operator=(const FliteSynth&) = delete;

    static constexpr int kSampleRate = 16000;

    // Loads the named voice ("cmu_us_slt", ...) without speaking. Throws SpeechError.
    void load(const QByteArray& voiceName) { voice(voiceName); }
    // Speaks the text with the named voice at `speed` times its normal rate. Throws
    // SpeechError.
    void speak(const QByteArray& voiceName, double speed, const QString& text,
               const SampleHandler& handler);

    // Flite works on a whole text before it sends the first sound, so long texts are split
    // into sentences and spoken one after another.
    static QStringList sentences(const QString& text);

private:
    struct Voice {
        cst_voice_struct* voice = nullptr;
        cst_audio_streaming_info_struct* streaming = nullptr;
        float normalStretch = 1.0f;
    };
    Voice& voice(const QByteArray& name);

    bool m_initialised = false;
    QHash<QByteArray, Voice> m_voices;
};

} // namespace lessora

#include "voices/EspeakSynth.h"

#include "platform/LazyLibrary.h"
#include "voices/SpeechEngine.h"

#include <espeak-ng/speak_lib.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace lessora {

namespace {
constexpr int kChunkMs = 20; // small chunks: the first sound is ready almost at once

#define ESPEAK_FUNCTIONS(F)                                                                        \
    F(espeak_Initialize)                                                                           \
    F(espeak_Terminate)                                                                            \
    F(espeak_SetSynthCallback)                                                                     \
    F(espeak_SetVoiceByName)                                                                       \
    F(espeak_SetParameter)                                                                         \
    F(espeak_Synth)

// Loaded when the first eSpeak voice is used: it brings its own audio and sound-server
// libraries along, which the program does not otherwise need at start.
struct EspeakLibrary : LazyLibrary {
    ESPEAK_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    EspeakLibrary()
        : LazyLibrary("espeak-ng", 1) {
        ESPEAK_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

const EspeakLibrary& espeak() {
    static const EspeakLibrary library;
    return library;
}

struct SynthCall {
    const SampleHandler* handler;
    bool stopped = false;
};

int onSamples(short* samples, int count, espeak_EVENT* events) {
    auto* call = events ? static_cast<SynthCall*>(events->user_data) : nullptr;
    if (!call || call->stopped)
        return 1;
    if (samples && count > 0 && !(*call->handler)(samples, count)) {
        call->stopped = true;
        return 1; // cancels within this chunk
    }
    return 0;
}
} // namespace

EspeakSynth::~EspeakSynth() {
    if (m_sampleRate > 0)
        espeak().espeak_Terminate();
}

bool EspeakSynth::available() {
    if (!m_tried && espeak().isLoaded()) {
        m_tried = true;
        // DONT_EXIT: without it the library ends the process when its data is missing.
        const int rate = espeak().espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kChunkMs, nullptr,
                                                    espeakINITIALIZE_DONT_EXIT);
        if (rate > 0) {
            m_sampleRate = rate;
            espeak().espeak_SetSynthCallback(onSamples);
        }
    }
    return m_sampleRate > 0;
}

void EspeakSynth::load(const QByteArray& voiceName) {
    if (!espeak().isLoaded())
        throw SpeechError(QCoreApplication::translate("Voices", "eSpeak NG を読み込めません: %1")
                              .arg(espeak().problem()));
    if (!available())
        throw SpeechError(
            QCoreApplication::translate("Voices", "eSpeak NG の音声データが見つかりません"));
    if (espeak().espeak_SetVoiceByName(voiceName.constData()) != EE_OK)
        throw SpeechError(
            QCoreApplication::translate("Voices", "eSpeak NG の音声 %1 が見つかりません")
                .arg(QString::fromLatin1(voiceName)));
}

void EspeakSynth::speak(const EspeakVoiceSettings& voice, double speed, const QString& text,
                        const SampleHandler& handler) {
    load(voice.name);
    // The library keeps these per voice change, so they are set again for every utterance.
    const int rate = std::clamp(int(std::lround(voice.wordsPerMinute * speed)),
                                int(espeakRATE_MINIMUM), int(espeakRATE_MAXIMUM));
    espeak().espeak_SetParameter(espeakRATE, rate, 0);
    espeak().espeak_SetParameter(espeakPITCH, voice.pitch, 0);
    espeak().espeak_SetParameter(espeakRANGE, voice.range, 0);

    const QByteArray utf8 = text.toUtf8();
    SynthCall call{&handler};
    const espeak_ERROR result =
        espeak().espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                              espeakCHARS_UTF8, nullptr, &call);
    if (result != EE_OK && !call.stopped)
        throw SpeechError(
            QCoreApplication::translate("Voices", "eSpeak NG が読み上げに失敗しました (%1)")
                .arg(int(result)));
}

} // namespace lessora

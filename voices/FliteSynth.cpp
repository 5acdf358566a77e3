#include "voices/FliteSynth.h"

#include "voices/SpeechEngine.h"

#include <QRegularExpression>

#include <dlfcn.h>

extern "C" {
#include <QCoreApplication>
#include <flite/flite.h>
}

namespace lessora {

namespace {
struct SynthCall {
    const SampleHandler* handler;
    bool stopped = false;
};

int onSamples(const cst_wave* wave, int start, int size, int, cst_audio_streaming_info* info) {
    auto* call = static_cast<SynthCall*>(info->userdata);
    if (!call || call->stopped)
        return CST_AUDIO_STREAM_STOP;
    if (size > 0 && !(*call->handler)(wave->samples + start, size)) {
        call->stopped = true;
        return CST_AUDIO_STREAM_STOP;
    }
    return CST_AUDIO_STREAM_CONT;
}

bool isKnownVoice(const QByteArray& name) {
    return name == "cmu_us_slt" || name == "cmu_us_rms" || name == "cmu_us_awb" ||
           name == "cmu_us_kal16";
}

// Each voice is a library of its own whose data holds a few megabytes of pointers, relocated
// as it loads: it is loaded when the voice first speaks, not with the program. The library
// stays loaded, as the voice does.
cst_voice* registerVoice(const QByteArray& name) {
    if (!isKnownVoice(name))
        return nullptr;
    void* library = dlopen(("libflite_" + name + ".so.1").constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    using Register = cst_voice* (*)(const char* voxdir);
    const auto registerFunction =
        reinterpret_cast<Register>(dlsym(library, ("register_" + name).constData()));
    return registerFunction ? registerFunction(nullptr) : nullptr;
}
} // namespace

FliteSynth::~FliteSynth() {
    // The voices and their streaming settings stay for the process's life: flite offers
    // no safe way to unregister the compiled-in voices.
}

FliteSynth::Voice& FliteSynth::voice(const QByteArray& name) {
    if (!m_initialised) {
        flite_init();
        m_initialised = true;
    }
    auto it = m_voices.find(name);
    if (it != m_voices.end())
        return *it;
    cst_voice* registered = registerVoice(name);
    if (!registered)
        throw SpeechError(QCoreApplication::translate("Voices", "Flite の音声 %1 が見つかりません")
                              .arg(QString::fromLatin1(name)));
    Voice entry;
    entry.voice = registered;
    entry.normalStretch = flite_get_param_float(registered->features, "duration_stretch", 1.0f);
    entry.streaming = new_audio_streaming_info();
    entry.streaming->asc = onSamples;
    entry.streaming->min_buffsize = 1024;
    entry.streaming->userdata = nullptr;
    // The voice's features own the streaming settings from here on.
    flite_feat_set(registered->features, "streaming_info",
                   audio_streaming_info_val(entry.streaming));
    return *m_voices.insert(name, entry);
}

QStringList FliteSynth::sentences(const QString& text) {
    static const QRegularExpression boundary(QStringLiteral("(?<=[.!?;:])\\s+|\\s*[\\r\\n]+\\s*"));
    QStringList parts = text.split(boundary, Qt::SkipEmptyParts);
    parts.removeIf([](const QString& part) { return part.trimmed().isEmpty(); });
    return parts;
}

void FliteSynth::speak(const QByteArray& voiceName, double speed, const QString& text,
                       const SampleHandler& handler) {
    Voice& entry = voice(voiceName);
    flite_feat_set_float(entry.voice->features, "duration_stretch",
                         float(entry.normalStretch / speed));
    SynthCall call{&handler};
    entry.streaming->userdata = &call;
    for (const QString& sentence : sentences(text)) {
        const QByteArray utf8 = sentence.toUtf8();
        cst_utterance* utterance = flite_synth_text(utf8.constData(), entry.voice);
        if (utterance)
            delete_utterance(utterance);
        if (call.stopped)
            break;
    }
    entry.streaming->userdata = nullptr;
}

} // namespace lessora

#include "voices/SpeechEngine.h"

#include "settings/AsciiCase.h"
#include <QCoreApplication>

namespace lessora {

SynthesizedAudio SpeechVoice::synthesize(const QString&) {
    throw SpeechError(
        QCoreApplication::translate("Voices", "この音声エンジンは音声をファイルに書き出せません"));
}

PendingLengthPtr SpeechVoice::measure(const QString& text) {
    auto length = std::make_shared<PendingLength>();
    length->finish(synthesize(text).durationMs());
    return length;
}

bool PendingLength::isDone() const {
    std::lock_guard lock(m_mutex);
    return m_done;
}

qint64 PendingLength::ms() const {
    std::lock_guard lock(m_mutex);
    if (!m_error.isEmpty())
        throw SpeechError(m_error);
    return m_ms;
}

void PendingLength::finish(qint64 ms) {
    {
        std::lock_guard lock(m_mutex);
        if (m_done)
            return;
        m_ms = ms;
        m_done = true;
    }
    emit done();
}

void PendingLength::fail(const QString& error) {
    {
        std::lock_guard lock(m_mutex);
        if (m_done)
            return;
        m_error =
            error.isEmpty() ? QCoreApplication::translate("Voices", "音声を合成できません") : error;
        m_done = true;
    }
    emit done();
}

void PendingLength::whenDone(QObject* receiver, std::function<void()> handler) {
    // Connected before asking whether it is done, so that an end in between is not missed; the
    // flag keeps the handler from running twice when both paths fire. Both run on the
    // receiver's thread, so the flag needs no lock.
    auto called = std::make_shared<bool>(false);
    auto once = [called, handler = std::move(handler)] {
        if (*called)
            return;
        *called = true;
        handler();
    };
    connect(this, &PendingLength::done, receiver, once, Qt::QueuedConnection);
    if (isDone())
        QMetaObject::invokeMethod(receiver, once, Qt::QueuedConnection);
}

CategorisedVoices listVoiceCategories(SpeechEngine& engine, SpeechVoice& voice) {
    CategorisedVoices voices;
    voices.ordinary = voice.voices();
    const std::unique_ptr<VoiceCategory> category = engine.createVoiceCategory();
    category->setId(kOneCoreVoicesCategory, false);
    voices.oneCore = category->enumerateTokens();
    return voices;
}

VoiceTokenPtr findVoiceToken(const TokenCollection& voices, const QString& description) {
    for (int i = 0; i < voices.count(); ++i) {
        if (VoiceTokenPtr token = voices.item(i);
            equalsIgnoringAsciiCase(token->description(), description))
            return token;
    }
    return nullptr;
}

} // namespace lessora

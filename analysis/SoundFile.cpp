#include "analysis/SoundFile.h"

#include "analysis/Logging.h"
#include "platform/LazyLibrary.h"

#include <QCoreApplication>

#include <QDir>
#include <QFile>

#include <sndfile.h>

#include <memory>

namespace lessora {

namespace {

#define ANALYSIS_SNDFILE_FUNCTIONS(F)                                                              \
    F(sf_open)                                                                                     \
    F(sf_close)                                                                                    \
    F(sf_readf_float)                                                                              \
    F(sf_strerror)

// libsndfile, loaded when the first recording is read.
struct SoundFileLibrary : LazyLibrary {
    ANALYSIS_SNDFILE_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    SoundFileLibrary()
        : LazyLibrary("sndfile", 1) {
        ANALYSIS_SNDFILE_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

const SoundFileLibrary& library() {
    static const SoundFileLibrary loaded;
    if (!loaded.isLoaded())
        throw SoundFileError(
            QCoreApplication::translate(
                "SoundFile",
                "音声ファイルを読むためのライブラリ libsndfile を読み込めません。\r\n%1")
                .arg(loaded.problem()));
    return loaded;
}

} // namespace

Sound readSound(const QString& path) {
    const SoundFileLibrary& sf = library();
    const QString shown = QDir::toNativeSeparators(path);
    SF_INFO info{};
    const auto close = [&sf](SNDFILE* file) { sf.sf_close(file); };
    std::unique_ptr<SNDFILE, decltype(close)> file(
        sf.sf_open(QFile::encodeName(path).constData(), SFM_READ, &info), close);
    if (!file)
        throw SoundFileError(
            QCoreApplication::translate("SoundFile", "音声ファイルを開けません: %1\r\n%2")
                .arg(shown, QString::fromLocal8Bit(sf.sf_strerror(nullptr))));
    if (info.channels <= 0 || info.samplerate <= 0)
        throw SoundFileError(
            QCoreApplication::translate("SoundFile", "音声ファイルの形式が正しくありません: %1")
                .arg(shown));
    if (info.frames > sf_count_t(kLongestSoundSeconds) * info.samplerate)
        throw SoundFileError(
            QCoreApplication::translate("SoundFile", "音声ファイルが長すぎます(%1秒まで): %2")
                .arg(kLongestSoundSeconds)
                .arg(shown));
    Sound sound;
    sound.sampleRate = info.samplerate;
    sound.samples.reserve(size_t(std::max<sf_count_t>(info.frames, 0)));
    // A block at a time: a file may hold fewer frames than its header says.
    constexpr sf_count_t kBlock = 4096;
    std::vector<float> block(size_t(kBlock * info.channels));
    for (;;) {
        const sf_count_t read = sf.sf_readf_float(file.get(), block.data(), kBlock);
        if (read <= 0)
            break;
        if (sound.samples.size() + size_t(read) > size_t(kLongestSoundSeconds) * info.samplerate)
            throw SoundFileError(
                QCoreApplication::translate("SoundFile", "音声ファイルが長すぎます(%1秒まで): %2")
                    .arg(kLongestSoundSeconds)
                    .arg(shown));
        for (sf_count_t frame = 0; frame < read; ++frame) {
            float sum = 0;
            for (int channel = 0; channel < info.channels; ++channel)
                sum += block[size_t(frame * info.channels + channel)];
            sound.samples.push_back(sum / float(info.channels));
        }
    }
    qCDebug(lcAnalysis) << "read" << shown << sound.samples.size() << "frames at"
                        << sound.sampleRate << "Hz";
    return sound;
}

} // namespace lessora

#include "analysis/PitchCurve.h"
#include "analysis/SoundFile.h"
#include "support/Pitch.h"
#include "voices/EmbeddedSpeechEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace lessora;

Q_DECLARE_METATYPE(lessora::Sound)

namespace {

// A voice-like sound: a pulse train whose frequency glides exponentially from `fromHz` to
// `toHz`, through two formant resonances, so that its fundamental is weaker than its
// harmonics near the formants, as in a vowel. Its median frequency is known by construction:
// the geometric mean of the two ends.
Sound vowel(double fromHz, double toHz, double seconds, int rate) {
    Sound sound;
    sound.sampleRate = rate;
    const qint64 count = qint64(seconds * rate);
    std::vector<double> pulses(size_t(count), 0.0);
    double phase = 0;
    for (qint64 i = 0; i < count; ++i) {
        const double hz = fromHz * std::pow(toHz / fromHz, double(i) / double(count));
        phase += hz / rate;
        if (phase >= 1) {
            phase -= 1;
            pulses[size_t(i)] = 1;
        }
    }
    // Two resonators (formants at 700 and 1200 Hz), one after the other.
    std::vector<double> signal = pulses;
    for (const double formant : {700.0, 1200.0}) {
        const double r = std::exp(-std::numbers::pi * 100.0 / rate);
        const double c = 2 * r * std::cos(2 * std::numbers::pi * formant / rate);
        double y1 = 0, y2 = 0;
        for (double& x : signal) {
            const double y = x + c * y1 - r * r * y2;
            y2 = y1;
            y1 = y;
            x = y;
        }
    }
    double peak = 1e-9;
    for (const double x : signal)
        peak = std::max(peak, std::abs(x));
    for (const double x : signal)
        sound.samples.push_back(float(0.5 * x / peak));
    return sound;
}

Sound tone(double hz, double seconds, int rate, double amplitude = 0.5) {
    Sound sound;
    sound.sampleRate = rate;
    for (qint64 i = 0; i < qint64(seconds * rate); ++i)
        sound.samples.push_back(float(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
    return sound;
}

Sound silence(double seconds, int rate) {
    return {std::vector<float>(size_t(seconds * rate), 0.0f), rate};
}

Sound joined(std::initializer_list<Sound> parts) {
    Sound sound;
    for (const Sound& part : parts) {
        sound.sampleRate = part.sampleRate;
        sound.samples.insert(sound.samples.end(), part.samples.begin(), part.samples.end());
    }
    return sound;
}

void writeSound(const QString& path, const std::vector<float>& interleaved, int channels, int rate,
                int format) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    QVERIFY2(file, sf_strerror(nullptr));
    sf_writef_float(file, interleaved.data(), sf_count_t(interleaved.size() / size_t(channels)));
    sf_close(file);
}

} // namespace

class TestVoiceAnalysis : public QObject {
    Q_OBJECT
private slots:
    // The median pitch of a sound whose pitch is known, within 3 %, and nearly all of its
    // frames voiced.
    void medianPitchOfKnownSounds_data() {
        QTest::addColumn<Sound>("sound");
        QTest::addColumn<double>("expectedHz");
        QTest::newRow("tone 100 Hz, 16 kHz") << tone(100, 1, 16000) << 100.0;
        QTest::newRow("tone 220 Hz, 22.05 kHz") << tone(220, 1, 22050) << 220.0;
        QTest::newRow("tone 440 Hz, 48 kHz") << tone(440, 1, 48000) << 440.0;
        QTest::newRow("quiet tone 180 Hz (-30 dBFS)") << tone(180, 1, 48000, 0.03) << 180.0;
        QTest::newRow("vowel 120 Hz, 44.1 kHz") << vowel(120, 120, 1, 44100) << 120.0;
        QTest::newRow("vowel gliding 150 to 250 Hz")
            << vowel(150, 250, 1.5, 22050) << std::sqrt(150.0 * 250.0);
        QTest::newRow("low male vowel 85 Hz") << vowel(85, 85, 1, 16000) << 85.0;
    }
    void medianPitchOfKnownSounds() {
        QFETCH(Sound, sound);
        QFETCH(double, expectedHz);
        const std::vector<PitchPoint> curve =
            pitchCurve(sound.samples.data(), qint64(sound.samples.size()), sound.sampleRate);
        const PitchFigures figures = pitchFigures(curve);
        QVERIFY2(std::abs(figures.medianHz / expectedHz - 1) < 0.03,
                 qPrintable(QStringLiteral("median %1 Hz").arg(figures.medianHz)));
        // One frame per 10 ms, the first half window excepted.
        const int frames = int(sound.seconds() / kPitchStepSeconds);
        QVERIFY2(
            curve.size() > size_t(frames * 9 / 10),
            qPrintable(QStringLiteral("%1 of %2 frames voiced").arg(curve.size()).arg(frames)));
        QVERIFY(std::is_sorted(curve.begin(), curve.end(),
                               [](auto& a, auto& b) { return a.seconds < b.seconds; }));
        QVERIFY(curve.front().seconds >= 0 && curve.back().seconds <= sound.seconds());
    }

    // Silence, hiss and noise have no pitch.
    void soundsWithoutPitch_data() {
        QTest::addColumn<Sound>("sound");
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0, 0.1f);
        Sound white = silence(1, 22050);
        for (float& sample : white.samples)
            sample = noise(random);
        Sound hiss = silence(1, 22050);
        for (float& sample : hiss.samples)
            sample = noise(random) * 0.01f; // -60 dBFS: under the silence threshold
        QTest::newRow("silence") << silence(1, 22050);
        QTest::newRow("white noise") << white;
        QTest::newRow("hiss") << hiss;
    }
    void soundsWithoutPitch() {
        QFETCH(Sound, sound);
        const std::vector<PitchPoint> curve =
            pitchCurve(sound.samples.data(), qint64(sound.samples.size()), sound.sampleRate);
        QVERIFY2(curve.size() < 10, qPrintable(QString::number(curve.size())));
    }

    // A synthesised voice: aubio's median beside the tests' own pitch measurement (a
    // time-domain YIN of 30 ms frames every 5 ms, tests/support/Pitch.h), within 3 %, after a
    // trip through a FLAC file.
    void medianPitchOfSynthesisedVoice_data() {
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("text");
        QTest::newRow("eSpeak, English")
            << QStringLiteral("eSpeak Alex - English (United States)")
            << QStringLiteral("Where is the station? It is over there, next to the bank.");
        QTest::newRow("eSpeak, Japanese") << QStringLiteral("eSpeak Kenta - Japanese (Japan)")
                                          << QStringLiteral("エキワドコデスカ。アソコデス。");
        QTest::newRow("Flite") << QStringLiteral("Flite Slt - English (United States)")
                               << QStringLiteral("Where is the station? It is over there.");
    }
    void medianPitchOfSynthesisedVoice() {
        QFETCH(QString, voice);
        QFETCH(QString, text);
        SynthesizedAudio audio;
        try {
            audio = synthesizeToMemory(voice, text, 0);
        } catch (const SpeechError& error) {
            QSKIP(qPrintable(error.message()));
        }
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("voice.flac"));
        const Sound synthesised =
            soundFromPcm(audio.samples.constData(), audio.samples.size(), audio.sampleRate);
        writeSound(path, synthesised.samples, 1, audio.sampleRate,
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
        const VoiceAnalysis analysed = analyseVoice(readSound(path));
        const double independent = test::medianF0(audio.samples, audio.sampleRate, 0,
                                                  audio.samples.size() / double(audio.sampleRate));
        QVERIFY(independent > 0);
        qInfo("median pitch: aubio %.1f Hz, the tests' YIN %.1f Hz", analysed.figures.medianHz,
              independent);
        QVERIFY2(std::abs(analysed.figures.medianHz / independent - 1) < 0.03,
                 qPrintable(QStringLiteral("aubio %1 Hz, YIN %2 Hz")
                                .arg(analysed.figures.medianHz)
                                .arg(independent)));
        QVERIFY(analysed.figures.rangeSemitones() > 1); // speech, not a tone
    }

    // Files of any rate and channels are read as mono at their rate; unreadable ones say why.
    void readsSoundFiles_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("format");
        QTest::newRow("FLAC mono 16 kHz") << 1 << 16000 << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
        QTest::newRow("FLAC stereo 48 kHz") << 2 << 48000 << (SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
        QTest::newRow("WAV stereo 44.1 kHz") << 2 << 44100 << (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        QTest::newRow("WAV float mono 22.05 kHz")
            << 1 << 22050 << (SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    }
    void readsSoundFiles() {
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, format);
        // Left a 200 Hz tone, right silent in stereo: mixed down to half the tone.
        const Sound left = tone(200, 0.5, rate);
        std::vector<float> interleaved;
        for (const float sample : left.samples) {
            interleaved.push_back(sample);
            if (channels == 2)
                interleaved.push_back(0);
        }
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("ä sound"));
        writeSound(path, interleaved, channels, rate, format);
        const Sound sound = readSound(path);
        QCOMPARE(sound.sampleRate, rate);
        QCOMPARE(sound.samples.size(), left.samples.size());
        const float expectedPeak = channels == 2 ? 0.25f : 0.5f;
        const float peak = *std::max_element(sound.samples.begin(), sound.samples.end());
        QVERIFY2(std::abs(peak - expectedPeak) < 0.01f, qPrintable(QString::number(peak)));
    }
    void unreadableFilesSayWhy() {
        QTemporaryDir folder;
        const QString text = folder.filePath(QStringLiteral("notes.flac"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a sound at all");
        file.close();
        for (const QString& path : {text, folder.filePath(QStringLiteral("missing.flac"))}) {
            try {
                readSound(path);
                QFAIL("read an unreadable file");
            } catch (const SoundFileError& error) {
                QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)),
                         qPrintable(error.message()));
            }
        }
    }

    // The speech's span leaves out the silence and hiss around it; the curve's times count
    // from its start, so that two voices line up at their first sound.
    void speechSpanLeavesOutSilence() {
        std::mt19937 random(3);
        std::normal_distribution<float> noise(0, 0.002f); // a microphone's hiss, -54 dBFS
        Sound sound =
            joined({silence(0.3, 48000), vowel(140, 140, 1.0, 48000), silence(0.4, 48000)});
        for (float& sample : sound.samples)
            sample += noise(random);
        const VoiceAnalysis voice = analyseVoice(sound);
        QVERIFY2(std::abs(voice.span.start / 48000.0 - 0.3) <= 0.011,
                 qPrintable(QString::number(voice.span.start / 48000.0)));
        QVERIFY2(std::abs(voice.seconds() - 1.0) <= 0.021,
                 qPrintable(QString::number(voice.seconds())));
        QVERIFY(!voice.pitch.empty());
        QVERIFY2(voice.pitch.front().seconds < 0.05,
                 qPrintable(QString::number(voice.pitch.front().seconds)));
        QVERIFY(voice.pitch.back().seconds < 1.0);

        const VoiceAnalysis quiet = analyseVoice(silence(1, 16000));
        QCOMPARE(quiet.span.frames(), 0);
        QVERIFY(quiet.pitch.empty());
        QCOMPARE(quiet.figures.voicedFrames, 0);
        QCOMPARE(analyseVoice(Sound{}).seconds(), 0.0);
    }

    // The range runs from the 5th to the 95th percentile, so one stray frame does not widen it.
    void figuresOfACurve() {
        std::vector<PitchPoint> curve;
        for (int i = 0; i <= 100; ++i)
            curve.push_back({i * 0.01, double(i) / 10}); // 0 to 10 semitones, evenly
        curve.push_back({1.01, 40});                     // an octave error
        const PitchFigures figures = pitchFigures(curve);
        QCOMPARE(figures.voicedFrames, 102);
        QVERIFY(std::abs(figures.lowSemitones - 0.505) < 0.02);
        QVERIFY(std::abs(figures.highSemitones - 9.6) < 0.02);
        QVERIFY(std::abs(figures.medianHz - hzOf(5.05)) < 0.01);
        QCOMPARE(pitchFigures({}).voicedFrames, 0);
        QCOMPARE(semitonesOf(200), 12.0);
        QCOMPARE(hzOf(-12), 50.0);
    }

    // Each column holds the lowest and highest sample of its share.
    void envelopeColumns() {
        const std::vector<float> samples{0.1f, -0.5f, 0.3f, 0.9f, -0.2f, 0.0f};
        const std::vector<EnvelopeColumn> three = envelope(samples.data(), 6, 3);
        QCOMPARE(three.size(), size_t(3));
        QCOMPARE(three[0].low, -0.5f);
        QCOMPARE(three[0].high, 0.1f);
        QCOMPARE(three[1].low, 0.3f);
        QCOMPARE(three[1].high, 0.9f);
        QCOMPARE(three[2].low, -0.2f);
        // More columns than samples: each column shows its nearest sample.
        const std::vector<EnvelopeColumn> many = envelope(samples.data(), 6, 12);
        QCOMPARE(many.size(), size_t(12));
        QCOMPARE(many[7].high, 0.9f);
        QVERIFY(envelope(samples.data(), 0, 5).empty());
    }
};

QTEST_GUILESS_MAIN(TestVoiceAnalysis)
#include "tst_voiceanalysis.moc"

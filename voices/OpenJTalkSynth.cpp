#include "voices/OpenJTalkSynth.h"

#include "audio/TimeStretch.h"
#include "japanese/OpenJTalkFiles.h"
#include "voices/ProcessRunner.h"
#include "voices/SpeechEngine.h"

#include <QFileInfo>
#include <QtEndian>

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace lessora {

namespace {

std::mutex g_installationMutex;
OpenJTalkInstallation g_installation = OpenJTalkInstallation::debian();

// Silence between the sentences of one line, and what is kept of a run's own silence.
constexpr int kSentencePauseMs = 250;
constexpr int kClausePauseMs = 120;
constexpr int kLeadInMs = 10;
constexpr int kTailMs = 40;
constexpr int kSilenceLevel = 200; // about -44 dBFS: the HTS voice's pauses are quieter

bool endsSentence(QChar c) {
    return c == u'。' || c == u'！' || c == u'？' || c == u'!' || c == u'?';
}

bool endsClause(QChar c) {
    return c == u'、' || c == u',' || c == u'，';
}

// The part between the run's leading and trailing silence, with a little of each kept.
std::pair<size_t, size_t> voicedSpan(const std::vector<qint16>& samples, int rate) {
    auto loud = [](qint16 sample) { return std::abs(int(sample)) > kSilenceLevel; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end())
        return {0, 0};
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    const size_t begin =
        size_t(std::max<qsizetype>(0, (first - samples.begin()) - rate * kLeadInMs / 1000));
    const size_t end =
        std::min(samples.size(), size_t(last - samples.begin()) + size_t(rate * kTailMs / 1000));
    return {begin, end};
}

QStringList baseArguments(const OpenJTalkInstallation& installation) {
    return {QStringLiteral("-x"), installation.dictionary, QStringLiteral("-m"),
            installation.voice};
}

QByteArray runInput(const QString& chunk) {
    // One line: Open JTalk reads no further.
    QString line = chunk;
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    return line.toUtf8() + '\n';
}

bool hasSomethingToSay(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

} // namespace

std::vector<qint16> wavSamples(const QByteArray& wav, int* sampleRate) {
    std::vector<qint16> samples;
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE")
        return samples;
    qsizetype at = 12;
    int channels = 0;
    int bits = 0;
    while (at + 8 <= wav.size()) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(wav.constData() + at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && body + 16 <= wav.size()) {
            channels = qFromLittleEndian<quint16>(wav.constData() + body + 2);
            *sampleRate = int(qFromLittleEndian<quint32>(wav.constData() + body + 4));
            bits = qFromLittleEndian<quint16>(wav.constData() + body + 14);
        } else if (id == "data") {
            if (channels != 1 || bits != 16)
                return samples;
            const qsizetype end = std::min<qsizetype>(wav.size(), body + qsizetype(size));
            samples.resize(size_t((end - body) / 2));
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = qFromLittleEndian<qint16>(wav.constData() + body + 2 * qsizetype(i));
            return samples;
        }
        at = body + qsizetype(size) + (size & 1);
    }
    return samples;
}

OpenJTalkInstallation OpenJTalkInstallation::debian() {
    return {kOpenJTalkProgram, kOpenJTalkDictionary, kOpenJTalkVoice,
            std::chrono::milliseconds(5000)};
}

bool OpenJTalkInstallation::hasProgramAndDictionary() const {
    const QFileInfo program(this->program);
    return program.isFile() && program.isExecutable() &&
           QFileInfo(dictionary + QStringLiteral("/sys.dic")).isFile();
}

bool OpenJTalkInstallation::isInstalled() const {
    return hasProgramAndDictionary() && QFileInfo(voice).isFile();
}

bool OpenJTalkInstallation::lacksVoice() const {
    return hasProgramAndDictionary() && !QFileInfo(voice).isFile();
}

OpenJTalkSynth::OpenJTalkSynth() = default;
OpenJTalkSynth::~OpenJTalkSynth() = default; // kills the runs waiting ahead

std::unique_ptr<StartedProcess> OpenJTalkSynth::takeRun(const QString& program,
                                                        const QStringList& arguments) {
    std::unique_ptr<StartedProcess> run;
    const auto waiting = std::find_if(m_standbys.begin(), m_standbys.end(), [&](const Standby& s) {
        return s.program == program && s.arguments == arguments;
    });
    if (waiting != m_standbys.end()) {
        if (waiting->process->isRunning())
            run = std::move(waiting->process);
        m_standbys.erase(waiting);
    }
    if (!run)
        run = std::make_unique<StartedProcess>(program, arguments, false);
    addStandby(program, arguments);
    return run;
}

void OpenJTalkSynth::addStandby(const QString& program, const QStringList& arguments) {
    if (m_standbys.size() >= kStandbys)
        m_standbys.erase(m_standbys.begin());
    m_standbys.push_back(
        {program, arguments, std::make_unique<StartedProcess>(program, arguments, false)});
}

void OpenJTalkSynth::startAhead(const OpenJTalkVoiceSettings& voice) {
    const OpenJTalkInstallation setup = installation();
    if (!setup.isInstalled())
        return;
    const QStringList arguments = OpenJTalkSynth::arguments(setup, voice);
    const bool waiting = std::any_of(m_standbys.begin(), m_standbys.end(), [&](const Standby& s) {
        return s.program == setup.program && s.arguments == arguments && s.process->isRunning();
    });
    if (!waiting)
        addStandby(setup.program, arguments);
}

OpenJTalkInstallation OpenJTalkSynth::installation() {
    std::lock_guard lock(g_installationMutex);
    return g_installation;
}

void OpenJTalkSynth::setInstallation(const OpenJTalkInstallation& installation) {
    std::lock_guard lock(g_installationMutex);
    g_installation = installation;
}

QStringList OpenJTalkSynth::chunks(const QString& text) {
    QStringList result;
    QString current;
    auto flush = [&] {
        if (hasSomethingToSay(current))
            result << current;
        else if (!result.isEmpty())
            result.last() += current; // a closing bracket or stray mark stays with its sentence
        current.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        current += c;
        const bool sentenceEnd =
            endsSentence(c) && (i + 1 >= text.size() || !endsSentence(text[i + 1]));
        // The first clause of a line goes alone, so that speech starts after a short run;
        // later ones go with their sentence, whose melody they share.
        const qsizetype clauseLength = result.isEmpty() ? kFirstClause : kMaxChunk / 2;
        if (sentenceEnd || (current.size() >= clauseLength && endsClause(c)) ||
            current.size() >= kMaxChunk)
            flush();
    }
    flush();
    return result;
}

QStringList OpenJTalkSynth::arguments(const OpenJTalkInstallation& installation,
                                      const OpenJTalkVoiceSettings& voice) {
    return baseArguments(installation) << QStringLiteral("-ow") << QStringLiteral("/dev/stdout")
                                       << QStringLiteral("-fm") << QString::number(voice.halfTones)
                                       << QStringLiteral("-a") << QString::number(voice.allPass)
                                       << QStringLiteral("-jf") << QString::number(voice.f0Weight);
}

void OpenJTalkSynth::speak(const OpenJTalkVoiceSettings& voice, double speed, const QString& text,
                           const SampleHandler& handler) {
    const OpenJTalkInstallation setup = installation();
    if (!setup.isInstalled())
        throw SpeechError(
            QCoreApplication::translate("Voices", "Open JTalk の音声がインストールされていません"));
    // Its own speed option (-r) mostly shortens the pauses: the speech is stretched here.
    const QStringList arguments = OpenJTalkSynth::arguments(setup, voice);
    const QStringList pieces = chunks(text);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const std::unique_ptr<StartedProcess> run = takeRun(setup.program, arguments);
        const ProcessResult result = run->finish(runInput(pieces[i]), setup.timeout,
                                                 [&handler] { return handler(nullptr, 0); });
        if (result.status == ProcessResult::Status::Cancelled)
            return;
        if (result.status != ProcessResult::Status::Finished)
            throw SpeechError(result.describe(setup.program));
        int rate = 0;
        const std::vector<qint16> samples = wavSamples(result.output, &rate);
        if (rate != kSampleRate)
            throw SpeechError(
                QCoreApplication::translate("Voices", "open_jtalk の出力を読めません"));
        const auto [begin, end] = voicedSpan(samples, rate);
        const std::vector<qint16> speech =
            timeStretched(std::vector<qint16>(samples.begin() + qsizetype(begin),
                                              samples.begin() + qsizetype(end)),
                          rate, speed);
        if (!speech.empty() && !handler(speech.data(), qint64(speech.size())))
            return;
        if (i + 1 < pieces.size()) {
            const int pauseMs = endsSentence(pieces[i].back()) ? kSentencePauseMs
                                : endsClause(pieces[i].back()) ? kClausePauseMs
                                                               : 0;
            const std::vector<qint16> pause(size_t(rate * pauseMs / 1000 / speed), 0);
            if (!pause.empty() && !handler(pause.data(), qint64(pause.size())))
                return;
        }
    }
}

QString OpenJTalkSynth::analyse(const QString& text) {
    const OpenJTalkInstallation setup = installation();
    if (!setup.isInstalled())
        throw SpeechError(
            QCoreApplication::translate("Voices", "Open JTalk の音声がインストールされていません"));
    QStringList arguments = baseArguments(setup);
    arguments << QStringLiteral("-ot") << QStringLiteral("/dev/fd/3");
    QString reading;
    for (const QString& piece : chunks(text)) {
        const ProcessResult result =
            runProcess({setup.program, arguments, runInput(piece), true, setup.timeout, {}});
        if (result.status != ProcessResult::Status::Finished)
            throw SpeechError(result.describe(setup.program));
        // "[Text analysis result]": one word a line, its pronunciation in the tenth field.
        const QString trace = QString::fromUtf8(result.extraOutput);
        const qsizetype start = trace.indexOf(QStringLiteral("[Text analysis result]\n"));
        if (start < 0)
            continue;
        const qsizetype end = trace.indexOf(QStringLiteral("\n\n"), start);
        const QString words = trace.mid(start, end < 0 ? -1 : end - start);
        for (const QString& line : words.split(u'\n').mid(1)) {
            const QStringList fields = line.split(u',');
            if (fields.size() < 10)
                continue;
            if (fields[1] == u"記号") {
                // Punctuation as the other readings show it; other symbols are not said.
                const QString mark = fields[0];
                if (mark == u"。" || mark == u"、" || mark == u"？" || mark == u"！")
                    reading += mark;
                continue;
            }
            reading += QString(fields[9]).remove(u'’');
        }
    }
    return reading;
}

QList<AccentPhrase> OpenJTalkSynth::analyseAccent(const QString& text) {
    const OpenJTalkInstallation setup = installation();
    if (!setup.isInstalled())
        throw SpeechError(
            QCoreApplication::translate("Voices", "Open JTalk の音声がインストールされていません"));
    const QStringList arguments = baseArguments(setup)
                                  << QStringLiteral("-ot") << QStringLiteral("/dev/fd/3");
    QList<AccentPhrase> phrases;
    // The same pieces as the voice is given, so that each has the melody it is spoken with.
    for (const QString& piece : chunks(text)) {
        const ProcessResult result =
            runProcess({setup.program, arguments, runInput(piece), true, setup.timeout, {}});
        if (result.status != ProcessResult::Status::Finished)
            throw SpeechError(result.describe(setup.program));
        phrases << accentPhrasesFromTrace(QString::fromUtf8(result.extraOutput));
    }
    return phrases;
}

} // namespace lessora

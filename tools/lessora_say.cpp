// lessora-say: the program's voices from the command line.
//   lessora-say --list                                   the voices, one a line
//   lessora-say [--voice DESC] --reading TEXT | -        the katakana a Japanese voice says
//   lessora-say [--voice DESC] --accent TEXT | -         the same with its pitch accent
//   lessora-say --voice DESC [--rate N] [--wav FILE] TEXT  speak TEXT, or write it to a WAV file
//   lessora-say --lesson FILE.json --out FILE [options]   write a lesson as one audio file
// Exit codes: 0 done, 1 error, 2 wrong usage.

#include "export/LessonExport.h"
#include "files/FileAccess.h"
#include "files/FileNames.h"
#include "files/LessonFile.h"
#include "japanese/JapaneseReading.h"
#include "japanese/OpenJTalkFiles.h"
#include "lesson/LessonTable.h"
#include "platform/AppError.h"
#include "platform/InterfaceLanguage.h"
#include "platform/Locale.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "settings/SettingsLocation.h"
#include "settings/Speakers.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"
#include "voices/SpeechBackend.h"
#include "voices/SpeechEngine.h"
#include "voices/SpokenAccent.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDataStream>
#include <QSaveFile>
#include <QTextStream>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace lessora;

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage:\n"
    "  lessora-say --list                  the voices: description, language, category\n"
    "  lessora-say --reading TEXT          the katakana the default Japanese voice says for\n"
    "                                      TEXT; TEXT - reads standard input, one line per line\n"
    "  lessora-say --voice DESC --reading TEXT\n"
    "                                      the katakana the voice DESC says for TEXT\n"
    "  lessora-say [--voice DESC] --accent TEXT\n"
    "                                      the same reading with its pitch accent: accent\n"
    "                                      phrases apart by a space, ＼ after the mora\n"
    "                                      where the pitch falls (Open JTalk voices only);\n"
    "                                      TEXT - reads standard input, one line per line\n"
    "  lessora-say --voice DESC [--rate N] [--wav FILE] TEXT\n"
    "                                      speaks TEXT with the voice DESC at speed N\n"
    "                                      (-10 to 10, 0 normal), or writes it to FILE\n"
    "  lessora-say --lesson FILE.json --out FILE [--passes N] [--pause SECONDS]\n"
    "              [--mute SPEAKER] [--repeat N] [--english-rate N] [--japanese-rate N]\n"
    "              [--clips DIR]\n"
    "                                      writes the lesson as one audio file (.mp3, .opus,\n"
    "                                      .flac or .wav) with the voices of the settings\n"
    "                                      file; each option replaces the lesson's own\n"
    "                                      setting: passes 1 to 10, pause after each line\n"
    "                                      0 to 10, the muted speaker's lines left as\n"
    "                                      answer gaps, each line 1 to 5 times, rates -10\n"
    "                                      to 10; --clips also writes one file per line\n"
    "                                      and index.tsv into DIR\n"
    "  --lang ja|en                        the language of the messages from the voices,\n"
    "                                      the lesson and the export: Japanese or English\n"
    "                                      (without it, English unless LANGUAGE, LC_ALL,\n"
    "                                      LC_MESSAGES or LANG asks for Japanese or C)\n"
    "Exit codes: 0 done, 1 error, 2 wrong usage.\n";

// A failure reported to the user with exit code 1.
class ToolError : public AppError {
public:
    using AppError::AppError;
};

// A wrong command line, reported with the usage and exit code 2.
class UsageError : public AppError {
public:
    using AppError::AppError;
};

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

struct ListedVoice {
    VoiceTokenPtr token;
    QString category; // "SAPI" or "OneCore", as the settings file names the kinds
};

QList<ListedVoice> allVoices(SpeechEngine& engine) {
    const CategorisedVoices categories = listVoiceCategories(engine, *engine.createVoice());
    QList<ListedVoice> voices;
    for (int i = 0; i < categories.ordinary.count(); ++i)
        voices.append({categories.ordinary.item(i), kVoiceTypeSapi});
    for (int i = 0; i < categories.oneCore.count(); ++i)
        voices.append({categories.oneCore.item(i), kVoiceTypeOneCore});
    return voices;
}

int listVoices() {
    const SpeechBackend backend = createSpeechBackend();
    const EngineOperation operation(*backend.engine);
    for (const ListedVoice& voice : allVoices(*backend.engine))
        out() << voice.token->description() << '\t'
              << voice.token->attribute(QStringLiteral("Language")) << '\t' << voice.category
              << '\n';
    return kExitOk;
}

[[noreturn]] void unknownVoice(const QString& description) {
    throw ToolError(QStringLiteral("unknown voice \"%1\" (lessora-say --list shows the voices)")
                        .arg(description));
}

// Reads standard input line by line and writes what `read` makes of each line, in order. Lines
// that are waiting already are read in batches on two threads, and the output is written and
// flushed once a batch is done: a long file is not slowed down by a write per line, while a line
// typed or piped in one at a time is answered at once.
template <typename Read> void readLines(Read read) {
    constexpr size_t kBatch = 4096;
    std::ios::sync_with_stdio(false);
    std::vector<std::string> batch;
    // Each thread writes the readings of its lines into an output of its own, kept from batch to
    // batch so that its memory is not asked for and touched anew each time.
    std::string first;
    std::string second;
    auto readRange = [&](size_t from, size_t to, std::string& output) {
        for (size_t i = from; i < to; ++i) {
            const QByteArray reading =
                read(QString::fromUtf8(batch[i].data(), qsizetype(batch[i].size()))).toUtf8();
            output.append(reading.constData(), size_t(reading.size())) += '\n';
        }
    };
    // One second thread, kept until the input ends: a thread makes its own lattice, decoded
    // dictionary entries and compiled patterns as it reads, which a thread started anew for
    // each batch would make again.
    QThreadPool helper;
    helper.setMaxThreadCount(1);
    helper.setExpiryTimeout(-1);
    auto flush = [&] {
        if (batch.size() >= 64 && std::thread::hardware_concurrency() > 1) {
            QFuture<void> secondHalf = QtConcurrent::run(
                &helper, [&] { readRange(batch.size() / 2, batch.size(), second); });
            readRange(0, batch.size() / 2, first);
            secondHalf.waitForFinished(); // the thread stays for the next batch
        } else {
            readRange(0, batch.size(), first);
        }
        std::fwrite(first.data(), 1, first.size(), stdout);
        std::fwrite(second.data(), 1, second.size(), stdout);
        std::fflush(stdout);
        first.clear();
        second.clear();
        batch.clear();
    };
    std::string line;
    while (std::getline(std::cin, line)) {
        batch.push_back(std::move(line));
        if (batch.size() >= kBatch || std::cin.rdbuf()->in_avail() <= 0)
            flush();
    }
    flush();
}

// The reading of the default Japanese voice (the first preferred), or of the voice given.
int printReading(const QString& text, const QString& voiceDescription) {
    const EmbeddedVoice* voice = nullptr;
    if (!voiceDescription.isEmpty()) {
        voice = findEmbeddedVoice(voiceDescription);
        if (!voice || !isInstalled(*voice))
            unknownVoice(voiceDescription);
    }
    const EmbeddedVoice& japanese = voice ? *voice : defaultVoiceFor(QStringLiteral("あ"));
    // The Open JTalk voices read with their own dictionary; the others need MeCab's.
    if (const QString problem = japanese.backend->readingProblem(); !problem.isEmpty())
        err() << "lessora-say: warning: " << problem << "; kanji are left unread\n" << Qt::flush;
    auto read = [&](const QString& line) {
        return voice ? spokenReading(japanese, line) : readingOf(japanese, line);
    };
    out().flush();
    if (text != u"-") {
        out() << read(text) << '\n';
        return kExitOk;
    }
    readLines(read);
    return kExitOk;
}

// The accent of the default Japanese voice or of the voice given, in its text form. Only the
// Open JTalk voices have one; a line that cannot be analysed leaves an empty line, so that the
// output stays line for line, and makes the exit code 1.
int printAccent(const QString& text, const QString& voiceDescription) {
    const EmbeddedVoice* voice = nullptr;
    if (!voiceDescription.isEmpty()) {
        voice = findEmbeddedVoice(voiceDescription);
        if (!voice || !isInstalled(*voice))
            unknownVoice(voiceDescription);
        if (!hasAccentAnalysis(*voice))
            throw ToolError(QStringLiteral("the voice \"%1\" has no accent analysis (only the "
                                           "Open JTalk voices have one)")
                                .arg(voice->description));
    } else if (!hasAccentAnalysis(defaultVoiceFor(QStringLiteral("あ")))) {
        throw ToolError(QStringLiteral("no accent analysis: the Open JTalk voices are not "
                                       "installed (open-jtalk, open-jtalk-mecab-naist-jdic, %1)")
                            .arg(kOpenJTalkVoicePackage));
    }
    std::mutex failureMutex;
    QString failure;
    auto read = [&](const QString& line) {
        try {
            return accentText(spokenAccent(line));
        } catch (const SpeechError& error) {
            const std::lock_guard lock(failureMutex);
            if (failure.isEmpty())
                failure = error.message();
            return QString();
        }
    };
    out().flush();
    if (text != u"-")
        out() << read(text) << '\n';
    else
        readLines(read);
    if (!failure.isEmpty())
        throw ToolError(failure);
    return kExitOk;
}

// 16-bit mono PCM in a RIFF WAVE file.
QByteArray wavBytes(const SynthesizedAudio& audio) {
    const auto dataBytes = quint32(audio.samples.size() * qsizetype(sizeof(qint16)));
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.writeRawData("RIFF", 4);
    stream << quint32(36 + dataBytes);
    stream.writeRawData("WAVEfmt ", 8);
    stream << quint32(16) << quint16(1) << quint16(1) << quint32(audio.sampleRate)
           << quint32(audio.sampleRate * 2) << quint16(2) << quint16(16);
    stream.writeRawData("data", 4);
    stream << dataBytes;
    for (const qint16 sample : audio.samples)
        stream << sample;
    return bytes;
}

int writeWav(const QString& description, int rate, const QString& path, const QString& text) {
    const EmbeddedVoice* voice = findEmbeddedVoice(description);
    if (!voice)
        unknownVoice(description);
    // Opened first, so that an unwritable place is told before the work; written whole or not
    // at all.
    QSaveFile file(path);
    // Unbuffered: a buffered tail that fails to be written would not be reported by commit().
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw ToolError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    const SynthesizedAudio audio = synthesizeToMemory(voice->description, text, rate);
    if (file.write(wavBytes(audio)) < 0 || !file.commit())
        throw ToolError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return kExitOk;
}

int speak(const QString& description, int rate, const QString& text) {
    // Only the voice that speaks is loaded, while the sound server is being reached.
    EmbeddedSpeechEngine::warmUp({description});
    const SpeechBackend backend = createSpeechBackend();
    if (const QString note = backend.engine->availabilityNote(); !note.isEmpty())
        err() << "lessora-say: " << note << '\n' << Qt::flush;
    const EngineOperation operation(*backend.engine);
    for (const ListedVoice& voice : allVoices(*backend.engine)) {
        if (!equalsIgnoringAsciiCase(voice.token->description(), description))
            continue;
        const auto spVoice = backend.engine->createVoice();
        spVoice->setVoice(voice.token);
        spVoice->setRate(rate);
        spVoice->speak(text, kSpeakSync);
        return kExitOk;
    }
    unknownVoice(description);
}

// A whole number from the option's value, within its limits; a usage error otherwise.
int wholeNumberOption(const QCommandLineParser& parser, const QCommandLineOption& option, int low,
                      int high) {
    bool isNumber = false;
    const int value = parser.value(option).toInt(&isNumber);
    if (!isNumber || value < low || value > high)
        throw UsageError(QStringLiteral("--%1 needs a whole number from %2 to %3")
                             .arg(option.names().first())
                             .arg(low)
                             .arg(high));
    return value;
}

StoredLessonSettings readLesson(const QString& path, LessonTable& table) {
    const LessonFileContent content = readLessonFile(readWholeFile(path));
    switch (content.status) {
    case LessonFileStatus::Loaded:
        table.replaceRows(content.rows, content.numbers);
        return content.settings;
    case LessonFileStatus::NoRows:
        throw ToolError(QStringLiteral("%1: %2").arg(path, lessonFileMessages::noRows()));
    case LessonFileStatus::NotUtf8:
        throw ToolError(QStringLiteral("%1: %2").arg(path, lessonFileMessages::notUtf8()));
    case LessonFileStatus::NotJson:
        throw ToolError(QStringLiteral("%1: %2").arg(path, lessonFileMessages::notJson()));
    case LessonFileStatus::NotObject:
        throw ToolError(QStringLiteral("%1: %2").arg(path, lessonFileMessages::notLesson()));
    case LessonFileStatus::InvalidValue:
        break;
    }
    throw ToolError(QStringLiteral("%1: %2").arg(path, content.error));
}

// The options of an export: the lesson's own settings, as the window would use them, with what
// the command line replaces.
struct LessonExportRequest {
    QString lesson;
    QString out;
    QString clips;
    std::optional<int> passes;
    std::optional<int> pauseMs;
    std::optional<QString> mute;
    std::optional<int> repeat;
    std::optional<int> englishRate;
    std::optional<int> japaneseRate;
};

// The signal that asked an export to stop (SIGINT, SIGTERM, SIGHUP), 0 while none did. The
// export stops at its next line and removes what it wrote; a second signal ends it at once.
std::atomic<int> g_stopSignal = 0;

extern "C" void askToStop(int signal) {
    g_stopSignal = signal;
}

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = askToStop;
    action.sa_flags = SA_RESETHAND; // a second one is not caught
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int writeLesson(const LessonExportRequest& request) {
    LessonTable table;
    const QChar decimalSeparator = systemDecimalSeparator();
    ExportOptions options =
        exportOptionsFrom(choicesOfLesson(readLesson(request.lesson, table)), decimalSeparator);
    if (request.passes)
        options.passes = *request.passes;
    if (request.pauseMs)
        options.defaultPauseMs = *request.pauseMs;
    if (request.mute)
        options.practice.role = *request.mute;
    if (request.repeat)
        options.practice.lineRepeats = *request.repeat;
    if (request.englishRate)
        options.rates.english = *request.englishRate;
    if (request.japaneseRate)
        options.rates.japanese = *request.japaneseRate;

    checkExportTargets({request.lesson}, request.out, request.clips);

    EmbeddedEngineOptions engineOptions;
    engineOptions.output = EmbeddedEngineOptions::Output::Silent; // written, not played
    EmbeddedSpeechEngine engine(engineOptions);
    catchStopSignals();
    const ExportSummary summary = [&] {
        try {
            return exportLesson(engine, settingsFilePath(), table, options, request.out,
                                request.clips, [](int, int) { return g_stopSignal == 0; });
        } catch (const ExportError&) {
            if (const int signal = g_stopSignal) {
                // Cleaned up: now end as the signal would have ended it.
                err() << "lessora-say: stopped by signal " << signal << "; nothing was written\n"
                      << Qt::flush;
                std::signal(signal, SIG_DFL);
                std::raise(signal);
            }
            throw;
        }
    }();
    for (const QString& notice : summary.notices)
        err() << "lessora-say: note: "
              << QString(notice).replace(QStringLiteral("\r\n"), QStringLiteral(" ")) << '\n';
    const qint64 seconds = summary.durationMs() / 1000;
    out() << request.out << ": " << summary.linesSpoken << " lines, "
          << QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'))
          << '\n';
    return kExitOk;
}

LessonExportRequest lessonRequest(const QCommandLineParser& parser,
                                  const QList<QCommandLineOption>& options) {
    const auto& [lesson, outFile, passes, pause, mute, repeat, englishRate, japaneseRate, clips] =
        std::tie(options[0], options[1], options[2], options[3], options[4], options[5], options[6],
                 options[7], options[8]);
    LessonExportRequest request;
    request.lesson = parser.value(lesson);
    request.out = parser.value(outFile);
    if (request.lesson.isEmpty() || request.out.isEmpty())
        throw UsageError(QStringLiteral("--lesson needs a lesson file and --out a file to write"));
    if (!audioFileKindOf(request.out))
        throw UsageError(QStringLiteral("--out needs a file name ending in .mp3, .opus, .ogg, "
                                        ".flac or .wav"));
    if (parser.isSet(passes))
        request.passes = wholeNumberOption(parser, passes, 1, 10);
    if (parser.isSet(pause)) {
        bool isNumber = false;
        const double seconds = parser.value(pause).toDouble(&isNumber);
        if (!isNumber || !std::isfinite(seconds) || seconds < 0 || seconds > 10)
            throw UsageError(QStringLiteral("--pause needs a number of seconds from 0 to 10"));
        request.pauseMs = int(std::lround(seconds * 1000));
    }
    if (parser.isSet(mute)) {
        const Speaker* speaker = speakerOfCode(parser.value(mute).trimmed());
        if (!speaker)
            throw UsageError(QStringLiteral("--mute needs one of the speakers A, B, C, Q, R, S"));
        request.mute = speaker->code;
    }
    if (parser.isSet(repeat))
        request.repeat = wholeNumberOption(parser, repeat, 1, kMaxLineRepeats);
    if (parser.isSet(englishRate))
        request.englishRate = wholeNumberOption(parser, englishRate, -10, 10);
    if (parser.isSet(japaneseRate))
        request.japaneseRate = wholeNumberOption(parser, japaneseRate, -10, 10);
    if (parser.isSet(clips)) {
        request.clips = parser.value(clips);
        if (request.clips.isEmpty())
            throw UsageError(QStringLiteral("--clips needs a folder"));
    }
    return request;
}

int run(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("List the voices."));
    const QCommandLineOption reading(QStringLiteral("reading"),
                                     QStringLiteral("Print the Japanese reading."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption accent(QStringLiteral("accent"),
                                    QStringLiteral("Print the reading with its pitch accent."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption voice(QStringLiteral("voice"), QStringLiteral("Speak with a voice."),
                                   QStringLiteral("DESC"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Speed, -10 to 10."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption wav(QStringLiteral("wav"), QStringLiteral("Write a WAV file."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show the usage."));
    const auto valued = [](const char* name, const char* description, const char* valueName) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(description),
                                  QString::fromLatin1(valueName));
    };
    const QList<QCommandLineOption> lessonOptions = {
        valued("lesson", "Write this lesson as audio.", "FILE"),
        valued("out", "The audio file to write.", "FILE"),
        valued("passes", "Passes over the lesson.", "N"),
        valued("pause", "Pause after each line.", "SECONDS"),
        valued("mute", "The speaker whose lines are left as gaps.", "SPEAKER"),
        valued("repeat", "Times each line is spoken.", "N"),
        valued("english-rate", "English rate, -10 to 10.", "N"),
        valued("japanese-rate", "Japanese rate, -10 to 10.", "N"),
        valued("clips", "Also one file per line in this folder.", "DIR")};
    const QCommandLineOption language(QStringLiteral("lang"),
                                      QStringLiteral("Language of the messages: ja or en."),
                                      QStringLiteral("LANG"));
    parser.addOptions({list, reading, accent, voice, rate, wav, help, language});
    parser.addOptions(lessonOptions);
    if (!parser.parse(arguments))
        throw UsageError(parser.errorText());
    if (parser.isSet(language)) {
        const std::optional<InterfaceLanguage> chosen =
            interfaceLanguageOfCode(parser.value(language));
        if (!chosen)
            throw UsageError(QStringLiteral("--lang needs ja or en"));
        showProgramTextsIn(*chosen);
    }
    if (parser.isSet(help)) {
        out() << kUsage;
        return kExitOk;
    }

    const bool lessonMode = parser.isSet(lessonOptions[0]);
    // --voice with --reading or --accent: what that voice says.
    const bool voiceReading =
        parser.isSet(voice) && (parser.isSet(reading) || parser.isSet(accent));
    const int modes = int(parser.isSet(list)) + int(parser.isSet(reading)) +
                      int(parser.isSet(accent)) + int(parser.isSet(voice)) + int(lessonMode) -
                      int(voiceReading);
    if (modes != 1)
        throw UsageError(
            QStringLiteral("give one of --list, --reading, --accent, --voice and --lesson"));
    if (!lessonMode) {
        for (const QCommandLineOption& option : lessonOptions.mid(1)) {
            if (parser.isSet(option))
                throw UsageError(
                    QStringLiteral("--%1 goes with --lesson").arg(option.names().first()));
        }
    }
    if (lessonMode) {
        if (!parser.positionalArguments().isEmpty() || parser.isSet(rate) || parser.isSet(wav))
            throw UsageError(QStringLiteral("--lesson takes no text, --rate or --wav"));
        return writeLesson(lessonRequest(parser, lessonOptions));
    }
    if ((!parser.isSet(voice) || voiceReading) && (parser.isSet(rate) || parser.isSet(wav)))
        throw UsageError(QStringLiteral("--rate and --wav go with --voice and a text to speak"));
    const QStringList positional = parser.positionalArguments();

    if (parser.isSet(list)) {
        if (!positional.isEmpty())
            throw UsageError(QStringLiteral("--list takes no text"));
        return listVoices();
    }
    if (parser.isSet(reading)) {
        if (!positional.isEmpty())
            throw UsageError(QStringLiteral("--reading takes one text; quote it"));
        return printReading(parser.value(reading), parser.value(voice));
    }
    if (parser.isSet(accent)) {
        if (!positional.isEmpty())
            throw UsageError(QStringLiteral("--accent takes one text; quote it"));
        return printAccent(parser.value(accent), parser.value(voice));
    }
    if (positional.size() != 1)
        throw UsageError(QStringLiteral("--voice needs one text to speak; quote it"));
    bool isNumber = false;
    const int rateValue = parser.value(rate).toInt(&isNumber);
    if (!isNumber || rateValue < -10 || rateValue > 10)
        throw UsageError(QStringLiteral("--rate needs a whole number from -10 to 10"));
    if (parser.isSet(wav) && parser.value(wav).isEmpty())
        throw UsageError(QStringLiteral("--wav needs a file name"));
    if (parser.isSet(wav))
        return writeWav(parser.value(voice), rateValue, parser.value(wav), positional.first());
    return speak(parser.value(voice), rateValue, positional.first());
}

} // namespace

int main(int argc, char** argv) {
    // Past a file size limit a write fails with a message instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication application(argc, argv);
    // The messages of the libraries in the environment's language until --lang says otherwise.
    showProgramTextsIn(interfaceLanguageOfEnvironment());
    int code = kExitError;
    try {
        // From argv itself: a file name that is not valid UTF-8 keeps its bytes.
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << fileNameFromBytes(argv[i]);
        code = run(arguments);
    } catch (const UsageError& error) {
        err() << "lessora-say: " << error.message() << '\n' << kUsage;
        code = kExitUsage;
    } catch (const AppError& error) {
        err() << "lessora-say: " << error.message() << '\n';
    } catch (const std::exception& error) {
        err() << "lessora-say: " << error.what() << '\n';
    }
    out().flush();
    err().flush();
    return code;
}

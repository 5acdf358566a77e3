// lessora-say: the program's voices from the command line.
//   lessora-say --list                                   the voices, one a line
//   lessora-say --reading TEXT | -                       the katakana the Japanese voices read
//   lessora-say --voice DESC [--rate N] [--wav FILE] TEXT  speak TEXT, or write it to a WAV file
// Exit codes: 0 done, 1 error, 2 wrong usage.

#include "platform/AppError.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"
#include "voices/JapaneseReading.h"
#include "voices/SpeechBackend.h"
#include "voices/SpeechEngine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDataStream>
#include <QSaveFile>
#include <QTextStream>

namespace {

using namespace lessora;

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage:\n"
    "  lessora-say --list                  the voices: description, language, category\n"
    "  lessora-say --reading TEXT          the katakana the Japanese voices read for TEXT;\n"
    "                                      TEXT - reads standard input, one line per line\n"
    "  lessora-say --voice DESC [--rate N] [--wav FILE] TEXT\n"
    "                                      speaks TEXT with the voice DESC at speed N\n"
    "                                      (-10 to 10, 0 normal), or writes it to FILE\n"
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

int printReading(const QString& text) {
    if (!japaneseDictionaryAvailable())
        err() << "lessora-say: warning: " << japaneseDictionaryProblem()
              << "; kanji are left unread\n"
              << Qt::flush;
    if (text != u"-") {
        out() << japaneseReading(text) << '\n';
        return kExitOk;
    }
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line))
        out() << japaneseReading(line) << Qt::endl;
    return kExitOk;
}

[[noreturn]] void unknownVoice(const QString& description) {
    throw ToolError(QStringLiteral("unknown voice \"%1\" (lessora-say --list shows the voices)")
                        .arg(description));
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
    if (!file.open(QIODevice::WriteOnly))
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

int run(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("List the voices."));
    const QCommandLineOption reading(QStringLiteral("reading"),
                                     QStringLiteral("Print the Japanese reading."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption voice(QStringLiteral("voice"), QStringLiteral("Speak with a voice."),
                                   QStringLiteral("DESC"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Speed, -10 to 10."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption wav(QStringLiteral("wav"), QStringLiteral("Write a WAV file."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show the usage."));
    parser.addOptions({list, reading, voice, rate, wav, help});
    if (!parser.parse(arguments))
        throw UsageError(parser.errorText());
    if (parser.isSet(help)) {
        out() << kUsage;
        return kExitOk;
    }

    const int modes =
        int(parser.isSet(list)) + int(parser.isSet(reading)) + int(parser.isSet(voice));
    if (modes != 1)
        throw UsageError(QStringLiteral("give one of --list, --reading and --voice"));
    if (!parser.isSet(voice) && (parser.isSet(rate) || parser.isSet(wav)))
        throw UsageError(QStringLiteral("--rate and --wav go with --voice"));
    const QStringList positional = parser.positionalArguments();

    if (parser.isSet(list)) {
        if (!positional.isEmpty())
            throw UsageError(QStringLiteral("--list takes no text"));
        return listVoices();
    }
    if (parser.isSet(reading)) {
        if (!positional.isEmpty())
            throw UsageError(QStringLiteral("--reading takes one text; quote it"));
        return printReading(parser.value(reading));
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
    QCoreApplication application(argc, argv);
    int code = kExitError;
    try {
        code = run(QCoreApplication::arguments());
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

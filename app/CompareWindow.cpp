#include "app/CompareWindow.h"

#include "analysis/SoundFile.h"
#include "app/AccentDrawing.h"
#include "app/Logging.h"
#include "app/SoundPlayer.h"
#include "platform/AppError.h"
#include "platform/MessageBoxes.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

namespace lessora {

namespace {

QString translated(const char* text) {
    return QCoreApplication::translate("CompareWindow", text);
}

// The sound from its first sound on, as it is drawn.
Sound speechOf(const VoiceAnalysis& voice) {
    Sound sound;
    sound.sampleRate = voice.sound.sampleRate;
    sound.samples.assign(voice.sound.samples.begin() + voice.span.start, voice.sound.samples.end());
    return sound;
}

// The messages the voice choice would show, logged: a window working in the background shows
// no message box.
class LoggedMessages : public MessageBoxes {
public:
    void showMessage(const QString& text) override { qCInfo(lcApp) << "comparing:" << text; }
    bool confirm(const QString& text) override {
        showMessage(text);
        return false;
    }
    YesNoCancel askYesNoCancel(const QString& text) override {
        showMessage(text);
        return YesNoCancel::Cancel;
    }
};

// Room under the curves for the time axis's labels.
constexpr int kAxisHeight = 16;

} // namespace

// One voice drawn on the common time axis: its waveform above, its pitch curve below, and for
// the model the reading with its accent marks under the curve. Time 0 is the voice's first
// sound.
class VoicePlot : public QWidget {
public:
    explicit VoicePlot(QWidget* parent)
        : QWidget(parent) {
        setMinimumSize(480, 150);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        // Reachable by Tab, so that a screen reader reads its name and its figures.
        setFocusPolicy(Qt::TabFocus);
    }

    void setVoice(const VoiceAnalysis* voice, QString caption, QString note = {}) {
        m_voice = voice;
        m_caption = std::move(caption);
        m_note = std::move(note);
        update();
    }
    void setAccent(QList<AccentPhrase> accent) {
        m_accent = std::move(accent);
        update();
    }
    // The seconds the axis spans and the semitones the curve's height spans, the same for both.
    void setScale(double seconds, double lowSemitones, double highSemitones) {
        m_seconds = seconds;
        m_low = lowSemitones;
        m_high = highSemitones;
        update();
    }
    bool hasVoice() const { return m_voice != nullptr; }
    const QList<AccentPhrase>& accent() const { return m_accent; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QPalette& colours = palette();
        painter.fillRect(rect(), colours.color(QPalette::Base));
        painter.setPen(colours.color(QPalette::Mid));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        const int lineHeight = fontMetrics().height();
        const QRect inside = rect().adjusted(4, 2, -4, -2);
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(inside, Qt::AlignLeft | Qt::AlignTop, m_caption);
        if (!m_voice) {
            painter.setPen(colours.color(QPalette::PlaceholderText));
            painter.drawText(inside, Qt::AlignCenter | Qt::TextWordWrap, m_note);
            return;
        }
        const int accentHeight = m_accent.isEmpty() ? 0 : lineHeight + 4;
        const int top = inside.top() + lineHeight;
        const int bottom = inside.bottom() - kAxisHeight - accentHeight;
        const int waveHeight = (bottom - top) * 2 / 5;
        const QRect wave(inside.left(), top, inside.width(), waveHeight);
        const QRect curve(inside.left(), top + waveHeight + 4, inside.width(),
                          bottom - top - waveHeight - 4);
        drawWaveform(painter, wave);
        drawPitch(painter, curve);
        if (accentHeight > 0) {
            QPalette marks = colours;
            drawAccentReading(painter,
                              QRect(inside.left(), curve.bottom() + 2, inside.width(), lineHeight),
                              font(), marks, m_accent);
        }
        drawAxis(painter,
                 QRect(inside.left(), inside.bottom() - kAxisHeight, inside.width(), kAxisHeight));
    }

private:
    double xOf(double seconds, const QRect& area) const {
        return area.left() + seconds / std::max(m_seconds, 0.01) * area.width();
    }

    void drawWaveform(QPainter& painter, const QRect& area) const {
        const Sound& sound = m_voice->sound;
        const qint64 start = m_voice->span.start;
        // The columns the voice's sound reaches on the common axis.
        const double seconds = double(qint64(sound.samples.size()) - start) / sound.sampleRate;
        const int columns = int(std::min<double>(area.width(), xOf(seconds, area) - area.left()));
        if (columns <= 0)
            return;
        const qint64 count = std::min<qint64>(qint64(sound.samples.size()) - start,
                                              qint64(m_seconds * sound.sampleRate));
        const std::vector<EnvelopeColumn> outline =
            envelope(sound.samples.data() + start, count, columns);
        // Scaled to the voice's loudest sample: a quiet microphone draws as large as the model.
        float peak = 1e-4f;
        for (const EnvelopeColumn& column : outline)
            peak = std::max({peak, -column.low, column.high});
        const double middle = area.center().y();
        const double half = area.height() / 2.0;
        painter.setPen(palette().color(QPalette::Mid));
        for (int x = 0; x < int(outline.size()); ++x) {
            painter.drawLine(
                QPointF(area.left() + x, middle - outline[size_t(x)].high / peak * half),
                QPointF(area.left() + x, middle - outline[size_t(x)].low / peak * half));
        }
    }

    void drawPitch(QPainter& painter, const QRect& area) const {
        // A light line every 6 semitones (half an octave), its frequency at the right.
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        painter.setFont(small);
        for (double level = std::ceil(m_low / 6) * 6; level <= m_high; level += 6) {
            const double y = yOf(level, area);
            painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
            painter.drawLine(QPointF(area.left(), y), QPointF(area.right() - 48, y));
            painter.setPen(palette().color(QPalette::PlaceholderText));
            painter.drawText(QRectF(area.right() - 46, y - 8, 46, 16),
                             Qt::AlignRight | Qt::AlignVCenter,
                             translated(QT_TRANSLATE_NOOP("CompareWindow", "%1 Hz"))
                                 .arg(std::lround(hzOf(level))));
        }
        painter.setFont(font());
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::SolidLine, Qt::RoundCap));
        painter.setRenderHint(QPainter::Antialiasing);
        // Frames next to each other are joined; a gap (an unvoiced sound) breaks the line.
        const std::vector<PitchPoint>& points = m_voice->pitch;
        QPainterPath path;
        for (size_t i = 0; i < points.size(); ++i) {
            const QPointF point(xOf(points[i].seconds, area), yOf(points[i].semitones, area));
            if (point.x() > area.right())
                break;
            const bool joined =
                i > 0 && points[i].seconds - points[i - 1].seconds < 1.5 * kPitchStepSeconds;
            if (joined)
                path.lineTo(point);
            else {
                path.moveTo(point);
                path.lineTo(point + QPointF(0.5, 0)); // a lone frame is drawn as a dot
            }
        }
        painter.drawPath(path);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    double yOf(double semitones, const QRect& area) const {
        const double share = (semitones - m_low) / std::max(m_high - m_low, 1.0);
        return area.bottom() - std::clamp(share, 0.0, 1.0) * area.height();
    }

    void drawAxis(QPainter& painter, const QRect& area) const {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawLine(area.topLeft(), area.topRight());
        // A tick every half second, labelled every second.
        for (int half = 0; half * 0.5 <= m_seconds; ++half) {
            const int x = int(xOf(half * 0.5, area));
            painter.drawLine(x, area.top(), x, area.top() + (half % 2 == 0 ? 4 : 2));
            if (half % 2 == 0 && x + 20 < area.right())
                painter.drawText(
                    QRect(x + 2, area.top() + 2, 60, area.height() - 2),
                    Qt::AlignLeft | Qt::AlignTop,
                    translated(QT_TRANSLATE_NOOP("CompareWindow", "%1秒")).arg(half / 2));
        }
    }

    const VoiceAnalysis* m_voice = nullptr;
    QString m_caption;
    QString m_note;
    QList<AccentPhrase> m_accent;
    double m_seconds = 1;
    double m_low = 0;
    double m_high = 12;
};

struct CompareWindow::Outcome {
    int generation = 0;
    ComparedLine line;
    QString error;
};

CompareWindow::CompareWindow(SoundPlayer& player, QChar decimalSeparator, QWidget* parent)
    : QDialog(parent)
    , m_player(player)
    , m_decimalSeparator(decimalSeparator) {
    setObjectName(QStringLiteral("compareWindow"));
    setModal(false);
    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    lblLine = named(new QLabel(this), "lblLine");
    lblLine->setWordWrap(true);
    plotModel = named(new VoicePlot(this), "plotModel");
    plotLearner = named(new VoicePlot(this), "plotLearner");
    btnPlayModel = named(new QPushButton(this), "btnPlayModel");
    btnPlayLearner = named(new QPushButton(this), "btnPlayLearner");
    for (QPushButton* button : {btnPlayModel, btnPlayLearner})
        button->setAutoDefault(false);
    retranslateUi();
    lblModelFigures = named(new QLabel(this), "lblModelFigures");
    lblLearnerFigures = named(new QLabel(this), "lblLearnerFigures");
    lblDifference = named(new QLabel(this), "lblDifference");
    for (QLabel* label : {lblModelFigures, lblLearnerFigures, lblDifference})
        label->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

    auto* layout = new QGridLayout(this);
    layout->addWidget(lblLine, 0, 0, 1, 2);
    layout->addWidget(plotModel, 1, 0, 1, 2);
    layout->addWidget(btnPlayModel, 2, 0);
    layout->addWidget(lblModelFigures, 2, 1);
    layout->addWidget(plotLearner, 3, 0, 1, 2);
    layout->addWidget(btnPlayLearner, 4, 0);
    layout->addWidget(lblLearnerFigures, 4, 1);
    layout->addWidget(lblDifference, 5, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);
    layout->setRowStretch(3, 1);
    setTabOrder(btnPlayModel, plotModel);
    setTabOrder(plotModel, btnPlayLearner);
    setTabOrder(btnPlayLearner, plotLearner);
    resize(720, 520);

    connect(btnPlayModel, &QPushButton::clicked, this, &CompareWindow::playModel);
    connect(btnPlayLearner, &QPushButton::clicked, this, &CompareWindow::playLearner);
    connect(&m_watcher, &QFutureWatcher<std::shared_ptr<Outcome>>::finished, this, [this] {
        const std::shared_ptr<Outcome> outcome = m_watcher.result();
        if (outcome->generation != m_generation)
            return; // a later line was asked for meanwhile
        if (outcome->error.isEmpty()) {
            showComparison(outcome->line);
            return;
        }
        lblLine->setText(
            tr("%1行目を比べられません。\n%2").arg(outcome->line.lineNumber).arg(outcome->error));
        emit comparisonShown();
    });
}

void CompareWindow::retranslateUi() {
    setWindowTitle(tr("聞き比べる"));
    plotModel->setAccessibleName(tr("手本の波形と声の高さ"));
    plotLearner->setAccessibleName(tr("あなたの波形と声の高さ"));
    btnPlayModel->setText(tr("手本を再生(&M)"));
    btnPlayModel->setToolTip(tr("手本の声を再生します (Alt+M)"));
    btnPlayModel->setAccessibleName(tr("手本を再生"));
    btnPlayLearner->setText(tr("自分の声を再生(&V)"));
    btnPlayLearner->setToolTip(tr("この行のあなたの最新の録音を再生します (Alt+V)"));
    btnPlayLearner->setAccessibleName(tr("自分の声を再生"));
    for (QPushButton* button : {btnPlayModel, btnPlayLearner})
        button->setAccessibleDescription(button->toolTip());
}

void CompareWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::LanguageChange)
        return;
    retranslateUi();
    // The figures and the line's caption are made of translated words as well.
    if (!m_watcher.isRunning() && m_line.lineNumber > 0)
        showComparison(m_line);
}

CompareWindow::~CompareWindow() {
    m_watcher.waitForFinished();
}

void CompareWindow::compare(int lineNumber, std::function<ComparedLine()> load) {
    m_player.stop();
    m_line = ComparedLine{};
    m_line.lineNumber = lineNumber;
    showComparison(m_line);
    lblLine->setText(tr("%1行目の手本を用意しています…").arg(lineNumber));
    lblLine->setAccessibleName(lblLine->text());
    show();
    raise();
    activateWindow();
    const int generation = ++m_generation;
    m_watcher.setFuture(QtConcurrent::run([load = std::move(load), generation, lineNumber] {
        auto outcome = std::make_shared<Outcome>();
        outcome->generation = generation;
        outcome->line.lineNumber = lineNumber;
        try {
            outcome->line = load();
        } catch (const AppError& error) {
            outcome->error = error.message();
        } catch (const std::exception& error) {
            outcome->error = QString::fromLocal8Bit(error.what());
        }
        if (!outcome->error.isEmpty())
            qCWarning(lcApp) << "comparing line" << lineNumber << "failed:" << outcome->error;
        return outcome;
    }));
}

void CompareWindow::showComparison(const ComparedLine& line) {
    if (&line != &m_line)
        m_line = line;
    const VoiceAnalysis& model = m_line.model;
    const VoiceAnalysis* learner = m_line.learner ? &*m_line.learner : nullptr;
    lblLine->setText(tr("%1行目: %2").arg(m_line.lineNumber).arg(m_line.text));
    lblLine->setAccessibleName(lblLine->text());

    // One axis for both: the longer voice, and a little room after it.
    const double seconds =
        std::max({model.seconds(), learner ? learner->seconds() : 0.0, 0.5}) * 1.05;
    double low = 1e9, high = -1e9;
    for (const VoiceAnalysis* voice : {&model, learner}) {
        if (voice && voice->figures.voicedFrames > 0) {
            low = std::min(low, voice->figures.lowSemitones);
            high = std::max(high, voice->figures.highSemitones);
        }
    }
    if (low > high)
        low = 0, high = 12;
    // At least an octave, and a little room above and below the curves.
    const double middle = (low + high) / 2;
    const double half = std::max((high - low) / 2 + 2, 6.0);
    for (VoicePlot* plot : {plotModel, plotLearner})
        plot->setScale(seconds, middle - half, middle + half);

    const bool hasModel = !model.sound.isEmpty();
    plotModel->setVoice(hasModel ? &model : nullptr, tr("手本"));
    plotModel->setAccent(m_line.accent);
    plotLearner->setVoice(learner, tr("あなた"), m_line.learnerNote);
    btnPlayModel->setEnabled(hasModel);
    btnPlayLearner->setEnabled(learner != nullptr);

    const QString modelFigures = hasModel ? figuresText(model) : QString();
    const QString learnerFigures = learner ? figuresText(*learner) : m_line.learnerNote;
    lblModelFigures->setText(modelFigures);
    lblLearnerFigures->setText(learnerFigures);
    lblDifference->setText(learner && hasModel ? differenceText(model.seconds(), learner->seconds())
                                               : QString());
    lblModelFigures->setAccessibleName(tr("手本: %1").arg(modelFigures));
    lblLearnerFigures->setAccessibleName(tr("あなた: %1").arg(learnerFigures));
    lblDifference->setAccessibleName(lblDifference->text());
    plotModel->setAccessibleDescription(modelFigures);
    plotLearner->setAccessibleDescription(learnerFigures);
    if (hasModel)
        btnPlayModel->setFocus();
    emit comparisonShown();
}

QString CompareWindow::number(double value, int decimals) const {
    return QString::number(value, 'f', decimals).replace(u'.', m_decimalSeparator);
}

QString CompareWindow::figuresText(const VoiceAnalysis& voice) const {
    const QString length = tr("長さ %1秒").arg(number(voice.seconds(), 2));
    if (voice.figures.voicedFrames == 0)
        return tr("%1、声の高さは測れません").arg(length);
    return tr("%1、高さの幅 %2半音(%3〜%4 Hz)")
        .arg(length, number(voice.figures.rangeSemitones(), 1),
             number(hzOf(voice.figures.lowSemitones), 0),
             number(hzOf(voice.figures.highSemitones), 0));
}

QString CompareWindow::differenceText(double modelSeconds, double learnerSeconds) const {
    const double difference = learnerSeconds - modelSeconds;
    if (std::abs(difference) < 0.005)
        return tr("長さの差: 手本と同じ");
    return difference > 0 ? tr("長さの差: あなたが%1秒長い").arg(number(difference, 2))
                          : tr("長さの差: あなたが%1秒短い").arg(number(-difference, 2));
}

void CompareWindow::playModel() {
    if (!m_line.model.sound.isEmpty())
        m_player.play(speechOf(m_line.model));
}

void CompareWindow::playLearner() {
    if (m_line.learner)
        m_player.play(speechOf(*m_line.learner));
}

ComparedLine loadComparedLine(const CompareRequest& request) {
    ComparedLine line;
    line.lineNumber = request.lineNumber;
    line.text = request.cells.text;
    if (request.engine) {
        LoggedMessages messages;
        RowSpeaker speaker(*request.engine, messages, request.settingsPath);
        const SynthesizedAudio model = speaker.synthesize(request.cells, request.rates);
        line.model = analyseVoice(
            soundFromPcm(model.samples.constData(), model.samples.size(), model.sampleRate));
    }
    if (request.learnerFile.isEmpty()) {
        line.learnerNote = translated(QT_TRANSLATE_NOOP(
            "CompareWindow", "この行の録音はまだありません。「録音する」をオンにして"
                             "練習すると、ここで手本と比べられます。"));
    } else {
        try {
            line.learner = analyseVoice(readSound(request.learnerFile));
        } catch (const AppError& error) {
            qCWarning(lcApp) << "the recording cannot be compared:" << error.message();
            line.learnerNote = error.message();
        }
    }
    if (request.accentOf) {
        try {
            line.accent = request.accentOf(request.cells.text);
        } catch (const std::exception& error) {
            qCWarning(lcApp) << "no accent for the compared line:" << error.what();
        }
    }
    return line;
}

void CompareWindow::done(int result) {
    m_player.stop();
    QDialog::done(result);
}

} // namespace lessora

// Lesson file commands of the main window.
#include "app/Unit1.h"

#include "files/LessonFileCommands.h"

#include <QCheckBox>
#include <QComboBox>

namespace lessora {

namespace {

// The three lists and the hide-text box as the lesson commands see them. The box's change
// signal runs chkHideTextChange, so a loaded hide-text setting shows at once.
class MainWindowLessonSettings : public LessonSettingsControls {
public:
    explicit MainWindowLessonSettings(TForm1& form)
        : m_form(form) {}

    LessonSettings lessonSettings() const override {
        return {m_form.cmbEnglishRate->currentIndex(), m_form.cmbInterval->currentIndex(),
                m_form.cmbRepeat->currentIndex(), m_form.chkHideText->isChecked()};
    }
    void setEnglishRateIndex(int index) override { m_form.cmbEnglishRate->setCurrentIndex(index); }
    void setIntervalIndex(int index) override { m_form.cmbInterval->setCurrentIndex(index); }
    void setRepeatIndex(int index) override { m_form.cmbRepeat->setCurrentIndex(index); }
    void setHideText(bool hide) override { m_form.chkHideText->setChecked(hide); }

private:
    TForm1& m_form;
};

} // namespace

void TForm1::btnSaveLessonClick() {
    MainWindowLessonSettings controls(*this);
    FLessonFiles.save({m_services.fileDialogs, m_services.messages, *lessonTable, controls});
}

void TForm1::btnLoadLessonClick() {
    MainWindowLessonSettings controls(*this);
    FLessonFiles.load({m_services.fileDialogs, m_services.messages, *lessonTable, controls});
}

} // namespace lessora

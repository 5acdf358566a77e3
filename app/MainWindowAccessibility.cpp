#include "app/MainWindowAccessibility.h"

#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "platform/InterfaceLanguage.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace lessora {

namespace {

// The window's control of that name; the window creates every one of them.
template <typename T> T* control(const MainWindow& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    Q_ASSERT(found);
    return found;
}

} // namespace

void nameControlsForAccessibility(MainWindow& window) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        // Only the main window's own: the voice windows are its children too.
        if (button->window() == &window)
            button->setAccessibleName(button->text());
    }
    control<QPushButton>(window, "btnMoveUp")
        ->setAccessibleName(QCoreApplication::translate("MainWindowAccessibility", "行を上へ移動"));
    control<QPushButton>(window, "btnMoveDown")
        ->setAccessibleName(QCoreApplication::translate("MainWindowAccessibility", "行を下へ移動"));
    control<QPushButton>(window, "btnLoadLesson")
        ->setAccessibleDescription(QCoreApplication::translate(
            "MainWindowAccessibility", "右クリックまたはメニューキーで最近使った教材を開けます"));

    const std::pair<const char*, const char*> labelled[] = {
        {"lblInterbal", "cmbInterval"},
        {"lblEnglishRate", "cmbEnglishRate"},
        {"lblRepeat", "cmbRepeat"},
    };
    for (const auto& [labelName, listName] : labelled) {
        QLabel* label = control<QLabel>(window, labelName);
        QComboBox* list = control<QComboBox>(window, listName);
        label->setBuddy(list);
        list->setAccessibleName(label->text());
    }
    auto* hideText = control<QCheckBox>(window, "chkHideText");
    hideText->setAccessibleName(hideText->text());
    // Named in both languages, for a reader of either.
    control<QPushButton>(window, "btnLanguage")
        ->setAccessibleName(programTextLanguage() == InterfaceLanguage::English
                                ? QStringLiteral("日本語 / Japanese")
                                : QStringLiteral("English / 英語"));
    control<LessonGrid>(window, "StringGrid1")
        ->setAccessibleName(QCoreApplication::translate("MainWindowAccessibility", "教材"));
}

void announceSpokenRow(LessonGrid& grid, int row) {
    const QString description =
        row >= 0 ? QCoreApplication::translate("MainWindowAccessibility", "%1行目を読み上げ中")
                       .arg(row + 1)
                 : QString();
    if (grid.accessibleDescription() == description)
        return;
    // Screen readers are told of the change by Qt itself (a DescriptionChanged event).
    grid.setAccessibleDescription(description);
}

} // namespace lessora

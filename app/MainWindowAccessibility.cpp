#include "app/MainWindowAccessibility.h"

#include "app/LessonGrid.h"
#include "app/MainWindow.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace lessora {

void nameControlsForAccessibility(MainWindow& window) {
    for (QPushButton* button : window.findChildren<QPushButton*>())
        button->setAccessibleName(button->text());
    window.btnMoveUp->setAccessibleName(QStringLiteral("行を上へ移動"));
    window.btnMoveDown->setAccessibleName(QStringLiteral("行を下へ移動"));
    window.btnLoadLesson->setAccessibleDescription(
        QStringLiteral("右クリックまたはメニューキーで最近使った教材を開けます"));

    const std::pair<QLabel*, QComboBox*> labelled[] = {
        {window.lblInterbal, window.cmbInterval},
        {window.lblEnglishRate, window.cmbEnglishRate},
        {window.lblRepeat, window.cmbRepeat},
    };
    for (const auto& [label, list] : labelled) {
        label->setBuddy(list);
        list->setAccessibleName(label->text());
    }
    window.chkHideText->setAccessibleName(window.chkHideText->text());
    window.StringGrid1->setAccessibleName(QStringLiteral("教材"));
}

void announceSpokenRow(LessonGrid& grid, int row) {
    const QString description =
        row >= 0 ? QStringLiteral("%1行目を読み上げ中").arg(row + 1) : QString();
    if (grid.accessibleDescription() == description)
        return;
    // Screen readers are told of the change by Qt itself (a DescriptionChanged event).
    grid.setAccessibleDescription(description);
}

} // namespace lessora

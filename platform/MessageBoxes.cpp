#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace lessora {

namespace {
QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}
} // namespace

void QtMessageBoxes::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lessora"), text, QMessageBox::Ok,
                    dialogParent());
    box.exec();
}

bool QtMessageBoxes::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), text, QMessageBox::NoButton,
                    dialogParent());
    QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace lessora

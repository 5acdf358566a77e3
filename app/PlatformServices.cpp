#include "app/PlatformServices.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
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
    QMessageBox box(QMessageBox::Question, QCoreApplication::translate("MessageBoxes", "確認"),
                    text, QMessageBox::NoButton, dialogParent());
    QPushButton* yes =
        box.addButton(QCoreApplication::translate("MessageBoxes", "はい"), QMessageBox::YesRole);
    QPushButton* no =
        box.addButton(QCoreApplication::translate("MessageBoxes", "いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

YesNoCancel QtMessageBoxes::askYesNoCancel(const QString& text) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::translate("MessageBoxes", "確認"),
                    text, QMessageBox::NoButton, dialogParent());
    QPushButton* yes =
        box.addButton(QCoreApplication::translate("MessageBoxes", "はい"), QMessageBox::YesRole);
    QPushButton* no =
        box.addButton(QCoreApplication::translate("MessageBoxes", "いいえ"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QCoreApplication::translate("MessageBoxes", "キャンセル"),
                                        QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return YesNoCancel::Yes;
    return box.clickedButton() == no ? YesNoCancel::No : YesNoCancel::Cancel;
}

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(u';', u' ');
        result << (description.contains(u'(')
                       ? description
                       : QStringLiteral("%1 (%2)").arg(description, pattern));
    }
    return result;
}

namespace {
std::optional<QString> runDialog(QFileDialog::AcceptMode mode, const FileDialogOptions& options) {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(qtNameFilters(options.filter));
    if (!options.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(options.defaultExtension);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);
    else if (!options.folder.isEmpty())
        dialog.setDirectory(options.folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
} // namespace

std::optional<QString> QtFileDialogs::getOpenFileName(const FileDialogOptions& options) {
    return runDialog(QFileDialog::AcceptOpen, options);
}

std::optional<QString> QtFileDialogs::getSaveFileName(const FileDialogOptions& options) {
    return runDialog(QFileDialog::AcceptSave, options);
}

bool QtClipboardText::hasText() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString QtClipboardText::text() {
    return QGuiApplication::clipboard()->text();
}

} // namespace lessora

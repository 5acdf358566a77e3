// What a screen reader finds in the main window: a name for every control, the spoken row,
// and a way out of the grid by keyboard.
#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "lesson/LessonTable.h"
#include "support/FakeServices.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

using namespace lessora;
using namespace lessora::test;

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void everyControlHasAName();
    void listsAreNamedByTheirLabels_data();
    void listsAreNamedByTheirLabels();
    void spokenRowIsAnnounced();
    void ctrlTabLeavesTheGrid();
};

namespace {
QString accessibleText(QObject* object, QAccessible::Text text) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(text) : QStringLiteral("<none>");
}

} // namespace

void TestAccessibility::everyControlHasAName() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    QStringList unnamed;
    for (QWidget* widget : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue; // labels, which name the lists
        if (accessibleText(widget, QAccessible::Name).trimmed().isEmpty())
            unnamed << widget->objectName();
    }
    QCOMPARE(unnamed, QStringList());
    QCOMPARE(accessibleText(form.StringGrid1, QAccessible::Name), QStringLiteral("教材"));
    QCOMPARE(accessibleText(form.btnSpeak, QAccessible::Name), QStringLiteral("読み上げ"));
    QCOMPARE(accessibleText(form.btnMoveUp, QAccessible::Name), QStringLiteral("行を上へ移動"));
    QCOMPARE(accessibleText(form.btnMoveDown, QAccessible::Name), QStringLiteral("行を下へ移動"));
    QCOMPARE(accessibleText(form.chkHideText, QAccessible::Name), QStringLiteral("テキストを隠す"));
    // The captions themselves are as they were.
    QCOMPARE(form.btnMoveUp->text(), QStringLiteral("↑"));
}

void TestAccessibility::listsAreNamedByTheirLabels_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("interval") << "cmbInterval" << QStringLiteral("インターバル")
                              << QStringLiteral("なし");
    QTest::newRow("English rate") << "cmbEnglishRate" << QStringLiteral("英語速度")
                                  << QStringLiteral("標準");
    QTest::newRow("repeat") << "cmbRepeat" << QStringLiteral("繰り返し") << QStringLiteral("1回");
}

void TestAccessibility::listsAreNamedByTheirLabels() {
    QFETCH(QString, list);
    QFETCH(QString, name);
    QFETCH(QString, value);
    FakeServices fakes;
    MainWindow form(fakes.services());
    auto* box = form.findChild<QComboBox*>(list);
    QVERIFY(box);
    QCOMPARE(box->accessibleName(), name);
    QCOMPARE(accessibleText(box, QAccessible::Value), value);
    // On Linux Qt names a list by its value and leaves its name to the label tied to it,
    // which screen readers announce before the value.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
    const auto labels = iface->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels[0].first->text(QAccessible::Name), name);
}

// Screen readers read out a changed description; the offscreen platform has no accessibility
// bridge to receive the event, so the description itself is checked.
void TestAccessibility::spokenRowIsAnnounced() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    QCOMPARE(form.StringGrid1->accessibleDescription(), QString());
    form.setHighlightRow(2);
    QCOMPARE(form.StringGrid1->accessibleDescription(), QStringLiteral("3行目を読み上げ中"));
    form.setHighlightRow(-1);
    QCOMPARE(form.StringGrid1->accessibleDescription(), QString());
}

void TestAccessibility::ctrlTabLeavesTheGrid() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    LessonGrid* grid = form.StringGrid1;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, ColNo));
    // Tab moves between the cells (the hidden Language column is passed over).
    QTest::keyClick(grid, Qt::Key_Tab);
    QCOMPARE(grid->currentColumn(), int(ColSpeaker));
    QVERIFY(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_Tab);
    QCOMPARE(grid->currentColumn(), int(ColText));
    // Ctrl+Tab goes on to the next control, Ctrl+Shift+Tab back.
    QTest::keyClick(grid, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), form.cmbInterval);
    QCOMPARE(grid->currentColumn(), int(ColText));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), form.btnStop);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

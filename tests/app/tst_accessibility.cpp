// What a screen reader finds in the main window: a name for every control, the grid's shown
// columns only, the spoken row, and a way out of the grid by keyboard.
#include "app/GridAccessibility.h"
#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "lesson/LessonTable.h"
#include "support/Controls.h"
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
    void gridTellsOnlyItsShownColumns_data();
    void gridTellsOnlyItsShownColumns();
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
    QCOMPARE(accessibleText(control<LessonGrid>(form, "StringGrid1"), QAccessible::Name),
             QStringLiteral("教材"));
    QCOMPARE(accessibleText(control<QPushButton>(form, "btnSpeak"), QAccessible::Name),
             QStringLiteral("読み上げ"));
    QCOMPARE(accessibleText(control<QPushButton>(form, "btnMoveUp"), QAccessible::Name),
             QStringLiteral("行を上へ移動"));
    QCOMPARE(accessibleText(control<QPushButton>(form, "btnMoveDown"), QAccessible::Name),
             QStringLiteral("行を下へ移動"));
    QCOMPARE(accessibleText(control<QCheckBox>(form, "chkHideText"), QAccessible::Name),
             QStringLiteral("テキストを隠す"));
    // The captions themselves are as they were.
    QCOMPARE(control<QPushButton>(form, "btnMoveUp")->text(), QStringLiteral("↑"));
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

void TestAccessibility::gridTellsOnlyItsShownColumns_data() {
    QTest::addColumn<bool>("hideText");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("text shown") << false << QList<int>{ColNo, ColSpeaker, ColText, ColInterval};
    QTest::newRow("text hidden") << true << QList<int>{ColNo, ColSpeaker, ColInterval};
}

// The grid is a table of the columns it shows: its headers, its cells and the places by which it
// tells of its current cell leave out the hidden Language column, and the Text column while it
// is hidden.
void TestAccessibility::gridTellsOnlyItsShownColumns() {
    QFETCH(bool, hideText);
    QFETCH(QList<int>, shown);
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    LessonGrid* grid = control<LessonGrid>(form, "StringGrid1");
    const LessonTable& table = form.lessonTable();
    grid->setCurrentIndex(table.index(1, ColText));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(grid);
    QAccessibleTableInterface* cells = iface->tableInterface();
    QVERIFY(cells);
    const QAccessible::Id textCell = QAccessible::uniqueId(cells->cellAt(0, 2));

    // Ticked and unticked after the interface was made: it follows the columns as they change.
    control<QCheckBox>(form, "chkHideText")->setChecked(!hideText);
    control<QCheckBox>(form, "chkHideText")->setChecked(hideText);

    const int width = int(shown.size());
    QCOMPARE(cells->columnCount(), width);
    QCOMPARE(cells->rowCount(), table.rows());
    QCOMPARE(iface->childCount(), (table.rows() + 1) * width);
    QStringList texts;
    for (int i = 0; i < iface->childCount(); ++i)
        texts << iface->child(i)->text(QAccessible::Name);
    for (int place = 0; place < width; ++place) {
        const int column = shown[place];
        const QString header = table.headerData(column, Qt::Horizontal).toString();
        QAccessibleInterface* headerCell = iface->child(place);
        QCOMPARE(headerCell->role(), QAccessible::ColumnHeader);
        QCOMPARE(headerCell->text(QAccessible::Name), header);
        QCOMPARE(cells->columnDescription(place), header);
        QCOMPARE(iface->childAt(headerCell->rect().center().x(), headerCell->rect().center().y()),
                 headerCell);
        for (int row = 0; row < table.rows(); ++row) {
            QAccessibleInterface* cell = cells->cellAt(row, place);
            const int index = (row + 1) * width + place;
            QCOMPARE(iface->child(index), cell);
            QCOMPARE(iface->indexOfChild(cell), index);
            QCOMPARE(cell->text(QAccessible::Name), table.cell(column, row));
            QCOMPARE(cell->tableCellInterface()->columnIndex(), place);
            QCOMPARE(cell->tableCellInterface()->rowIndex(), row);
            QCOMPARE(cell->tableCellInterface()->columnHeaderCells(), QList{headerCell});
            QCOMPARE(iface->childAt(cell->rect().center().x(), cell->rect().center().y()), cell);
            // The grid tells screen readers of its current cell by the same place.
            QCOMPARE(accessibleCellIndex(*grid, table.index(row, column)), index);
        }
    }
    for (int column = 0; column < kLessonColumnCount; ++column) {
        if (shown.contains(column))
            continue;
        QVERIFY(!texts.contains(table.headerData(column, Qt::Horizontal).toString()));
        for (int row = 0; row < table.rows(); ++row) {
            QVERIFY2(!texts.contains(table.cell(column, row)), qPrintable(table.cell(column, row)));
            QCOMPARE(accessibleCellIndex(*grid, table.index(row, column)), -1);
        }
    }
    // A Text cell found before the text was hidden tells nothing while it is hidden.
    if (QAccessibleInterface* cell = QAccessible::accessibleInterface(textCell)) {
        QCOMPARE(cell->isValid(), !hideText);
        QCOMPARE(cell->text(QAccessible::Name), hideText ? QString() : table.cell(ColText, 0));
    }
    QCOMPARE(iface->focusChild(), hideText ? nullptr : cells->cellAt(1, 2));
}

// Screen readers read out a changed description. The offscreen platform has no accessibility
// bridge, and Qt hands events to none (not even to an update handler) while no bridge is active, so
// what a bridge would read on the event is checked: the grid's accessible description.
void TestAccessibility::spokenRowIsAnnounced() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    LessonGrid* grid = control<LessonGrid>(form, "StringGrid1");
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, ColSpeaker));
    QCOMPARE(grid->accessibleDescription(), QString());
    form.setHighlightRow(2);
    QCOMPARE(grid->accessibleDescription(), QStringLiteral("3行目を読み上げ中"));
    QCOMPARE(accessibleText(grid, QAccessible::Description), QStringLiteral("3行目を読み上げ中"));
    // Announcing moves neither the focus nor the current cell.
    QCOMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(grid->currentIndex(), grid->model()->index(0, ColSpeaker));
    form.setHighlightRow(-1);
    QCOMPARE(grid->accessibleDescription(), QString());
}

void TestAccessibility::ctrlTabLeavesTheGrid() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    LessonGrid* grid = control<LessonGrid>(form, "StringGrid1");
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
    QCOMPARE(QApplication::focusWidget(), control<QComboBox>(form, "cmbInterval"));
    QCOMPARE(grid->currentColumn(), int(ColText));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>(form, "btnStop"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

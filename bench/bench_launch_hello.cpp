// The peer of bench_launch: a Qt Widgets hello world with a table of Japanese text, linked with
// Qt Widgets alone, reporting its first paint and idle memory as the program does.
#include "LaunchProbe.h"

#include <QApplication>
#include <QTableWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    launchprobe::installProbe();
    QTableWidget table(20, 5);
    for (int row = 0; row < 20; ++row)
        for (int column = 0; column < 5; ++column)
            table.setItem(
                row, column,
                new QTableWidgetItem(QStringLiteral("今日はいい天気ですね。%1").arg(row)));
    table.resize(664, 480);
    table.show();
    return application.exec();
}

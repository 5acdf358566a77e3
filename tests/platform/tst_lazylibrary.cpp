#include "platform/LazyLibrary.h"

#include <QTest>

#include <cmath>

// Declared only: the libraries below are asked for it and must not have it.
extern "C" double lessora_no_such_function(double);

namespace lessora {
namespace {

#define MATH_FUNCTIONS(F) F(cos) F(sqrt)
struct MathLibrary : LazyLibrary {
    MATH_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    MathLibrary()
        : LazyLibrary("m", 6) {
        MATH_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

#define INCOMPLETE_FUNCTIONS(F) F(cos) F(lessora_no_such_function)
struct IncompleteLibrary : LazyLibrary {
    INCOMPLETE_FUNCTIONS(LESSORA_LAZY_FUNCTION)
    IncompleteLibrary()
        : LazyLibrary("m", 6) {
        INCOMPLETE_FUNCTIONS(LESSORA_LAZY_RESOLVE)
    }
};

struct MissingLibrary : LazyLibrary {
    LESSORA_LAZY_FUNCTION(cos)
    MissingLibrary()
        : LazyLibrary("lessora-no-such-library", 1) {
        LESSORA_LAZY_RESOLVE(cos)
    }
};

} // namespace

class TestLazyLibrary : public QObject {
    Q_OBJECT

private slots:
    void loadsAndCallsThroughTheNamedFunctions() {
        const MathLibrary math;
        QVERIFY2(math.isLoaded(), qPrintable(math.problem()));
        QCOMPARE(math.cos(0.0), 1.0);
        QCOMPARE(math.sqrt(16.0), 4.0);
    }

    // Callers take isLoaded() == false as "not installed" and show problem() to the user.
    void aMissingLibraryOrFunctionIsReportedNotCalled() {
        const MissingLibrary missing;
        QVERIFY(!missing.isLoaded());
        QVERIFY(missing.problem().contains(QStringLiteral("lessora-no-such-library")));
        QVERIFY(!missing.cos);

        const IncompleteLibrary incomplete;
        QVERIFY(!incomplete.isLoaded());
        QVERIFY(incomplete.problem().contains(QStringLiteral("lessora_no_such_function")));
    }
};

} // namespace lessora

QTEST_GUILESS_MAIN(lessora::TestLazyLibrary)
#include "tst_lazylibrary.moc"

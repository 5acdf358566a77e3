#pragma once

#include <QCoreApplication>
#include <QLibrary>
#include <QString>

namespace lessora {

// A system library loaded the first time it is needed rather than with the program, so that
// starting does not map, relocate and initialise what a run may never use (the sound server's
// client with its codecs, a synthesiser of voices nobody chose).
//
// A user lists the library's functions once and derives from this class:
//
//   #define PULSE_FUNCTIONS(F) F(pa_context_new) F(pa_context_unref)
//   struct PulseLibrary : LazyLibrary {
//       PULSE_FUNCTIONS(LESSORA_LAZY_FUNCTION)
//       PulseLibrary() : LazyLibrary("pulse", 0) { PULSE_FUNCTIONS(LESSORA_LAZY_RESOLVE) }
//   };
//
// and keeps one instance for the process (a function-local static is loaded once, by the
// first thread that asks). Each function is then called through its member of the same name.
class LazyLibrary {
public:
    // Whether the library and every listed function were found.
    bool isLoaded() const { return m_problem.isEmpty(); }
    // Why not, for a message; empty when it was.
    const QString& problem() const { return m_problem; }

protected:
    LazyLibrary(const char* name, int majorVersion)
        : m_library(QString::fromLatin1(name), majorVersion) {
        // The library stays for the process's life, as a linked one would.
        m_library.setLoadHints(QLibrary::PreventUnloadHint);
        if (!m_library.load())
            m_problem = m_library.errorString();
    }
    ~LazyLibrary() = default;
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    template <typename Function> void resolve(const char* symbol, Function*& function) {
        if (!m_problem.isEmpty())
            return;
        function = reinterpret_cast<Function*>(m_library.resolve(symbol));
        if (!function) // QLibrary gives no reason for a missing symbol
            m_problem = QCoreApplication::translate("Platform", "%1 に %2 がありません")
                            .arg(m_library.fileName(), QString::fromLatin1(symbol));
    }

private:
    QLibrary m_library;
    QString m_problem;
};

} // namespace lessora

// A member named after the library's function, pointing to it once resolved.
#define LESSORA_LAZY_FUNCTION(name) decltype(&::name) name = nullptr;
// Resolves that member; for the derived class's constructor.
#define LESSORA_LAZY_RESOLVE(name) resolve(#name, name);

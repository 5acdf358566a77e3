#pragma once

#include <QWidget>

#include <initializer_list>
#include <utility>

namespace lessora {

// The windows lay their controls out at fixed positions, as the user knows them.
template <typename W> W* place(W* widget, int x, int y, int w, int h) {
    widget->setGeometry(x, y, w, h);
    return widget;
}

// Each control's object name is its member name, so that tests and accessibility tools find it.
inline void setObjectNames(std::initializer_list<std::pair<QObject*, const char*>> controls) {
    for (const auto& [control, name] : controls)
        control->setObjectName(QLatin1String(name));
}

} // namespace lessora

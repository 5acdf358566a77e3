#pragma once

#include <QObject>
#include <QtGlobal>

namespace lessora {

// The child of `parent` of type T with that object name: the control a test works with, found
// as a user's tools find it. A name that is missing stops the test with the name, instead of a
// crash on a null pointer.
template <typename T> T* control(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("%s has no %s named \"%s\"", parent.metaObject()->className(),
               T::staticMetaObject.className(), name);
    return found;
}

} // namespace lessora

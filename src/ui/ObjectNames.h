#pragma once

#include <initializer_list>
#include <utility>

#include <QObject>
#include <QString>

namespace kvalor {

// Tests (findChild) and accessibility tools find controls and actions by their names, without
// an accessor of their own.

// The new object, named where it is made.
template <class T>
T* Named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// Objects made elsewhere, named in one place.
void nameObjects(std::initializer_list<std::pair<QObject*, const char*>> objects);

}  // namespace kvalor

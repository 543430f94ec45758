#pragma once

#include <QString>

namespace kvalor {

// The new object, named: tests find the controls of a window by their names.
template <class T>
T* Named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

}  // namespace kvalor

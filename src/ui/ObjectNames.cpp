#include "ui/ObjectNames.h"

#include <QObject>
#include <QString>

namespace kvalor {

void nameObjects(std::initializer_list<std::pair<QObject*, const char*>> objects) {
    for (const auto& [object, name] : objects) {
        object->setObjectName(QString::fromLatin1(name));
    }
}

}  // namespace kvalor

#pragma once

#include <QString>

namespace kvalor {

// The program's name: the caption of its main window and of its own message boxes.
inline const QString kProgramCaption = QStringLiteral("Квалор");

}  // namespace kvalor

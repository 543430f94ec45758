#pragma once

#include <QString>
#include <functional>

namespace kvalor {

// Opens a file in the desktop's application for its type and tells whether one took it. Tests
// put their own in place, since nothing of the desktop can be seen headless.
using FileOpener = std::function<bool(const QString& fileName)>;

// Installs the opener (an empty one goes back to the desktop's) and returns the one before.
FileOpener setFileOpener(FileOpener opener);

// Opens a written workbook for the user. When no application takes it, raises "Ошибка
// инициализации Excel" saying where the file is, so that the user can still open it.
void OpenWorkbook(const QString& fileName);

}  // namespace kvalor

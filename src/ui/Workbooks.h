#pragma once

#include <QString>
#include <functional>

namespace kvalor {

// Opens a file in the desktop's application for its type and tells through done whether one
// took it: at once, or once the desktop's opener has finished. Tests put their own in place,
// since nothing of the desktop can be seen headless.
using FileOpener =
    std::function<void(const QString& fileName, std::function<void(bool opened)> done)>;

// Installs the opener (an empty one goes back to the desktop's) and returns the one before.
FileOpener setFileOpener(FileOpener opener);

// What the user is asked when no application opened the workbook in the file.
QString WorkbookNotOpenedQuestion(const QString& fileName);

// Opens a written workbook for the user. When no application takes it, says where the file
// is and offers to save it where the user chooses, suggesting suggestedName (the file's own
// name when empty).
void OpenWorkbook(const QString& fileName, const QString& suggestedName = {});

}  // namespace kvalor

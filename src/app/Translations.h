#pragma once

class QTranslator;

namespace kvalor {

// Loads Qt's own Russian texts (the file dialogs' columns and buttons, the context menus of
// text fields) from the translations that come with Qt, so that no English shows through the
// Russian windows. Returns the installed translator (the application owns it; deleting it
// takes the texts back), or nullptr when they are not installed and the program runs as it is.
QTranslator* InstallQtTranslations();

}  // namespace kvalor

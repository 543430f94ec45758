#pragma once

#include <optional>

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QDialog;

namespace kvalor {

// Everything a window asks the user goes through this interface, never through message boxes,
// input or file dialogs or exec() of its own: the program installs the Qt implementation, tests
// install a scripted one, so that every window can be driven without a screen.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal message box; returns the button the user chose. defaultButton is the one Enter
    // presses, named by every caller so that no question that destroys data can forget it
    // (those default to No); Escape presses No or Cancel.
    virtual QMessageBox::StandardButton ask(const QString& text, const QString& caption,
                                            QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) = 0;
    // A modal message box with a single OK button.
    virtual void inform(const QString& text, const QString& caption, QMessageBox::Icon icon) = 0;
    // A one-line text input; nullopt when the user cancels.
    virtual std::optional<QString> inputBox(const QString& caption, const QString& prompt,
                                            const QString& defaultText) = 0;
    // A one-line input that shows passwordChar for every character (a null char shows the text),
    // starting with value selected; nullopt when the user cancels.
    virtual std::optional<QString> passwordInputBox(const QString& caption, const QString& prompt,
                                                    const QString& value, QChar passwordChar) = 0;
    // Files chosen to open (several may be chosen); empty when the user cancels. The filter is
    // in Qt's form, e.g. "Файлы *.exd (*.exd)".
    virtual QStringList openFiles(const QString& caption, const QString& filter,
                                  QFileDialog::Options options) = 0;
    // The file to save to; empty when the user cancels. defaultSuffix (without the dot) is added
    // when the user types a name without an extension; empty adds nothing.
    virtual QString saveFile(const QString& caption, const QString& filter,
                             const QString& defaultName, const QString& defaultSuffix) = 0;
    // Shows the dialog modally and returns its result (QDialog::Accepted, Rejected or the value
    // given to done()).
    virtual int runModal(QDialog& dialog) = 0;
};

// Asks "Да"/"Нет" before something that cannot be undone; Enter and Escape both answer "Нет".
// True when the user chose "Да".
bool confirmDestructive(const QString& text, const QString& caption, QMessageBox::Icon icon);

// The installed prompts; the Qt implementation when none is installed.
Prompts& prompts();
// Installs p (nullptr goes back to the Qt implementation) and returns the one installed before,
// so that a caller can put it back.
Prompts* setPrompts(Prompts* p);

}  // namespace kvalor

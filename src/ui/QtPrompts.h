#pragma once

#include <QDialogButtonBox>
#include <QMessageBox>

#include "ui/Prompts.h"

namespace kvalor {

// The prompts of the running program: Qt's message boxes, input and file dialogs, and exec().
// Qt ships no Russian texts for its standard buttons here, so they are set in one place.
class QtPrompts : public Prompts {
public:
    QMessageBox::StandardButton ask(const QString& text, const QString& caption,
                                    QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override;
    void inform(const QString& text, const QString& caption, QMessageBox::Icon icon) override;
    std::optional<QString> inputBox(const QString& caption, const QString& prompt,
                                    const QString& defaultText) override;
    std::optional<QString> passwordInputBox(const QString& caption, const QString& prompt,
                                            const QString& value, QChar passwordChar) override;
    QStringList openFiles(const QString& caption, const QString& filter,
                          QFileDialog::Options options) override;
    QString saveFile(const QString& caption, const QString& filter, const QString& defaultName,
                     const QString& defaultSuffix) override;
    int runModal(QDialog& dialog) override;
};

// The Russian caption of a standard button ("Да", "Нет", "OK", "Отмена", ...); the values of
// QMessageBox::StandardButton and QDialogButtonBox::StandardButton are the same.
QString standardButtonText(QMessageBox::StandardButton button);
// Gives the standard buttons of a button box their Russian captions, so that the program's own
// dialogs read like its message boxes.
void setRussianButtonTexts(QDialogButtonBox& buttons);
// Makes the input field of a small box, and so the box, wide enough for the box's whole
// caption in the program's font (title bars do not wrap), but never wider than the screen.
void fitToCaption(QWidget& field, const QString& caption);

}  // namespace kvalor

#pragma once

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace kvalor {

// A small modal box laid out like the standard text input box: the prompt above one field of
// at most 255 characters that shows the password character for every typed character and
// starts with the given value selected, OK (default) and Cancel below. Centred on the screen.
class PasswordInputDialog : public QDialog {
    Q_OBJECT
public:
    PasswordInputDialog(const QString& caption, const QString& prompt, const QString& value,
                        QChar passwordChar, QWidget* parent = nullptr);

    QString text() const;

    QDialogButtonBox* buttons() const { return buttons_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* promptLabel_;
    QLineEdit* edit_;
    QDialogButtonBox* buttons_;
};

// Asks through the installed prompts. OK copies the text into value and returns true; anything
// else returns false and leaves value alone.
bool PasswordInputBox(const QString& caption, const QString& prompt, QString& value,
                      QChar passwordChar);

}  // namespace kvalor

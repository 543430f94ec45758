#include "ui/QtPrompts.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QScreen>

#include "ui/PasswordInputBox.h"

namespace kvalor {

namespace {

// Boxes open over the window the user works in, so that they are centred on it.
QWidget* promptParent() {
    return QApplication::activeWindow();
}

QMessageBox::StandardButton runMessageBox(const QString& text, const QString& caption,
                                          QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, caption, text, buttons, promptParent());
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    // Texts carry data (names, file names); a "<" in them must not turn them into markup.
    box.setTextFormat(Qt::PlainText);
    for (QAbstractButton* button : box.buttons()) {
        const QString russian = standardButtonText(box.standardButton(button));
        if (!russian.isEmpty()) {
            button->setText(russian);
        }
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void setRussianFileDialogLabels(QFileDialog& dialog, const QString& acceptText) {
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Тип файлов:"));
    dialog.setLabelText(QFileDialog::Accept, acceptText);
    dialog.setLabelText(QFileDialog::Reject, standardButtonText(QMessageBox::Cancel));
}

}  // namespace

QString standardButtonText(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Ok:
            return QStringLiteral("OK");
        case QMessageBox::Cancel:
            return QStringLiteral("Отмена");
        case QMessageBox::Yes:
            return QStringLiteral("Да");
        case QMessageBox::No:
            return QStringLiteral("Нет");
        case QMessageBox::Abort:
            return QStringLiteral("Прервать");
        case QMessageBox::Retry:
            return QStringLiteral("Повторить");
        case QMessageBox::Ignore:
            return QStringLiteral("Пропустить");
        case QMessageBox::Close:
            return QStringLiteral("Закрыть");
        case QMessageBox::Save:
            return QStringLiteral("Сохранить");
        case QMessageBox::Open:
            return QStringLiteral("Открыть");
        default:
            return {};
    }
}

void setRussianButtonTexts(QDialogButtonBox& buttons) {
    for (QAbstractButton* button : buttons.buttons()) {
        const auto standard =
            static_cast<QMessageBox::StandardButton>(buttons.standardButton(button));
        const QString russian = standardButtonText(standard);
        if (!russian.isEmpty()) {
            button->setText(russian);
        }
    }
}

QMessageBox::StandardButton QtPrompts::ask(const QString& text, const QString& caption,
                                           QMessageBox::Icon icon,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) {
    return runMessageBox(text, caption, icon, buttons, defaultButton);
}

void QtPrompts::inform(const QString& text, const QString& caption, QMessageBox::Icon icon) {
    runMessageBox(text, caption, icon, QMessageBox::Ok, QMessageBox::Ok);
}

void fitToCaption(QWidget& field, const QString& caption) {
    // Room for the title bar's icon and buttons beside the text.
    const QFontMetrics metrics = field.fontMetrics();
    const int wanted = metrics.horizontalAdvance(caption) + 6 * metrics.height();
    const QScreen* screen = field.screen();
    const int screenWidth = screen ? screen->availableGeometry().width() * 9 / 10 : wanted;
    field.setMinimumWidth(std::max(field.minimumWidth(), std::min(wanted, screenWidth)));
}

std::optional<QString> QtPrompts::inputBox(const QString& caption, const QString& prompt,
                                           const QString& defaultText) {
    QInputDialog dialog(promptParent());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setOkButtonText(standardButtonText(QMessageBox::Ok));
    dialog.setCancelButtonText(standardButtonText(QMessageBox::Cancel));
    if (auto* field = dialog.findChild<QLineEdit*>()) {
        fitToCaption(*field, caption);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

std::optional<QString> QtPrompts::passwordInputBox(const QString& caption, const QString& prompt,
                                                   const QString& value, QChar passwordChar) {
    PasswordInputDialog dialog(caption, prompt, value, passwordChar, promptParent());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.text();
}

QStringList QtPrompts::openFiles(const QString& caption, const QString& filter,
                                 QFileDialog::Options options) {
    QFileDialog dialog(promptParent(), caption, QString(), filter);
    dialog.setOptions(options);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    setRussianFileDialogLabels(dialog, standardButtonText(QMessageBox::Open));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

QString QtPrompts::saveFile(const QString& caption, const QString& filter,
                            const QString& defaultName, const QString& defaultSuffix) {
    QFileDialog dialog(promptParent(), caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!defaultName.isEmpty()) {
        dialog.selectFile(defaultName);
    }
    setRussianFileDialogLabels(dialog, standardButtonText(QMessageBox::Save));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

int QtPrompts::runModal(QDialog& dialog) {
    return dialog.exec();
}

}  // namespace kvalor

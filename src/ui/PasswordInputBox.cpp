#include "ui/PasswordInputBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "ui/QtPrompts.h"

namespace kvalor {

namespace {

constexpr int kMaxPasswordLength = 255;

}  // namespace

PasswordInputDialog::PasswordInputDialog(const QString& caption, const QString& prompt,
                                         const QString& value, QChar passwordChar, QWidget* parent)
    : QDialog(parent),
      promptLabel_(new QLabel(prompt, this)),
      edit_(new QLineEdit(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setMinimumWidth(320);
    fitToCaption(*edit_, caption);
    nameObjects({{promptLabel_, "promptLabel"}, {edit_, "edit"}});
    promptLabel_->setWordWrap(true);

    promptLabel_->setBuddy(edit_);
    edit_->setMaxLength(kMaxPasswordLength);
    if (passwordChar.isNull()) {
        edit_->setEchoMode(QLineEdit::Normal);
    } else {
        edit_->setEchoMode(QLineEdit::Password);
        // Qt has no setter for the echo character; the style sheet property is the supported way.
        edit_->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: %1; }")
                                 .arg(passwordChar.unicode()));
    }
    edit_->setText(value);
    edit_->selectAll();

    setRussianButtonTexts(*buttons_);
    QPushButton* ok = buttons_->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(promptLabel_);
    layout->addWidget(edit_);
    layout->addWidget(buttons_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString PasswordInputDialog::text() const {
    return edit_->text();
}

void PasswordInputDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* target = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(target->availableGeometry().center());
        move(frame.topLeft());
    }
    edit_->setFocus();
}

bool PasswordInputBox(const QString& caption, const QString& prompt, QString& value,
                      QChar passwordChar) {
    const std::optional<QString> answer =
        prompts().passwordInputBox(caption, prompt, value, passwordChar);
    if (!answer) {
        return false;
    }
    value = *answer;
    return true;
}

}  // namespace kvalor

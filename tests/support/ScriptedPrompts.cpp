#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>
#include <QPointer>

namespace kvalor {

namespace {

QString kindName(ScriptedPrompts::Kind kind) {
    switch (kind) {
        case ScriptedPrompts::Kind::Ask:
            return QStringLiteral("ask");
        case ScriptedPrompts::Kind::Inform:
            return QStringLiteral("inform");
        case ScriptedPrompts::Kind::InputBox:
            return QStringLiteral("inputBox");
        case ScriptedPrompts::Kind::PasswordInputBox:
            return QStringLiteral("passwordInputBox");
        case ScriptedPrompts::Kind::OpenFiles:
            return QStringLiteral("openFiles");
        case ScriptedPrompts::Kind::SaveFile:
            return QStringLiteral("saveFile");
        case ScriptedPrompts::Kind::RunModal:
            return QStringLiteral("runModal");
    }
    return {};
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// What the user would do to get rid of a box nobody expected: Cancel, else No.
QMessageBox::StandardButton cancellingButton(QMessageBox::StandardButtons buttons) {
    for (const auto button : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Close,
                              QMessageBox::Abort, QMessageBox::Ignore, QMessageBox::Ok}) {
        if (buttons.testFlag(button)) {
            return button;
        }
    }
    return QMessageBox::NoButton;
}

template <class T>
void checkDetail(const char* what, const std::optional<T>& expected, const T& actual,
                 const QString& prompt) {
    if (expected && *expected != actual) {
        ADD_FAILURE() << "scripted prompt " << utf8(prompt) << ": " << what << " differs";
    }
}

}  // namespace

QString ScriptedPrompts::Prompt::describe() const {
    QString result = kindName(kind);
    switch (kind) {
        case Kind::Ask:
        case Kind::Inform:
            result += QLatin1Char(' ') + quoted(text);
            break;
        case Kind::InputBox:
        case Kind::PasswordInputBox:
            result += QLatin1Char(' ') + quoted(caption) + QStringLiteral(" / ") + quoted(text);
            break;
        case Kind::OpenFiles:
        case Kind::SaveFile:
            result += QLatin1Char(' ') + quoted(caption);
            break;
        case Kind::RunModal:
            result += QLatin1Char(' ') + dialogClass;
            break;
    }
    if (kind == Kind::Ask || kind == Kind::Inform) {
        result += QStringLiteral(" (caption ") + quoted(caption) + QLatin1Char(')');
    }
    return result;
}

ScriptedPrompts::Step& ScriptedPrompts::Step::caption(const QString& expected) {
    caption_ = expected;
    return *this;
}

ScriptedPrompts::Step& ScriptedPrompts::Step::icon(QMessageBox::Icon expected) {
    icon_ = expected;
    return *this;
}

ScriptedPrompts::Step& ScriptedPrompts::Step::buttons(QMessageBox::StandardButtons expected) {
    buttons_ = expected;
    return *this;
}

ScriptedPrompts::Step& ScriptedPrompts::Step::defaultButton(QMessageBox::StandardButton expected) {
    defaultButton_ = expected;
    return *this;
}

ScriptedPrompts::Step& ScriptedPrompts::Step::prompt(const QString& expected) {
    prompt_ = expected;
    return *this;
}

ScriptedPrompts::Step& ScriptedPrompts::Step::value(const QString& expected) {
    value_ = expected;
    return *this;
}

ScriptedPrompts::Step& ScriptedPrompts::Step::filter(const QString& expected) {
    filter_ = expected;
    return *this;
}

bool ScriptedPrompts::Step::takes(const Prompt& prompt) const {
    if (prompt.kind != kind_) {
        return false;
    }
    switch (kind_) {
        case Kind::Ask:
        case Kind::Inform:
            return prompt.text == key_;
        case Kind::InputBox:
        case Kind::PasswordInputBox:
            return prompt.caption == key_;
        case Kind::RunModal:
            return prompt.dialogClass == key_;
        case Kind::OpenFiles:
        case Kind::SaveFile:
            return true;
    }
    return false;
}

void ScriptedPrompts::Step::checkDetails(const Prompt& prompt) const {
    const QString shown = prompt.describe();
    checkDetail("caption", caption_, prompt.caption, shown);
    checkDetail("icon", icon_, prompt.icon, shown);
    checkDetail("buttons", buttons_, prompt.buttons, shown);
    checkDetail("default button", defaultButton_, prompt.defaultButton, shown);
    checkDetail("prompt", prompt_, prompt.text, shown);
    checkDetail("value", value_, prompt.value, shown);
    checkDetail("filter", filter_, prompt.filter, shown);
}

QString ScriptedPrompts::Step::describe() const {
    const bool quoteKey = kind_ != Kind::RunModal;
    return kindName(kind_) + QLatin1Char(' ') + (quoteKey ? quoted(key_) : key_);
}

ScriptedPrompts::ScriptedPrompts() : previous_(setPrompts(this)) {}

ScriptedPrompts::~ScriptedPrompts() {
    verify();
    setPrompts(previous_);
}

ScriptedPrompts::Step& ScriptedPrompts::add(Kind kind, const QString& key) {
    Step& step = steps_.emplace_back();
    step.kind_ = kind;
    step.key_ = key;
    return step;
}

ScriptedPrompts::Step& ScriptedPrompts::addText(Kind kind, const QString& key,
                                                std::optional<QString> answer) {
    Step& step = add(kind, key);
    step.text_ = std::move(answer);
    return step;
}

ScriptedPrompts::Step& ScriptedPrompts::addModal(const char* className,
                                                 std::function<void(QDialog&)> drive) {
    Step& step = add(Kind::RunModal, QString::fromLatin1(className));
    step.drive_ = std::move(drive);
    return step;
}

ScriptedPrompts::Step& ScriptedPrompts::expectAsk(const QString& text,
                                                  QMessageBox::StandardButton answer) {
    Step& step = add(Kind::Ask, text);
    step.button_ = answer;
    return step;
}

ScriptedPrompts::Step& ScriptedPrompts::expectInform(const QString& text) {
    return add(Kind::Inform, text);
}

ScriptedPrompts::Step& ScriptedPrompts::expectError(const QString& shownText) {
    return expectInform(shownText).caption(QStringLiteral("Квалор")).icon(QMessageBox::Critical);
}

ScriptedPrompts::Step& ScriptedPrompts::expectInputBox(const QString& caption,
                                                       std::optional<QString> answer) {
    return addText(Kind::InputBox, caption, std::move(answer));
}

ScriptedPrompts::Step& ScriptedPrompts::expectPasswordInputBox(const QString& caption,
                                                               std::optional<QString> answer) {
    return addText(Kind::PasswordInputBox, caption, std::move(answer));
}

ScriptedPrompts::Step& ScriptedPrompts::expectOpenFiles(const QStringList& answer) {
    Step& step = add(Kind::OpenFiles, QString());
    step.files_ = answer;
    return step;
}

ScriptedPrompts::Step& ScriptedPrompts::expectSaveFile(const QString& answer) {
    return addText(Kind::SaveFile, QString(), answer);
}

void ScriptedPrompts::verify() {
    for (const Step& step : steps_) {
        ADD_FAILURE() << "scripted prompt was never shown: " << utf8(step.describe());
    }
    steps_.clear();
}

std::optional<ScriptedPrompts::Step> ScriptedPrompts::take(Prompt prompt) {
    seen_.push_back(std::move(prompt));
    const Prompt& shown = seen_.back();
    if (steps_.empty() || !steps_.front().takes(shown)) {
        ADD_FAILURE() << "unexpected prompt: " << utf8(shown.describe()) << "; next in the script: "
                      << (steps_.empty() ? std::string("nothing")
                                         : utf8(steps_.front().describe()));
        return std::nullopt;
    }
    // Taken off the script before it is answered: a modal dialog may prompt in turn.
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step.checkDetails(shown);
    return step;
}

QMessageBox::StandardButton ScriptedPrompts::ask(const QString& text, const QString& caption,
                                                 QMessageBox::Icon icon,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton) {
    Prompt prompt;
    prompt.kind = Kind::Ask;
    prompt.text = text;
    prompt.caption = caption;
    prompt.icon = icon;
    prompt.buttons = buttons;
    prompt.defaultButton = defaultButton;
    const std::optional<Step> step = take(std::move(prompt));
    if (!step) {
        return cancellingButton(buttons);
    }
    if (!buttons.testFlag(step->button_)) {
        ADD_FAILURE() << "scripted answer is not a button of " << utf8(text);
    }
    return step->button_;
}

void ScriptedPrompts::inform(const QString& text, const QString& caption, QMessageBox::Icon icon) {
    Prompt prompt;
    prompt.kind = Kind::Inform;
    prompt.text = text;
    prompt.caption = caption;
    prompt.icon = icon;
    take(std::move(prompt));
}

std::optional<QString> ScriptedPrompts::inputBox(const QString& caption, const QString& prompt,
                                                 const QString& defaultText) {
    Prompt shown;
    shown.kind = Kind::InputBox;
    shown.text = prompt;
    shown.caption = caption;
    shown.value = defaultText;
    const std::optional<Step> step = take(std::move(shown));
    return step ? step->text_ : std::nullopt;
}

std::optional<QString> ScriptedPrompts::passwordInputBox(const QString& caption,
                                                         const QString& prompt,
                                                         const QString& value, QChar passwordChar) {
    Prompt shown;
    shown.kind = Kind::PasswordInputBox;
    shown.text = prompt;
    shown.caption = caption;
    shown.value = value;
    shown.passwordChar = passwordChar;
    const std::optional<Step> step = take(std::move(shown));
    return step ? step->text_ : std::nullopt;
}

QStringList ScriptedPrompts::openFiles(const QString& caption, const QString& filter,
                                       QFileDialog::Options options) {
    Prompt prompt;
    prompt.kind = Kind::OpenFiles;
    prompt.caption = caption;
    prompt.filter = filter;
    prompt.options = options;
    const std::optional<Step> step = take(std::move(prompt));
    return step ? step->files_ : QStringList();
}

QString ScriptedPrompts::saveFile(const QString& caption, const QString& filter,
                                  const QString& defaultName, const QString& defaultSuffix) {
    Prompt prompt;
    prompt.kind = Kind::SaveFile;
    prompt.caption = caption;
    prompt.filter = filter;
    prompt.value = defaultName;
    prompt.defaultSuffix = defaultSuffix;
    const std::optional<Step> step = take(std::move(prompt));
    return step ? step->text_.value_or(QString()) : QString();
}

int ScriptedPrompts::runModal(QDialog& dialog) {
    Prompt prompt;
    prompt.kind = Kind::RunModal;
    prompt.dialogClass = QString::fromLatin1(dialog.metaObject()->className());
    const std::optional<Step> step = take(std::move(prompt));
    if (!step) {
        return QDialog::Rejected;
    }
    // A dialog that deletes itself on closing may be gone once the script has closed it; its
    // result then comes from its last finished signal.
    QPointer<QDialog> alive(&dialog);
    int finishedWith = QDialog::Rejected;
    const QMetaObject::Connection finished = QObject::connect(
        &dialog, &QDialog::finished, [&finishedWith](int result) { finishedWith = result; });
    // As exec() does: a fresh result, and the dialog on screen while the user works with it.
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    step->drive_(dialog);
    if (alive && dialog.isVisible()) {
        ADD_FAILURE() << "the script left the dialog " << utf8(step->describe()) << " open";
        dialog.done(QDialog::Rejected);
    }
    if (!alive) {
        return finishedWith;
    }
    QObject::disconnect(finished);
    return dialog.result();
}

}  // namespace kvalor

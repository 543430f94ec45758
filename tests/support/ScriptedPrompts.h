#pragma once

#include <concepts>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include "ui/Prompts.h"

namespace kvalor {

// Answers the prompts of the code under test from a script, in order, and fails the test on a
// prompt the script does not expect next, or when the test ends with steps left over.
//
//     ScriptedPrompts prompts;                      // installs itself until it goes out of scope
//     prompts.expectAsk("Удалить объект ?", QMessageBox::Yes).icon(QMessageBox::Critical);
//     prompts.expectInputBox("Укажите количество вопросов", "5");
//     prompts.expectModal<TfmAuthorization>([](TfmAuthorization& d) { ...; d.accept(); });
//     prompts.expectError("Функция недоступна.");
//
// A prompt is taken as the next step when the kind agrees and, for message boxes, the text,
// for input boxes the caption, for modal dialogs the exact class; the optional checks of the
// step (caption, icon, ...) then fail the test on a difference but the scripted answer is
// still given. A prompt that is not the next step fails the test and gets the cancelling
// answer (Cancel or No, no text, no file, a rejected dialog that is never shown); the step
// stays for the next prompt.
class ScriptedPrompts : public Prompts {
public:
    enum class Kind { Ask, Inform, InputBox, PasswordInputBox, OpenFiles, SaveFile, RunModal };

    // One prompt as the code under test showed it.
    struct Prompt {
        Kind kind = Kind::Ask;
        QString text;     // message text, or the prompt of an input box
        QString caption;  // window caption
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QString value;  // default text, initial password, default file name
        QChar passwordChar;
        QString filter;
        QString defaultSuffix;
        QFileDialog::Options options;
        QString dialogClass;

        QString describe() const;
    };

    // One scripted step; the setters add checks of the prompt's details.
    class Step {
    public:
        Step& caption(const QString& expected);
        Step& icon(QMessageBox::Icon expected);
        Step& buttons(QMessageBox::StandardButtons expected);
        Step& defaultButton(QMessageBox::StandardButton expected);
        Step& prompt(const QString& expected);
        Step& value(const QString& expected);
        Step& filter(const QString& expected);

    private:
        friend class ScriptedPrompts;
        Kind kind_ = Kind::Ask;
        QString key_;  // text, caption or class name, depending on the kind
        std::optional<QString> caption_, prompt_, value_, filter_;
        std::optional<QMessageBox::Icon> icon_;
        std::optional<QMessageBox::StandardButtons> buttons_;
        std::optional<QMessageBox::StandardButton> defaultButton_;
        QMessageBox::StandardButton button_ = QMessageBox::NoButton;
        std::optional<QString> text_;
        QStringList files_;
        std::function<void(QDialog&)> drive_;

        bool takes(const Prompt& prompt) const;
        void checkDetails(const Prompt& prompt) const;
        QString describe() const;
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    Step& expectAsk(const QString& text, QMessageBox::StandardButton answer);
    Step& expectInform(const QString& text);
    // The program's error box: text as shown (with its full stop), caption "Квалор", error icon.
    Step& expectError(const QString& shownText);
    // nullopt answers Cancel.
    Step& expectInputBox(const QString& caption, std::optional<QString> answer);
    Step& expectPasswordInputBox(const QString& caption, std::optional<QString> answer);
    // An empty answer cancels.
    Step& expectOpenFiles(const QStringList& answer);
    Step& expectSaveFile(const QString& answer);

    // A dialog of exactly class D is shown modally: it is shown (so that its show handling
    // runs), then drive manipulates it and must close it (accept(), reject(), a click on its
    // button, ...); runModal returns its result. A dialog left open fails the test and is
    // rejected.
    template <class D, std::invocable<D&> F>
    Step& expectModal(F drive) {
        return addModal(D::staticMetaObject.className(),
                        [drive = std::move(drive)](QDialog& dialog) mutable {
                            drive(static_cast<D&>(dialog));
                        });
    }
    // A dialog of exactly class D is shown and closed at once with the result.
    template <class D>
    Step& expectModal(int result) {
        return addModal(D::staticMetaObject.className(),
                        [result](QDialog& dialog) { dialog.done(result); });
    }

    // Every prompt shown so far, expected or not.
    const std::vector<Prompt>& seen() const { return seen_; }
    bool finished() const { return steps_.empty(); }
    // Fails the test for every step that was not used, and forgets them.
    void verify();

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

private:
    Step& add(Kind kind, const QString& key);
    // A step answered with a text: an input box, or the name of the file to save.
    Step& addText(Kind kind, const QString& key, std::optional<QString> answer);
    Step& addModal(const char* className, std::function<void(QDialog&)> drive);
    // Records the prompt and takes the next step if it is the one; nullopt fails the test.
    std::optional<Step> take(Prompt prompt);

    std::deque<Step> steps_;  // a deque keeps the references handed out by expect... valid
    std::vector<Prompt> seen_;
    Prompts* previous_;
};

}  // namespace kvalor

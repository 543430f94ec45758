#pragma once

#include <string>

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kvalor {

class TCompetitor;
class TfmKvalor;

// The display name of an account from its name parts: "Иванов И.И.", "Иванов И." without a
// patronymic, the last name alone without a first name.
std::string CompetitorDisplayName(const std::string& lastName, const std::string& firstName,
                                  const std::string& patronymic);

// The user editor "Соискатель": the name parts, town, organisation and password of one account.
// It composes the display name, can split a full name typed into the last-name field, keeps
// the built-in staff accounts from users without the right, warns before a second account of
// the same name is saved, and changes a password: staff set it outright, anyone else only
// after giving the old one. Created once and reused: the caller loads an account, shows the
// dialog modally and reads the account afterwards. Closing it drops unsaved changes.
class TfmCompetitorEdit : public QDialog {
    Q_OBJECT
public:
    explicit TfmCompetitorEdit(QWidget* parent = nullptr);

    // Shows the account (nullptr: none); loading the account already shown does nothing.
    void Load(TCompetitor* account);
    TCompetitor* Account() const { return account_; }
    bool Modified() const { return modified_; }
    bool PasswordEdited() const { return passwordEdited_; }

    // However the dialog closes, it lets go of the account.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the fields from the account, clears both flags and disables "Сохранить".
    void FillFields();
    // Stores the fields, composes the display name and changes the password when it was
    // edited; refused for a built-in staff account the current user may not change.
    void btnSaveClick();
    void FieldChanged();
    void PasswordChanged();
    // While the setting is on, a full name typed into the last name (part 0) goes into the
    // last name, first name and patronymic, and first name and patronymic typed into the
    // first name (part 1) into those two.
    void NameEdited(int part);
    void UpdateSave();
    bool MayChange(const TCompetitor& account) const;
    // Whether the account may be saved under the name: at once when it keeps its name or no
    // other account has it, else when the user, told of the other one, says so (twins and
    // namesakes exist, but an unseen double cannot be told apart in the lists).
    bool NameMayBeShared(const std::string& name) const;
    // Staff set the new password outright; anyone else gives the old one first.
    void ChangePassword();

    TCompetitor* account_ = nullptr;
    bool modified_ = false;
    bool passwordEdited_ = false;

    QLineEdit* edLastName_;
    QLineEdit* edFirstName_;
    QLineEdit* edPatronymic_;
    QLineEdit* edTown_;
    QPlainTextEdit* edOrganization_;
    QLineEdit* edPassword_;
    QPushButton* btnSave_;
    QPushButton* btnClose_;
};

// The program's one user editor, owned by the main window: created at the first call.
TfmCompetitorEdit& competitorEditor(TfmKvalor& mainWindow);

}  // namespace kvalor

#pragma once

#include <QDialog>

#include "model/Authorization.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvalor {

// The login dialog "Авторизация": an account is picked from the list the caller gives
// (optionally narrowed by its group) and its password is checked before the dialog closes
// with OK. Created once and reused; the caller sets it up before every use:
//
//     login.SetFixedList(true);
//     login.SetEntries(entries);
//     login.PreselectEntry(0);                     // optional
//     if (prompts().runModal(login) == QDialog::Accepted) use(login.selectedEntry()->UserId);
class TfmAuthorization : public QDialog {
    Q_OBJECT
public:
    explicit TfmAuthorization(QWidget* parent = nullptr);

    // A fixed list offers no choice of group: the group list and its label are disabled.
    void SetFixedList(bool fixed);
    bool FixedList() const { return fixedList_; }

    // Copies the entries and fills the lists: every entry but the built-in applicant account
    // in the user list, the groups of the entries in the group list; nothing selected, the
    // password field empty.
    void SetEntries(const TAuthorizations& entries);
    const TAuthorizations& Entries() const { return entries_; }

    // Selects the user line of the entry at that index of the list and puts the focus in the
    // password field. An entry without a line selects nothing.
    void PreselectEntry(int entryIndex);

    // The entry of the selected user line, or nullptr when none is selected.
    const TAuthorization* selectedEntry() const;

    // The group line the user chose: the user list holds that group's accounts, or every
    // account again when no group line is selected.
    void GroupChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillLists();
    void AddUserLine(int entryIndex);
    void AddGroupLine(const QString& groupName);
    void UpdateOk();
    // Closes with OK when the password is that of the selected account.
    void btnOkClick();

    TAuthorizations entries_;
    bool fixedList_ = true;
    QLabel* lblGroup_;
    QComboBox* cbGroup_;
    QComboBox* cbUser_;
    QLineEdit* edPassword_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};

}  // namespace kvalor

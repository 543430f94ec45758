#pragma once

#include <unordered_set>

#include <QDialog>

#include "util/Guid.h"

class QPushButton;

namespace kvalor {

class TCompetitor;
class TfmAuthorization;
class TfmKvalor;

// The run-mode dialog "Режим загрузки": testing at once as the built-in applicant account, or
// administration after the login of a built-in staff account. The main window reads the run
// mode once the dialog has closed; the dialog's result means nothing.
class TfmRunMode : public QDialog {
    Q_OBJECT
public:
    TfmRunMode(TfmKvalor& mainWindow, TfmAuthorization& login);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Testing with the built-in applicant account current; without that account no account
    // is current and no run mode is chosen.
    void btnTestingClick();
    // The login of the built-in administrator or teacher account: administration as either.
    void btnAdministrationClick();
    void btnCloseClick();
    // A staff account without a password lets anyone administer: at its first login of the run
    // the user may give it one (or go on without), which is saved at once.
    void OfferPassword(TCompetitor& account);

    TfmKvalor& mainWindow_;
    TfmAuthorization& login_;
    QPushButton* btnSetting_;
    QPushButton* btnAdministration_;
    QPushButton* btnTesting_;
    QPushButton* btnClose_;
    // The accounts offered a password in this run: one offer is enough.
    std::unordered_set<Guid> passwordOffered_;
};

}  // namespace kvalor

#include "app/RunMode.h"

#include <QAction>
#include <QEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Authorization.h"
#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "ui/ErrorGuard.h"
#include "ui/Icons.h"
#include "ui/ObjectNames.h"
#include "ui/PasswordInputBox.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

constexpr QSize kButtonSize(240, 44);

QPushButton* modeButton(const QString& caption, ActionIcon icon) {
    auto* button = new QPushButton(actionIcon(icon), caption);
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(kButtonSize);
    // Enter presses the button that has the focus, as Space does.
    button->setAutoDefault(true);
    return button;
}

TAuthorization staffEntry(const TCompetitor& account) {
    TAuthorization entry;
    entry.UserName = account.GetName().substr(0, kAuthorizationNameLength);
    entry.UserId = account.Id();
    return entry;
}

}  // namespace

TfmRunMode::TfmRunMode(TfmKvalor& mainWindow, TfmAuthorization& login)
    : QDialog(&mainWindow),
      mainWindow_(mainWindow),
      login_(login),
      btnSetting_(modeButton(QStringLiteral("Настройка"), ActionIcon::Settings)),
      btnAdministration_(modeButton(QStringLiteral("Администрирование"), ActionIcon::RunMode)),
      btnTesting_(modeButton(QStringLiteral("Тестирование"), ActionIcon::Examination)),
      btnClose_(modeButton(QStringLiteral("Завершение работы"), ActionIcon::Exit)) {
    nameObjects({{btnSetting_, "btnSetting"},
                 {btnAdministration_, "btnAdministration"},
                 {btnTesting_, "btnTesting"},
                 {btnClose_, "btnClose"}});
    setWindowTitle(QStringLiteral("Режим загрузки"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(16, 16, 16, 16);
    for (QPushButton* button : {btnSetting_, btnAdministration_, btnTesting_, btnClose_}) {
        layout->addWidget(button);
    }
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnSetting_, &QPushButton::clicked, mainWindow_.actSetting(), &QAction::trigger);
    connect(btnAdministration_, &QPushButton::clicked, this,
            guard([this] { btnAdministrationClick(); }));
    connect(btnTesting_, &QPushButton::clicked, this, guard([this] { btnTestingClick(); }));
    connect(btnClose_, &QPushButton::clicked, this, guard([this] { btnCloseClick(); }));
}

void TfmRunMode::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded([this] { mainWindow_.CloseAllWorkingWindows(); });
}

void TfmRunMode::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        guarded([this] { mainWindow_.CloseAllWorkingWindows(); });
    }
}

void TfmRunMode::btnTestingClick() {
    TDM& module = dataModule();
    TKvalor& root = kvalorRoot();
    module.SetRunMode(TRunMode::Testing);
    TCompetitor* applicant = root.Users().Applicant();
    root.SetCurrentUser(applicant);
    if (!applicant) {
        module.SetRunMode(TRunMode::None);
    }
    accept();
}

void TfmRunMode::btnAdministrationClick() {
    TKvalor& root = kvalorRoot();
    TCompetitors& users = root.Users();
    users.EnsureBuiltins();
    // Without both staff accounts at the head of the list nobody can log in here; the empty
    // login then leaves only "Cancel".
    TAuthorizations entries;
    TCompetitor* administrator = users.Administrator();
    TCompetitor* teacher = users.Teacher();
    if (administrator && teacher) {
        entries = {staffEntry(*administrator), staffEntry(*teacher)};
    }
    login_.SetFixedList(true);
    login_.SetEntries(entries);
    if (prompts().runModal(login_) != QDialog::Accepted) {
        return;
    }
    const TAuthorization* chosen = login_.selectedEntry();
    auto* account = chosen ? dynamic_cast<TCompetitor*>(users.FindItem(chosen->UserId)) : nullptr;
    root.SetCurrentUser(account);
    if (account && account->Role() == kRoleAdministrator) {
        dataModule().SetRunMode(TRunMode::Administrator);
    } else if (account && account->Role() == kRoleTeacher) {
        dataModule().SetRunMode(TRunMode::Teacher);
    }
    accept();
    if (account) {
        OfferPassword(*account);
    }
}

void TfmRunMode::OfferPassword(TCompetitor& account) {
    // A password that no save would keep is no protection: a run that could not read the data
    // file does not offer one.
    if (!account.HasNoPassword() || !dataModule().DataLoaded() ||
        !passwordOffered_.insert(account.Id()).second) {
        return;
    }
    const QString name = fromCp1251(account.GetName());
    if (prompts().ask(QStringLiteral("У учётной записи «%1» нет пароля: войти в "
                                     "администрирование может любой.\nЗадать пароль сейчас?")
                          .arg(name),
                      kProgramCaption, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::Yes) != QMessageBox::Yes) {
        return;
    }
    const QString caption = QStringLiteral("Пароль «%1»").arg(name);
    QString password;
    for (;;) {
        password.clear();
        QString repeated;
        if (!PasswordInputBox(caption, QStringLiteral("Новый пароль:"), password, QChar('*')) ||
            password.isEmpty() ||
            !PasswordInputBox(caption, QStringLiteral("Повторите пароль:"), repeated, QChar('*'))) {
            return;
        }
        if (repeated == password) {
            break;
        }
        prompts().inform(QStringLiteral("Пароли не совпадают, введите их снова"),
                         QStringLiteral("Ошибка"), QMessageBox::Critical);
    }
    account.ChangePassword(password);
    dataModule().SaveDataFile();
    prompts().inform(dataModule().NetworkMode()
                         ? QStringLiteral("Пароль задан и сохранён на сервере")
                         : QStringLiteral("Пароль задан и сохранён в файле данных"),
                     QStringLiteral("Информация"), QMessageBox::Information);
}

void TfmRunMode::btnCloseClick() {
    reject();
    mainWindow_.actClose()->trigger();
}

}  // namespace kvalor

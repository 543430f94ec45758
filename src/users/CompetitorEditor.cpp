#include "users/CompetitorEditor.h"

#include <array>

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Inputs.h"
#include "ui/ObjectNames.h"
#include "ui/PasswordInputBox.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

// Stands in the password field for a password nobody has typed yet.
const QString kPasswordPlaceholder = QStringLiteral("        ");

QString fieldText(const TCompetitor& account, AccountField field) {
    return fromCp1251(account.GetField(field));
}

// The organisation as its box shows it: one line per stored line, whatever the line breaks.
QString organizationShown(const TCompetitor& account) {
    QString text = fieldText(account, AccountField::Organisation);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string stored(const QString& text) {
    return TrimText(toCp1251(text));
}

}  // namespace

std::string CompetitorDisplayName(const std::string& lastName, const std::string& firstName,
                                  const std::string& patronymic) {
    if (!firstName.empty() && !patronymic.empty()) {
        return lastName + ' ' + firstName.front() + '.' + patronymic.front() + '.';
    }
    if (!firstName.empty()) {
        return lastName + ' ' + firstName.front() + '.';
    }
    return lastName;
}

TfmCompetitorEdit::TfmCompetitorEdit(QWidget* parent)
    : QDialog(parent),
      edLastName_(Named(new QLineEdit, "edLastName")),
      edFirstName_(Named(new QLineEdit, "edFirstName")),
      edPatronymic_(Named(new QLineEdit, "edPatronymic")),
      edTown_(Named(new QLineEdit, "edTown")),
      edOrganization_(Named(new QPlainTextEdit, "edOrganization")),
      edPassword_(Named(new QLineEdit, "edPassword")),
      btnSave_(Named(new QPushButton(QStringLiteral("Сохранить")), "btnSave")),
      btnClose_(Named(new QPushButton(QStringLiteral("Закрыть")), "btnClose")) {
    setWindowTitle(QStringLiteral("Соискатель"));

    edOrganization_->setTabChangesFocus(true);
    edOrganization_->installEventFilter(this);
    edPassword_->setEchoMode(QLineEdit::Password);
    edPassword_->setStyleSheet(
        QStringLiteral("QLineEdit { lineedit-password-character: %1; }").arg(QChar('#').unicode()));
    QFont bold = edPassword_->font();
    bold.setBold(true);
    edPassword_->setFont(bold);
    edPassword_->installEventFilter(this);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Фамилия"), edLastName_);
    fields->addRow(QStringLiteral("Имя"), edFirstName_);
    fields->addRow(QStringLiteral("Отчество"), edPatronymic_);
    fields->addRow(QStringLiteral("Город"), edTown_);
    fields->addRow(QStringLiteral("Организация"), edOrganization_);
    fields->addRow(QStringLiteral("Пароль"), edPassword_);

    // Enter anywhere saves; the button is off while there is nothing to save.
    btnSave_->setDefault(true);
    btnSave_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSave_);
    buttons->addWidget(btnClose_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    for (QLineEdit* edit : {edLastName_, edFirstName_, edPatronymic_, edTown_}) {
        connect(edit, &QLineEdit::textChanged, this, guard([this] { FieldChanged(); }));
    }
    connect(edOrganization_, &QPlainTextEdit::textChanged, this, guard([this] { FieldChanged(); }));
    connect(edPassword_, &QLineEdit::textChanged, this, guard([this] { PasswordChanged(); }));
    // Only what the user types is split; a stored last name with a space stays as it is.
    connect(edLastName_, &QLineEdit::textEdited, this, guard([this] { NameEdited(0); }));
    connect(edFirstName_, &QLineEdit::textEdited, this, guard([this] { NameEdited(1); }));
    connect(btnSave_, &QPushButton::clicked, this, guard([this] { btnSaveClick(); }));
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);

    UpdateSave();
}

void TfmCompetitorEdit::Load(TCompetitor* account) {
    if (account == account_) {
        return;
    }
    account_ = account;
    FillFields();
}

void TfmCompetitorEdit::FillFields() {
    FillBlankEdits(this, QString());
    edPassword_->setText(kPasswordPlaceholder);
    edOrganization_->clear();
    if (account_) {
        edLastName_->setText(fieldText(*account_, AccountField::LastName));
        edFirstName_->setText(fieldText(*account_, AccountField::FirstName));
        edPatronymic_->setText(fieldText(*account_, AccountField::Patronymic));
        edTown_->setText(fieldText(*account_, AccountField::Town));
        edOrganization_->setPlainText(organizationShown(*account_));
        setWindowTitle(QStringLiteral("Соискатель %1").arg(fromCp1251(account_->GetName())));
    }
    modified_ = false;
    passwordEdited_ = false;
    UpdateSave();
}

void TfmCompetitorEdit::done(int result) {
    Load(nullptr);
    QDialog::done(result);
}

void TfmCompetitorEdit::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const int size = kvalorRoot().FontSize();
    if (size > 0 && FontSizeDiffers(edLastName_, size)) {
        ApplyFontSize(this, size);
    }
    // Three lines of the organisation in view, in the font it has now.
    edOrganization_->setFixedHeight(edOrganization_->fontMetrics().lineSpacing() * 3 +
                                    2 * edOrganization_->frameWidth() + 8);
    adjustSize();
    edLastName_->setFocus(Qt::TabFocusReason);
}

bool TfmCompetitorEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edOrganization_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // No line breaks are typed here: Enter goes to the dialog, as in the other fields.
            QApplication::sendEvent(this, event);
            return true;
        }
    }
    if (watched == edPassword_ && event->type() == QEvent::MouseButtonRelease && !passwordEdited_) {
        // Typing replaces the placeholder rather than adding to it, also after a click (Tab
        // selects the whole field anyway).
        edPassword_->selectAll();
    }
    return QDialog::eventFilter(watched, event);
}

void TfmCompetitorEdit::FieldChanged() {
    modified_ = true;
    UpdateSave();
}

void TfmCompetitorEdit::PasswordChanged() {
    modified_ = true;
    passwordEdited_ = true;
    UpdateSave();
}

void TfmCompetitorEdit::NameEdited(int part) {
    if (!kvalorRoot().AutoSplitName()) {
        return;
    }
    const std::array<QLineEdit*, 3> fields{edLastName_, edFirstName_, edPatronymic_};
    QString text = fields[static_cast<std::size_t>(part)]->text();
    while (text.contains(QStringLiteral("  "))) {
        text.replace(QStringLiteral("  "), QStringLiteral(" "));
    }
    const QStringList parts = SplitAtChars(text, QStringLiteral(" "));
    const auto count = static_cast<std::size_t>(parts.size());
    if (count < 2 || count > fields.size() - static_cast<std::size_t>(part)) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        fields[static_cast<std::size_t>(part) + i]->setText(parts[static_cast<qsizetype>(i)]);
    }
    // Typing goes on where the last part went, so that a full name typed key by key ends
    // up in its three fields.
    QLineEdit* last = fields[static_cast<std::size_t>(part) + count - 1];
    last->setFocus(Qt::OtherFocusReason);
    last->end(false);
}

void TfmCompetitorEdit::UpdateSave() {
    bool enabled = account_ && !TrimText(edLastName_->text()).isEmpty();
    if (enabled && !passwordEdited_) {
        const TCompetitor& account = *account_;
        enabled = edLastName_->text() != fieldText(account, AccountField::LastName) ||
                  edFirstName_->text() != fieldText(account, AccountField::FirstName) ||
                  edPatronymic_->text() != fieldText(account, AccountField::Patronymic) ||
                  edTown_->text() != fieldText(account, AccountField::Town) ||
                  edOrganization_->toPlainText() != organizationShown(account);
    }
    btnSave_->setEnabled(enabled);
}

bool TfmCompetitorEdit::MayChange(const TCompetitor& account) const {
    const TCompetitor* current = kvalorRoot().CurrentUser();
    const bool administrator = current && current->Id() == AdministratorAccountId();
    if (account.Id() == AdministratorAccountId()) {
        return administrator;
    }
    if (account.Id() == TeacherAccountId()) {
        return administrator || (current && current->Id() == TeacherAccountId());
    }
    return true;
}

void TfmCompetitorEdit::btnSaveClick() {
    if (!account_) {
        return;
    }
    TCompetitor& account = *account_;
    if (!MayChange(account)) {
        prompts().inform(QStringLiteral("Изменение данных невозможно"),
                         QStringLiteral("Нарушение прав"), QMessageBox::Warning);
        return;
    }
    if (!IsBuiltinAccountId(account.Id()) &&
        !NameMayBeShared(CompetitorDisplayName(stored(edLastName_->text()),
                                               stored(edFirstName_->text()),
                                               stored(edPatronymic_->text())))) {
        return;
    }
    account.SetField(AccountField::FirstName, stored(edFirstName_->text()));
    account.SetField(AccountField::LastName, stored(edLastName_->text()));
    account.SetField(AccountField::Patronymic, stored(edPatronymic_->text()));
    account.SetField(AccountField::Town, stored(edTown_->text()));
    account.SetField(AccountField::Organisation, stored(edOrganization_->toPlainText()));
    // The names of the built-in accounts are the ones every installation knows them by.
    if (!IsBuiltinAccountId(account.Id())) {
        account.SetName(CompetitorDisplayName(account.GetField(AccountField::LastName),
                                              account.GetField(AccountField::FirstName),
                                              account.GetField(AccountField::Patronymic)));
    }
    modified_ = false;
    if (passwordEdited_) {
        ChangePassword();
    }
    FillFields();
}

bool TfmCompetitorEdit::NameMayBeShared(const std::string& name) const {
    if (sameName(name, account_->GetName())) {
        return true;
    }
    for (const TExaminerElement* element :
         CollectItems(kvalorRoot().Users(), "TCompetitor", true)) {
        const auto* other = dynamic_cast<const TCompetitor*>(element);
        if (other && other != account_ && sameName(other->GetName(), name)) {
            return confirmDestructive(QStringLiteral("В списке уже есть соискатель %1.\nСохранить "
                                                     "ещё одного соискателя с тем же именем?")
                                          .arg(fromCp1251(NameWithPlace(*other, true))),
                                      QStringLiteral("Предупреждение"), QMessageBox::Warning);
        }
    }
    return true;
}

void TfmCompetitorEdit::ChangePassword() {
    const TRunMode runMode = dataModule().RunMode();
    if (runMode == TRunMode::Administrator || runMode == TRunMode::Teacher) {
        // Staff set a forgotten password anew without knowing it; the blanks count here too.
        account_->ChangePassword(edPassword_->text());
        prompts().inform(QStringLiteral("Пароль успешно изменен"), QStringLiteral("Информация"),
                         QMessageBox::Information);
        return;
    }
    QString oldPassword;
    if (!PasswordInputBox(QStringLiteral("Старый пароль"), QString(), oldPassword, QChar('#'))) {
        return;
    }
    // The whole field counts, blanks included: a password may begin or end with them.
    if (account_->CheckPassword(oldPassword)) {
        account_->ChangePassword(edPassword_->text());
        prompts().inform(QStringLiteral("Пароль успешно изменен"), QStringLiteral("Информация"),
                         QMessageBox::Information);
    } else {
        prompts().inform(QStringLiteral("Пароль не изменен"), QStringLiteral("Ошибка"),
                         QMessageBox::Critical);
    }
}

TfmCompetitorEdit& competitorEditor(TfmKvalor& mainWindow) {
    auto* editor = mainWindow.findChild<TfmCompetitorEdit*>(QString(), Qt::FindDirectChildrenOnly);
    if (!editor) {
        editor = new TfmCompetitorEdit(&mainWindow);
    }
    return *editor;
}

}  // namespace kvalor

#include "app/Authorization.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/BuiltinAccounts.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "ui/ErrorGuard.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"

namespace kvalor {

TfmAuthorization::TfmAuthorization(QWidget* parent)
    : QDialog(parent),
      lblGroup_(Named(new QLabel(QStringLiteral("Группа")), "lblGroup")),
      cbGroup_(Named(new QComboBox, "cbGroup")),
      cbUser_(Named(new QComboBox, "cbUser")),
      edPassword_(Named(new QLineEdit, "edPassword")),
      btnOk_(Named(new QPushButton(QStringLiteral("Ok")), "btnOk")),
      btnCancel_(Named(new QPushButton(QStringLiteral("Cancel")), "btnCancel")) {
    setWindowTitle(QStringLiteral("Авторизация"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    cbGroup_->setMinimumContentsLength(28);
    cbUser_->setMinimumContentsLength(28);
    cbGroup_->installEventFilter(this);
    edPassword_->setEchoMode(QLineEdit::Password);
    edPassword_->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

    auto* lblUser = new QLabel(QStringLiteral("Пользователь"));
    auto* lblPassword = new QLabel(QStringLiteral("Пароль"));
    lblGroup_->setBuddy(cbGroup_);
    lblUser->setBuddy(cbUser_);
    lblPassword->setBuddy(edPassword_);

    auto* fields = new QGridLayout;
    fields->addWidget(lblGroup_, 0, 0);
    fields->addWidget(cbGroup_, 0, 1);
    fields->addWidget(lblUser, 1, 0);
    fields->addWidget(cbUser_, 1, 1);
    fields->addWidget(lblPassword, 2, 0);
    fields->addWidget(edPassword_, 2, 1);
    fields->setColumnStretch(1, 1);

    btnOk_->setDefault(true);
    btnOk_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cbGroup_, &QComboBox::activated, this, guard([this] { GroupChosen(); }));
    connect(cbGroup_, &QComboBox::currentIndexChanged, this, [this] { UpdateOk(); });
    connect(cbUser_, &QComboBox::currentIndexChanged, this, [this] { UpdateOk(); });
    connect(btnOk_, &QPushButton::clicked, this, guard([this] { btnOkClick(); }));
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);

    SetFixedList(true);
}

void TfmAuthorization::SetFixedList(bool fixed) {
    fixedList_ = fixed;
    lblGroup_->setEnabled(!fixed);
    cbGroup_->setEnabled(!fixed);
}

void TfmAuthorization::SetEntries(const TAuthorizations& entries) {
    entries_ = entries;
    FillLists();
    (fixedList_ ? cbUser_ : cbGroup_)->setFocus();
}

void TfmAuthorization::FillLists() {
    cbGroup_->clear();
    cbUser_->clear();
    for (int index = 0; index < static_cast<int>(entries_.size()); ++index) {
        const TAuthorization& entry = entries_[static_cast<std::size_t>(index)];
        // The anonymous testing account never logs in by choice.
        if (entry.UserId == ApplicantAccountId()) {
            continue;
        }
        AddUserLine(index);
        if (!entry.GroupId.isNull()) {
            AddGroupLine(fromCp1251(entry.GroupName));
        }
    }
    cbGroup_->setCurrentIndex(-1);
    cbUser_->setCurrentIndex(-1);
    edPassword_->clear();
    UpdateOk();
}

void TfmAuthorization::AddUserLine(int entryIndex) {
    cbUser_->addItem(fromCp1251(entries_[static_cast<std::size_t>(entryIndex)].UserName),
                     entryIndex);
}

void TfmAuthorization::AddGroupLine(const QString& groupName) {
    int at = 0;
    for (; at < cbGroup_->count(); ++at) {
        const int order = compareNames(groupName, cbGroup_->itemText(at)) == 0
                              ? 0
                              : compareDisplayNames(groupName, cbGroup_->itemText(at));
        if (order == 0) {
            return;
        }
        if (order < 0) {
            break;
        }
    }
    cbGroup_->insertItem(at, groupName);
}

void TfmAuthorization::GroupChosen() {
    cbUser_->clear();
    if (cbGroup_->currentIndex() < 0) {
        FillLists();
        return;
    }
    const QString group = cbGroup_->currentText();
    for (int index = 0; index < static_cast<int>(entries_.size()); ++index) {
        if (fromCp1251(entries_[static_cast<std::size_t>(index)].GroupName) == group) {
            AddUserLine(index);
        }
    }
    cbUser_->setCurrentIndex(-1);
    UpdateOk();
}

void TfmAuthorization::PreselectEntry(int entryIndex) {
    cbUser_->setCurrentIndex(cbUser_->findData(entryIndex));
    edPassword_->setFocus();
}

const TAuthorization* TfmAuthorization::selectedEntry() const {
    if (cbUser_->currentIndex() < 0) {
        return nullptr;
    }
    const int entryIndex = cbUser_->currentData().toInt();
    if (entryIndex < 0 || entryIndex >= static_cast<int>(entries_.size())) {
        return nullptr;
    }
    return &entries_[static_cast<std::size_t>(entryIndex)];
}

bool TfmAuthorization::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbGroup_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // Only the choice goes; the user list keeps what the group put in it.
        cbGroup_->setCurrentIndex(-1);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfmAuthorization::UpdateOk() {
    btnOk_->setEnabled(cbUser_->currentIndex() >= 0);
}

void TfmAuthorization::btnOkClick() {
    const TAuthorization* entry = selectedEntry();
    if (!entry) {
        return;
    }
    if (kvalorRoot().Users().CheckPassword(entry->UserId, edPassword_->text())) {
        accept();
        return;
    }
    prompts().inform(QStringLiteral("Пароль задан неверно"), QStringLiteral("Ошибка"),
                     QMessageBox::Critical);
}

}  // namespace kvalor

#include "app/Settings.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/DataModule.h"
#include "app/NetworkSettings.h"
#include "model/Kvalor.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"

namespace kvalor {

namespace {

QLabel* boldCaption(const QString& text) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QString settingsFile() {
    return programFile(QString::fromLatin1(kSettingsFileName));
}

}  // namespace

TfmSetting::TfmSetting(QWidget* parent)
    : QDialog(parent),
      pcSettings_(new QTabWidget),
      edFontSize_(new QLineEdit),
      chbAutoSplitName_(new QCheckBox(QStringLiteral("автоматически разносить ФИО"))),
      chbNetworkMode_(new QCheckBox(QStringLiteral("сетевой режим"))),
      edAddress_(new QLineEdit),
      edPort_(new QLineEdit),
      btnOk_(new QPushButton(QStringLiteral("Ok"))) {
    nameObjects({{pcSettings_, "pcSettings"},
                 {edFontSize_, "edFontSize"},
                 {chbAutoSplitName_, "chbAutoSplitName"},
                 {chbNetworkMode_, "chbNetworkMode"},
                 {edAddress_, "edAddress"},
                 {edPort_, "edPort"},
                 {btnOk_, "btnOk"}});
    setWindowTitle(QStringLiteral("Установки"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* lblFontSize = new QLabel(QStringLiteral("Размер шрифта "));
    lblFontSize->setBuddy(edFontSize_);
    edFontSize_->setMaximumWidth(60);
    auto* fontRow = new QHBoxLayout;
    fontRow->addSpacing(16);
    fontRow->addWidget(lblFontSize);
    fontRow->addWidget(edFontSize_);
    fontRow->addStretch();

    auto* splitRow = new QHBoxLayout;
    splitRow->addSpacing(16);
    splitRow->addWidget(chbAutoSplitName_);
    splitRow->addStretch();

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto* network = new QWidget;
    auto* lblAddress = new QLabel(QStringLiteral("Адрес"));
    auto* lblPort = new QLabel(QStringLiteral("Порт"));
    lblAddress->setBuddy(edAddress_);
    lblPort->setBuddy(edPort_);
    edPort_->setMaximumWidth(60);
    edAddress_->setPlaceholderText(QStringLiteral("сервер или postgresql://..."));
    edPort_->setPlaceholderText(QStringLiteral("5432"));
    // The store is chosen once, before anything is loaded: switching it under open windows
    // would mix the data of two stores.
    auto* lblNextStart =
        new QLabel(QStringLiteral("Режим и адрес вступают в силу при следующем запуске."));
    lblNextStart->setObjectName(QStringLiteral("lblNextStart"));
    lblNextStart->setWordWrap(true);
    auto* networkFields = new QGridLayout(network);
    networkFields->setContentsMargins(0, 0, 0, 0);
    networkFields->addWidget(boldCaption(QStringLiteral("Подключение к базе данных")), 0, 0, 1, 5);
    networkFields->addWidget(chbNetworkMode_, 1, 1, 1, 4);
    networkFields->addWidget(lblAddress, 2, 1);
    networkFields->addWidget(edAddress_, 2, 2);
    networkFields->addWidget(lblPort, 2, 3);
    networkFields->addWidget(edPort_, 2, 4);
    networkFields->addWidget(lblNextStart, 3, 1, 1, 4);
    networkFields->setColumnMinimumWidth(0, 16);
    networkFields->setColumnStretch(2, 1);
    connect(chbNetworkMode_, &QCheckBox::toggled, this, [this](bool on) {
        edAddress_->setEnabled(on);
        edPort_->setEnabled(on);
    });

    auto* general = new QWidget;
    auto* page = new QVBoxLayout(general);
    page->addWidget(boldCaption(QStringLiteral("Форма тестирования")));
    page->addLayout(fontRow);
    page->addSpacing(6);
    page->addWidget(boldCaption(QStringLiteral("Форма редактирования соискателя")));
    page->addLayout(splitRow);
    page->addSpacing(6);
    page->addWidget(divider);
    page->addWidget(network);
    page->addStretch();
    pcSettings_->addTab(general, QStringLiteral("Общие"));

    btnOk_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcSettings_);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));

    connect(btnOk_, &QPushButton::clicked, this, guard([this] { btnOkClick(); }));
}

void TfmSetting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TKvalor& root = kvalorRoot();
    if (root.FontSize() == 0) {
        root.SetFontSize(font().pointSize());
    }
    edFontSize_->setText(QString::number(root.FontSize()));
    chbAutoSplitName_->setChecked(root.AutoSplitName());
    const NetworkSettings network = ReadNetworkSettings(settingsFile());
    chbNetworkMode_->setChecked(network.enabled);
    edAddress_->setText(network.address);
    edPort_->setText(network.port);
    edAddress_->setEnabled(network.enabled);
    edPort_->setEnabled(network.enabled);
    pcSettings_->setCurrentIndex(0);
    // The size is what one comes here for: typing replaces it at once.
    edFontSize_->setFocus();
    edFontSize_->selectAll();
}

void TfmSetting::btnOkClick() {
    if (!IsValidPort(edPort_->text())) {
        prompts().inform(QStringLiteral("Порт - целое число от 1 до 65535 (пусто - 5432)"),
                         QStringLiteral("Ошибка"), QMessageBox::Critical);
        edPort_->setFocus();
        return;
    }
    if (HoldsPassword(edAddress_->text())) {
        prompts().inform(QStringLiteral("Пароль в настройках не хранится: уберите его из адреса "
                                        "и укажите в файле ~/.pgpass или в переменной "
                                        "PGPASSWORD"),
                         QStringLiteral("Ошибка"), QMessageBox::Critical);
        edAddress_->setFocus();
        return;
    }
    const NetworkSettings network{chbNetworkMode_->isChecked(), edAddress_->text().trimmed(),
                                  edPort_->text().trimmed()};
    const NetworkSettings stored = ReadNetworkSettings(settingsFile());
    if (network.enabled != stored.enabled || network.address != stored.address ||
        network.port != stored.port) {
        WriteNetworkSettings(settingsFile(), network);
    }
    bool isNumber = false;
    const int size = BoundedFontSize(edFontSize_->text().trimmed().toInt(&isNumber));
    if (isNumber) {
        TKvalor& root = kvalorRoot();
        root.SetFontSize(size);
        root.SetAutoSplitName(chbAutoSplitName_->isChecked());
        emit fontSizeChanged(size);
    }
    accept();
}

}  // namespace kvalor

#include "results/ExportSettings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainWindow.h"
#include "model/Study.h"
#include "ui/ObjectNames.h"

namespace kvalor {

TfmExportSettings::TfmExportSettings(QWidget* parent)
    : QDialog(parent),
      RadioGroup1_(Named(new QGroupBox(QStringLiteral(" Вопросы ")), "RadioGroup1")),
      chbValid_(new QCheckBox(QStringLiteral("правильные"))),
      chbInvalid_(new QCheckBox(QStringLiteral("неправильные"))),
      chbEmpty_(new QCheckBox(QStringLiteral("неотвеченные"))),
      chbAll_(new QCheckBox(QStringLiteral("все"))),
      Button1_(Named(new QPushButton(QStringLiteral("Ok")), "Button1")),
      Button2_(Named(new QPushButton(QStringLiteral("Cancel")), "Button2")) {
    setWindowTitle(QStringLiteral("Параметры экспорта"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    QFont bold = chbAll_->font();
    bold.setBold(true);
    chbAll_->setFont(bold);
    auto* boxes = new QVBoxLayout(RadioGroup1_);
    for (QCheckBox* box : {chbValid_, chbInvalid_, chbEmpty_, chbAll_}) {
        box->setChecked(true);
        boxes->addWidget(box);
    }

    Button1_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1_);
    buttons->addWidget(Button2_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RadioGroup1_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(chbAll_, &QCheckBox::clicked, this, [this] { chbAllClick(); });
    for (QCheckBox* box : {chbValid_, chbInvalid_, chbEmpty_}) {
        connect(box, &QCheckBox::clicked, this, [this] { CategoryClick(); });
    }
    connect(Button1_, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2_, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmExportSettings::Reset() {
    for (QCheckBox* box : {chbValid_, chbInvalid_, chbEmpty_, chbAll_}) {
        box->setChecked(true);
    }
}

void TfmExportSettings::StartExport() {
    exporting_ = true;
    setWindowTitle(QStringLiteral("Параметры экспорта"));
    QCheckBox* const boxes[] = {chbValid_, chbInvalid_, chbEmpty_, chbAll_};
    for (std::size_t i = 0; i < exportChoice_.size(); ++i) {
        boxes[i]->setEnabled(true);
        boxes[i]->setChecked(exportChoice_[i]);
    }
}

void TfmExportSettings::StartReview(const TStudy& study) {
    exporting_ = false;
    setWindowTitle(QStringLiteral("Параметры просмотра"));
    Reset();
    chbValid_->setEnabled(study.HasQuestions(kAnsweredRight));
    chbInvalid_->setEnabled(study.HasQuestions(kAnsweredWrong));
    chbEmpty_->setEnabled(study.HasQuestions(kNotAnswered));
}

void TfmExportSettings::accept() {
    if (exporting_) {
        exportChoice_ = {chbValid_->isChecked(), chbInvalid_->isChecked(), chbEmpty_->isChecked(),
                         chbAll_->isChecked()};
    }
    QDialog::accept();
}

void TfmExportSettings::chbAllClick() {
    if (chbAll_->isChecked()) {
        for (QCheckBox* box : {chbValid_, chbInvalid_, chbEmpty_}) {
            box->setChecked(true);
        }
    }
}

void TfmExportSettings::CategoryClick() {
    const int checked =
        int(chbValid_->isChecked()) + int(chbInvalid_->isChecked()) + int(chbEmpty_->isChecked());
    chbAll_->setChecked(checked == 0 || checked == 3);
    chbAllClick();
}

TfmExportSettings& exportSettingsDialog(TfmKvalor& mainWindow) {
    auto* dialog = mainWindow.findChild<TfmExportSettings*>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new TfmExportSettings(&mainWindow);
    }
    return *dialog;
}

}  // namespace kvalor

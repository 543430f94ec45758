#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace kvalor {

class TfmKvalor;

// "Параметры экспорта": which questions of a study to take, by category. One dialog for the
// whole run; the results export shows it under its own caption, the journal's review under
// "Параметры просмотра". The boxes keep their states from one use to the next.
class TfmExportSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfmExportSettings(QWidget* parent = nullptr);

    // All four boxes checked; the enabled states stay as they are.
    void Reset();

    QGroupBox* RadioGroup1() const { return RadioGroup1_; }
    QCheckBox* chbValid() const { return chbValid_; }
    QCheckBox* chbInvalid() const { return chbInvalid_; }
    QCheckBox* chbEmpty() const { return chbEmpty_; }
    QCheckBox* chbAll() const { return chbAll_; }
    QPushButton* Button1() const { return Button1_; }
    QPushButton* Button2() const { return Button2_; }

private:
    // "все" checked takes the three categories with it; unchecked it leaves them alone.
    void chbAllClick();
    // "все" follows the three: checked when they agree (all on or all off), which for all off
    // checks them all again.
    void CategoryClick();

    QGroupBox* RadioGroup1_;
    QCheckBox* chbValid_;
    QCheckBox* chbInvalid_;
    QCheckBox* chbEmpty_;
    QCheckBox* chbAll_;
    QPushButton* Button1_;
    QPushButton* Button2_;
};

// The program's one export settings dialog, owned by the main window: created at start-up (the
// first call) and reused.
TfmExportSettings& exportSettingsDialog(TfmKvalor& mainWindow);

}  // namespace kvalor

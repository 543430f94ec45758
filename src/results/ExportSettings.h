#pragma once

#include <array>

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace kvalor {

class TfmKvalor;
class TStudy;

// "Параметры экспорта": which questions of a study to take, by category. One dialog for the
// whole run; the results export shows it under its own caption, the journal's review under
// "Параметры просмотра". The export keeps its boxes from one export to the next; a review
// sets them for its study and leaves the export's choice alone.
class TfmExportSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfmExportSettings(QWidget* parent = nullptr);

    // All four boxes checked; the enabled states stay as they are.
    void Reset();
    // Before each results export: its caption, every box enabled, and checked as the last
    // export confirmed left them.
    void StartExport();
    // Before a review of the study: its caption, all four boxes checked, and the boxes of the
    // categories the study has no questions of disabled.
    void StartReview(const TStudy& study);

    QCheckBox* chbValid() const { return chbValid_; }
    QCheckBox* chbInvalid() const { return chbInvalid_; }
    QCheckBox* chbEmpty() const { return chbEmpty_; }
    QCheckBox* chbAll() const { return chbAll_; }

    // Closes with OK; an export's choice is kept for the next export.
    void accept() override;

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
    bool exporting_ = false;
    // The boxes as the last confirmed export left them, in the order valid, invalid, empty,
    // all.
    std::array<bool, 4> exportChoice_{true, true, true, true};
};

// The program's one export settings dialog, owned by the main window: created at start-up (the
// first call) and reused.
TfmExportSettings& exportSettingsDialog(TfmKvalor& mainWindow);

}  // namespace kvalor

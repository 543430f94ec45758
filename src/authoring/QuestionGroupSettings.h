#pragma once

#include <optional>

#include <QDialog>

#include "authoring/TestTasks.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTabWidget;
class QTableWidget;

namespace kvalor {

class TfmKvalor;
class TfmSelectObject;
class TQuestions;
struct TTask;
struct TestSettingsValues;

// The settings of one simple or complex test: name, time allowed, grading by pass percentage
// or by grade thresholds, and the mixing of the draw; for a complex test also its tasks (page
// "Состав"), which change at once, while the settings change only on "Сохранить".
//
// Callers set it up and show it modally through prompts().runModal:
//
//     dialog.SetGroup(&test);
//     dialog.SelectTask(task);   // the task through which a simple test was reached, or none
//     const bool named = prompts().runModal(dialog) == QDialog::Accepted;
//
// The result is Accepted when the test has a name once the dialog closes.
class TfmQuestionGroupSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfmQuestionGroupSettings(TfmSelectObject& selectObject, QWidget* parent = nullptr);

    TQuestions* Group() const { return group_; }
    // Loads the controls from the test (when it is another one); nothing is unsaved then.
    void SetGroup(TQuestions* test);
    // Chooses the task in "для задания" and turns that on, so that the task's question count
    // can be edited; the time of the test stays as it is.
    void SelectTask(TTask* task);

    // Whether the values typed can be saved. Empty cells and fields become "0" on the way.
    bool Validate();
    // Stores the values into the test (and the chosen task's question count).
    void Apply();

protected:
    // Every way of closing passes here: unsaved changes are offered for saving.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The first value that cannot be saved: its control and what is wrong with it, in words.
    struct Fault {
        QWidget* Field;
        QString Text;
    };
    // Fills empty fields and cells with "0" first.
    std::optional<Fault> FirstFault();
    TestSettingsValues TypedValues() const;

    void BuildControls();
    QWidget* BuildCommonPage();
    QWidget* BuildTasksPage();
    void ConnectControls();

    void LoadControls();
    void SizeGrid();
    void FillTaskLists();
    void ShowQuestionCount();
    TTask* ChosenTask() const;
    void ShowChosenTaskCount();

    bool IsComplex() const;
    // A change by the user: "Сохранить" becomes enabled.
    void Changed();
    void UpdateGrading();
    void UpdateMixing();
    void UpdateTaskChoice();
    void UpdateTaskActions();

    void actSaveExecute();
    void miAddTaskExecute();
    void miDeleteTaskExecute();
    void TaskCountEdited(int row);

    TfmSelectObject& selectObject_;
    TQuestions* group_ = nullptr;
    TTask* task_ = nullptr;
    // The tasks behind the lines of cbTasks and the rows of the "Состав" table.
    TTestTasks tasks_;
    // Set while the controls are filled by the program, whose changes are no user's.
    bool loading_ = false;

    QAction* actSave_;
    QAction* actClose_;
    QAction* miAddTask_;
    QAction* miDeleteTask_;
    QTabWidget* pcPages_ = nullptr;
    // The page "Общие", which scrolls where the screen is too small for it.
    QScrollArea* saCommon_ = nullptr;
    QLineEdit* edCaption_ = nullptr;
    QLineEdit* edTimeHour_ = nullptr;
    QLineEdit* edTimeMin_ = nullptr;
    QLabel* lblSelectedQuestions_ = nullptr;
    QLineEdit* edSelectedQuestions_ = nullptr;
    QCheckBox* chbTimeToTasks_ = nullptr;
    QComboBox* cbTasks_ = nullptr;
    QLineEdit* edQuestionCount_ = nullptr;
    QRadioButton* rbPoint_ = nullptr;
    QTableWidget* sgPointPersent_ = nullptr;
    QRadioButton* rbExamine_ = nullptr;
    QLabel* lbValidPercent_ = nullptr;
    QLineEdit* edValidPercent_ = nullptr;
    QCheckBox* chbMixQuestions_ = nullptr;
    QCheckBox* chbMixQuestionGroups_ = nullptr;
    QCheckBox* chbMixAnswers_ = nullptr;
    QCheckBox* chbMixQuestionBetweenGroups_ = nullptr;
    QTableWidget* sgTasks_ = nullptr;
    QPushButton* btnSave_ = nullptr;
    QPushButton* btnClose_ = nullptr;
};

// The program's one test settings dialog, owned by the main window: created at the first call
// and reused.
TfmQuestionGroupSettings& questionGroupSettingsDialog(TfmKvalor& mainWindow);

}  // namespace kvalor

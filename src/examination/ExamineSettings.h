#pragma once

#include <memory>

#include <QPointer>
#include <QWidget>

#include "model/StudyList.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QToolBar;
class QToolButton;

namespace kvalor {

class TCompetitor;
class TCompetitors;
class TfmKvalor;
class TfmQuestion;
class TQuestions;
class TStudy;

// The examination setup "Тестирование", a working window of the main window: the applicant and
// the test are chosen, graded testing or preparation is started in the question window, the
// run is journaled and scored, and its result is shown; afterwards the answers of the last
// run can be reviewed by category.
class TfmExamineSettings : public QWidget {
    Q_OBJECT
public:
    TfmExamineSettings(TfmKvalor& mainWindow, TfmQuestion& questionWindow,
                       QWidget* parent = nullptr);
    ~TfmExamineSettings() override;

    // The study of the most recent run started here: in the journal, or (a start that failed
    // after the study was made, a run still in progress) held by this window. nullptr when
    // there is none, or when the journal has deleted it since.
    TStudy* LastStudy();
    // The picture of " Результат ": 0 no result, 1 passed, 2 failed.
    int ResultIndicator() const { return resultIndicator_; }

    // Date, lists and result as on every show.
    void FormShow();
    // Enables the actions from the choices, the last study and the run mode.
    void UpdateActions();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConnectControls();

    void FillGroups();
    void FillCompetitors();
    void FillTests();
    TCompetitors* SelectedGroup() const;
    TCompetitor* SelectedCompetitor() const;
    TQuestions* SelectedTest() const;

    // A radio button or "выборочно" was clicked: the choice starts anew.
    void KindClicked();
    void ResetResult(bool forgetStudy);
    void ShowResult();
    void ForgetLastStudy();
    // The journal frees a study (its account was deleted): the window lets go of it first.
    void StudyRemoved(const TStudy& study);
    void ApplyFontSetting(int pointSize);

    void actRunExecute();
    void Review(int category);
    void actAnswersListExecute();

    TfmKvalor& mainWindow_;
    QPointer<TfmQuestion> question_;
    TStudy* lastStudy_ = nullptr;
    // The last study while it is not in the journal.
    std::unique_ptr<TStudy> ownStudy_;
    StudyRemovalWatch studyWatch_;
    int resultIndicator_ = 0;
    // Restoring the window from its icon shows it again; only the first show after it was
    // created or closed starts anew.
    bool shownSinceClose_ = false;

    QLabel* lblDate_ = nullptr;
    QComboBox* cbCompetitorGroups_ = nullptr;
    QComboBox* cbCompetitor_ = nullptr;
    QRadioButton* rbComplex_ = nullptr;
    QRadioButton* rbSimple_ = nullptr;
    QComboBox* cbTestList_ = nullptr;
    QCheckBox* chbSelectively_ = nullptr;
    QRadioButton* rbExamine_ = nullptr;
    QRadioButton* rbTesting_ = nullptr;
    QLabel* PaintBox_ = nullptr;
    QLabel* lblExamineResult_ = nullptr;
    QToolBar* tbActions_ = nullptr;
    QToolButton* btnAnswers_ = nullptr;
    QAction* actRun_;
    QAction* actAnswersList_;
    QAction* actValidAnswers_;
    QAction* actInvalidAnswers_;
    QAction* actEmptyAnswers_;
    QAction* actAllAnswers_;
    QAction* actClose_;
};

// Makes the main window able to open the examination setup (its action "Тестирование").
void registerExamineSettings();

}  // namespace kvalor

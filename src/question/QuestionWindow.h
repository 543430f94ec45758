#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QDialog>

#include "question/EditingMode.h"
#include "question/Examination.h"
#include "question/WindowMode.h"

class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QTextEdit;
class QVBoxLayout;

namespace kvalor {

class TAnswer;
class TAnswers;
class TExaminerCollection;
class TfmAuthorization;
class TfmKvalor;
class TfrAnswer;
class TQuestion;
class TStudy;

// The question window: one question at a time with its answer variants. During an examination
// (preparation and testing) the applicant pages through the drawn questions, marks or reorders
// answers, and every answer is recorded into the study while a countdown runs; preparation
// judges the answer on screen at once. Review shows a finished study's recorded answers. The
// clock and the recording belong to the examination object (TExamination) the window observes.
// The editing mode, plugged in by the tests tree, shows the test as a tree and edits its
// questions.
//
// Callers prepare it in this order, then show it modally through prompts().runModal:
//
//     window.SetMode(WindowMode::Testing);
//     window.SetQuestionList(&questions);   // a view, e.g. TQuestions(..., Ownership::View)
//     window.SetStudy(&study);
//     window.SetTimeAllowance(test.Duration());
//     window.ShowQuestion(first);
//     window.Start();
//
// The window keeps pointers to the list and the study until it closes (or is given others);
// a caller that frees either first detaches it with SetQuestionList(nullptr) / SetStudy(nullptr).
class TfmQuestion : public QDialog {
    Q_OBJECT
public:
    // Makes the editing mode of a window being made.
    using EditingModeFactory = std::function<std::unique_ptr<IEditingMode>(TfmQuestion&)>;

    // Gives every question window made from now on its editing mode; the tests tree registers
    // it at start-up. A window made without one edits nothing.
    static void registerEditingMode(EditingModeFactory factory);

    // login: the dialog in which a staff account confirms an extension of the time.
    explicit TfmQuestion(TfmAuthorization& login, QWidget* parent = nullptr);
    ~TfmQuestion() override;

    WindowMode Mode() const;
    // Arranges the panels for the mode; in any case resets the verdict and the time allowance.
    void SetMode(WindowMode mode);
    TExaminerCollection* QuestionList() const { return questionList_; }
    // Leaves the current question.
    void SetQuestionList(TExaminerCollection* list);
    TStudy* Study() const;
    // Follows the study's state; in preparation and testing its MinutesUsed start at 0.
    void SetStudy(TStudy* study);
    // Minutes of the countdown.
    void SetTimeAllowance(int minutes);

    TQuestion* CurrentQuestion() const { return currentQuestion_; }
    // Shows the question (nullptr: none) with its recorded answer. Raises "Не задан список
    // вопросов" for a question without a question list.
    void ShowQuestion(TQuestion* question);
    // Sets the caption; in preparation and testing starts the countdown with one tick at once
    // (which may find the time already up).
    void Start();

    std::uint8_t Verdict() const { return verdict_; }
    // Index of the picture beside the verdict (0 to 3).
    int VerdictPicture() const { return verdictPicture_; }
    bool Modified() const { return modified_; }
    const std::vector<TfrAnswer*>& Frames() const { return frames_; }
    QWidget* pnEditing() const { return pnEditing_; }
    QWidget* pnDontMix() const { return pnDontMix_; }
    QTextEdit* edQuestion() const { return edQuestion_; }
    QGroupBox* gbAnswerType() const { return gbAnswerType_; }
    QButtonGroup* bgAnswerType() const { return bgAnswerType_; }
    // The editing mode, or nullptr when none was registered.
    IEditingMode* EditingMode() const { return editor_.get(); }

    // The editing mode works on the display of the question through these.
    void SetModified(bool modified) { modified_ = modified; }
    void AddFrame(TAnswers& answers, TAnswer& answer, int position);
    // Takes the frame off the display and frees it; its answer stays with the question.
    void RemoveFrame(TfrAnswer& frame);
    void RemoveFrames();
    void RebuildDisplay();

protected:
    // Every way of closing passes here: the close confirmation, then the tidying up.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // Question and answer texts read a little larger than the rest.
    void EnlargeTexts();
    void ArrangePanels();
    // Centred on the main window and wholly on the screen.
    void PlaceOnScreen();
    // Enables paging and finishing from the mode, the study and the question shown.
    void UpdateActions();

    void LeaveQuestion();
    void ProtectText(QTextEdit& text);
    void AnswersChanged();
    void FrameMoved(TfrAnswer* frame, int direction);

    void ShowVerdict();
    void SetVerdict(std::uint8_t verdict);
    void SetVerdictPicture(int picture);
    void StudyStateChanged();

    void ShowRemaining(qint64 seconds);
    void TimeIsUp();
    void ExtendTime();
    void CloseIfShowing();
    bool CloseQuery();
    void ResumeAfterRefusedClose();
    void FormClose();

    void actFinishExecute();
    void actNextExecute();
    void actPreviousExecute();
    void Page(TQuestion* target);

    TfmAuthorization& login_;
    TExamination* examination_;
    TExaminerCollection* questionList_ = nullptr;
    TQuestion* currentQuestion_ = nullptr;
    std::uint8_t verdict_ = kVerdictNoAnswer;
    int verdictPicture_ = 0;
    bool touched_ = false;
    bool modified_ = false;
    std::vector<TfrAnswer*> frames_;

    QAction* actFinish_;
    QAction* actPrevious_;
    QAction* actNext_;
    QWidget* pnEditing_ = nullptr;
    QWidget* pnLeft_ = nullptr;
    QWidget* pnBottom_ = nullptr;
    QWidget* pnDontMix_ = nullptr;
    QLabel* lblQuestionNo_ = nullptr;
    QLabel* lblClockPicture_ = nullptr;
    QLabel* lblCountdown_ = nullptr;
    QLabel* lblVerdictPicture_ = nullptr;
    QLabel* lblVerdict_ = nullptr;
    QLabel* lblQuestion_ = nullptr;
    QTextEdit* edQuestion_ = nullptr;
    QGroupBox* gbAnswerType_ = nullptr;
    QButtonGroup* bgAnswerType_ = nullptr;
    QLabel* lblAnswers_ = nullptr;
    QWidget* pnFrames_ = nullptr;
    QVBoxLayout* framesLayout_ = nullptr;
    std::unique_ptr<IEditingMode> editor_;
};

// The program's one question window, owned by the main window: created at the first call and
// reused for every examination, review and edit.
TfmQuestion& questionWindow(TfmKvalor& mainWindow);

}  // namespace kvalor

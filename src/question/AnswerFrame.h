#pragma once

#include <optional>

#include <QFrame>

#include "ui/Icons.h"

class QLabel;
class QTextEdit;
class QToolButton;

namespace kvalor {

class FittingTextEdit;
class TAnswer;
class TAnswers;

// One answer variant in the question window: the title "Вариант N", the answer's text and, on
// the left, two buttons that mark the answer (radio button or check box, by the question type)
// or move it up and down (sequence). The frame works on the list it is bound to: the
// question's own answers in the editor, their presentation list during an examination.
// During an examination the frame itself takes the keyboard: Space marks or unmarks a choice,
// Ctrl+Up and Ctrl+Down move a sequence answer, Up and Down go to the neighbouring frame.
class TfrAnswer : public QFrame {
    Q_OBJECT
public:
    // testMode: the window is not in editing mode; the text is then read-only.
    TfrAnswer(TAnswers& answerList, bool testMode, QWidget* parent = nullptr);

    TAnswer* Answer() const { return answer_; }
    // Binds the answer and shows its text; nullptr empties the frame.
    void SetAnswer(TAnswer* answer);

    // On: the answer takes the text of the frame, shown in the default colour, or in maroon
    // when it is empty. Off: the text is shown in green, as a new answer not yet saved.
    void CommitText(bool on);
    // The two frames exchange their answers with the texts as shown (typed and not yet
    // saved in the editor) and their colours: an answer moved in the list keeps its text.
    void ExchangeAnswers(TfrAnswer& other);

    // The title "Вариант N" for the 1-based position in the stack.
    void SetPosition(int position);
    // Inert buttons still show the marks but change nothing (review of answers).
    void SetButtonsInert(bool inert);

    // Draws both buttons anew from the answer's mark or its place in the list.
    void UpdateButtons();
    // The answer text reads a little larger than the rest of the window.
    void FitTextFont();

    // The pictures the buttons show; nothing when a button draws none.
    std::optional<AnswerButtonPicture> UpperPicture() const { return upperPicture_; }
    std::optional<AnswerButtonPicture> LowerPicture() const { return lowerPicture_; }

    QLabel* lblTitle() const { return lblTitle_; }
    QTextEdit* edText() const;
    QToolButton* btnUpper() const { return btnUpper_; }
    QToolButton* btnLower() const { return btnLower_; }

signals:
    // The frame or its text was clicked, or a choice button was used.
    void OnSelect(TfrAnswer* frame);
    // The answer went one place up (down) in the list; the window exchanges the answers of
    // this frame and its neighbour.
    void OnMoveUp(TfrAnswer* frame);
    void OnMoveDown(TfrAnswer* frame);
    // A button changed the answer, or the author changed its text.
    void FrameChanged(TfrAnswer* frame);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ButtonClick(bool upper);
    static void ShowPicture(QToolButton& button, std::optional<AnswerButtonPicture> picture);

    TAnswers& answerList_;
    TAnswer* answer_ = nullptr;
    bool testMode_;
    bool inert_ = false;
    bool loadingText_ = false;
    std::optional<AnswerButtonPicture> upperPicture_;
    std::optional<AnswerButtonPicture> lowerPicture_;
    QLabel* lblTitle_;
    FittingTextEdit* edText_;
    QToolButton* btnUpper_;
    QToolButton* btnLower_;
};

}  // namespace kvalor

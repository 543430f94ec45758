#include "question/AnswerFrame.h"

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include "model/Answers.h"
#include "model/Question.h"
#include "model/TypeIds.h"
#include "question/FittingTextEdit.h"
#include "question/QuestionWindowSupport.h"
#include "ui/ErrorGuard.h"
#include "util/Codepage.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

constexpr int kButtonSize = 25;
constexpr int kPictureSize = 24;
// A one-line answer is as tall as its buttons: one for a choice, two stacked for a sequence.
constexpr int kTextMinimumHeight = kButtonSize + 6;
constexpr int kSequenceTextMinimumHeight = 2 * kButtonSize + 4;
constexpr int kTextMaximumHeight = 160;
constexpr int kTextEnlargement = 2;

QToolButton* answerButton() {
    auto* button = new QToolButton;
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setIconSize(QSize(kPictureSize, kPictureSize));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    // A hidden lower button keeps its place, so that all frames line up.
    QSizePolicy policy = button->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    button->setSizePolicy(policy);
    return button;
}

}  // namespace

TfrAnswer::TfrAnswer(TAnswers& answerList, bool testMode, QWidget* parent)
    : QFrame(parent),
      answerList_(answerList),
      testMode_(testMode),
      lblTitle_(new QLabel),
      edText_(new FittingTextEdit(kTextMinimumHeight, kTextMaximumHeight)),
      btnUpper_(answerButton()),
      btnLower_(answerButton()) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    edText_->setReadOnly(testMode_);
    if (testMode_) {
        // The answer is chosen, not its text.
        setFocusPolicy(Qt::StrongFocus);
        edText_->setFocusPolicy(Qt::NoFocus);
    }
    edText_->installEventFilter(this);
    edText_->viewport()->installEventFilter(this);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(2);
    layout->addWidget(lblTitle_, 0, 0, 1, 2);
    layout->addWidget(btnUpper_, 1, 0, Qt::AlignTop);
    layout->addWidget(btnLower_, 2, 0, Qt::AlignTop);
    layout->addWidget(edText_, 1, 1, 3, 1);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(1, 1);

    connect(btnUpper_, &QToolButton::clicked, this, guard([this] { ButtonClick(true); }));
    connect(btnLower_, &QToolButton::clicked, this, guard([this] { ButtonClick(false); }));
    // The held look of the arrows.
    for (QToolButton* button : {btnUpper_, btnLower_}) {
        connect(button, &QToolButton::pressed, this, guard([this] { UpdateButtons(); }));
        connect(button, &QToolButton::released, this, guard([this] { UpdateButtons(); }));
    }
    connect(edText_, &QTextEdit::textChanged, this, [this] {
        if (!loadingText_) {
            emit FrameChanged(this);
        }
    });

    FitTextFont();
    UpdateButtons();
}

void TfrAnswer::SetAnswer(TAnswer* answer) {
    answer_ = answer;
    loadingText_ = true;
    edText_->setPlainText(answer_ ? fromCp1251(answer_->GetName()) : QString());
    loadingText_ = false;
    UpdateButtons();
}

QTextEdit* TfrAnswer::edText() const {
    return edText_;
}

void TfrAnswer::CommitText(bool on) {
    if (!on) {
        setTextColour(*edText_, kGreenText);
    } else {
        const QString shown = edText_->toPlainText();
        // Only a change is written: an answer stored as not editable can still be shown.
        if (answer_ && answer_->GetName() != toCp1251(shown)) {
            answer_->SetName(toCp1251(FittingTextEdit::withoutTabs(shown)));
        }
        const bool empty = !answer_ || TrimText(answer_->GetName()).empty();
        setTextColour(*edText_, empty ? kMaroonText : defaultTextColour());
    }
    update();
}

void TfrAnswer::ExchangeAnswers(TfrAnswer& other) {
    const QString text = edText_->toPlainText();
    const QPalette palette = edText_->palette();
    TAnswer* answer = answer_;
    loadingText_ = other.loadingText_ = true;
    answer_ = other.answer_;
    edText_->setPlainText(other.edText_->toPlainText());
    edText_->setPalette(other.edText_->palette());
    other.answer_ = answer;
    other.edText_->setPlainText(text);
    other.edText_->setPalette(palette);
    loadingText_ = other.loadingText_ = false;
    UpdateButtons();
    other.UpdateButtons();
}

void TfrAnswer::SetPosition(int position) {
    lblTitle_->setText(QStringLiteral("Вариант %1").arg(position));
}

void TfrAnswer::SetButtonsInert(bool inert) {
    inert_ = inert;
}

void TfrAnswer::FitTextFont() {
    QFont larger = font();
    larger.setPointSize(font().pointSize() + kTextEnlargement);
    edText_->setFont(larger);
}

void TfrAnswer::UpdateButtons() {
    upperPicture_.reset();
    lowerPicture_.reset();
    const TQuestion* question = answerList_.Question();
    if (answer_ && question) {
        switch (question->QuestionType()) {
            case kSingleAnswer:
                upperPicture_ = answer_->Checked() ? AnswerButtonPicture::RadioOn
                                                   : AnswerButtonPicture::RadioOff;
                break;
            case kMultipleAnswers:
                upperPicture_ = answer_->Checked() ? AnswerButtonPicture::CheckOn
                                                   : AnswerButtonPicture::CheckOff;
                break;
            case kSequence:
                // In the editor the order of the frames is the key: the arrows are not drawn,
                // though a click on their place still moves the answer.
                if (testMode_ && answerList_.IndexOf(answer_) >= 0) {
                    if (!answerList_.CanMoveUp(*answer_)) {
                        upperPicture_ = AnswerButtonPicture::UpDisabled;
                    } else {
                        upperPicture_ = btnUpper_->isDown() ? AnswerButtonPicture::UpHeld
                                                            : AnswerButtonPicture::UpEnabled;
                    }
                    if (!answerList_.CanMoveDown(*answer_)) {
                        lowerPicture_ = AnswerButtonPicture::DownDisabled;
                    } else {
                        lowerPicture_ = btnLower_->isDown() ? AnswerButtonPicture::DownHeld
                                                            : AnswerButtonPicture::DownEnabled;
                    }
                }
                break;
            default:
                break;
        }
    }
    ShowPicture(*btnUpper_, upperPicture_);
    ShowPicture(*btnLower_, lowerPicture_);
    // Choice questions have one button; a sequence has both, drawn or not.
    const bool sequence = question && question->QuestionType() == kSequence;
    btnLower_->setVisible(sequence);
    edText_->setMinimumFitHeight(sequence ? kSequenceTextMinimumHeight : kTextMinimumHeight);
}

void TfrAnswer::ShowPicture(QToolButton& button, std::optional<AnswerButtonPicture> picture) {
    button.setIcon(picture ? QIcon(answerButtonPicture(*picture)) : QIcon());
}

void TfrAnswer::ButtonClick(bool upper) {
    const TQuestion* question = answerList_.Question();
    if (!answer_ || inert_ || !question) {
        return;
    }
    const std::uint8_t type = question->QuestionType();
    switch (type) {
        case kSingleAnswer:
            answerList_.SetChecked(*answer_, true);
            break;
        case kMultipleAnswers:
            answerList_.SetChecked(*answer_, !answer_->Checked());
            break;
        case kSequence:
            // An arrow at the end of the list does nothing at all, not even count as a change.
            if (upper ? !answerList_.CanMoveUp(*answer_) : !answerList_.CanMoveDown(*answer_)) {
                return;
            }
            if (upper) {
                answerList_.MoveUp(*answer_);
                emit OnMoveUp(this);
            } else {
                answerList_.MoveDown(*answer_);
                emit OnMoveDown(this);
            }
            break;
        default:
            break;
    }
    emit FrameChanged(this);
    UpdateButtons();
    if (type == kSingleAnswer || type == kMultipleAnswers) {
        emit OnSelect(this);
    }
}

void TfrAnswer::mousePressEvent(QMouseEvent* event) {
    QFrame::mousePressEvent(event);
    emit OnSelect(this);
}

void TfrAnswer::keyPressEvent(QKeyEvent* event) {
    const TQuestion* question = answerList_.Question();
    if (!testMode_ || !question) {
        QFrame::keyPressEvent(event);
        return;
    }
    const bool sequence = question->QuestionType() == kSequence;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool vertical = key == Qt::Key_Up || key == Qt::Key_Down;
    if (key == Qt::Key_Space && modifiers == Qt::NoModifier && !sequence) {
        guarded([this] { ButtonClick(true); });
    } else if (vertical && modifiers == Qt::ControlModifier && sequence) {
        guarded([this, key] { ButtonClick(key == Qt::Key_Up); });
    } else if (vertical && modifiers == Qt::NoModifier) {
        focusNextPrevChild(key == Qt::Key_Down);
    } else {
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TfrAnswer::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    // The frame that has the keyboard is outlined, so that Space and the arrows have a visible
    // target.
    if (hasFocus()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }
}

bool TfrAnswer::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == edText_ || watched == edText_->viewport()) &&
        event->type() == QEvent::MouseButtonPress) {
        emit OnSelect(this);
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace kvalor

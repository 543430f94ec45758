// The question window's controls, their arrangement by mode and the window's size and place on
// the screen; the rest of the window is in QuestionWindow.cpp.

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/Kvalor.h"
#include "question/AnswerFrame.h"
#include "question/FittingTextEdit.h"
#include "question/QuestionWindow.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"

namespace kvalor {

namespace {

constexpr int kPictureSize = 48;
constexpr int kLeftPanelWidth = 150;
constexpr int kTextEnlargement = 2;
// At the application's own font size; larger fonts get a proportionally larger window.
constexpr QSize kDefaultSize(820, 620);

QLabel* pictureLabel(const QString& name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setFixedSize(kPictureSize, kPictureSize);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* centredLabel(const QString& name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

void makeBold(QWidget& control) {
    QFont font = control.font();
    font.setBold(true);
    control.setFont(font);
}

}  // namespace

void TfmQuestion::BuildControls() {
    // Editing: the tree of the test with its tool bar, filled by the editor.
    pnEditing_ = new QWidget;
    pnEditing_->setObjectName(QStringLiteral("pnEditing"));

    // Left: position, countdown and verdict.
    pnLeft_ = new QWidget;
    pnLeft_->setObjectName(QStringLiteral("pnLeft"));
    pnLeft_->setMinimumWidth(kLeftPanelWidth);
    pnLeft_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    lblQuestionNo_ = centredLabel(QStringLiteral("lblQuestionNo"), QString());
    lblQuestionNo_->setWordWrap(false);
    makeBold(*lblQuestionNo_);
    lblClockPicture_ = pictureLabel(QStringLiteral("lblClockPicture"));
    lblClockPicture_->setPixmap(verdictPicture(kvalor::VerdictPicture::Clock));
    lblCountdown_ = centredLabel(QStringLiteral("lblCountdown"), QStringLiteral("00:00:00"));
    makeBold(*lblCountdown_);
    lblVerdictPicture_ = pictureLabel(QStringLiteral("lblVerdictPicture"));
    lblVerdict_ = centredLabel(QStringLiteral("lblVerdict"), QStringLiteral("нет ответа"));
    makeBold(*lblVerdict_);
    auto* left = new QVBoxLayout(pnLeft_);
    left->setContentsMargins(4, 8, 4, 8);
    left->addWidget(lblQuestionNo_);
    left->addSpacing(16);
    left->addWidget(lblClockPicture_, 0, Qt::AlignHCenter);
    left->addWidget(lblCountdown_);
    left->addSpacing(16);
    left->addWidget(lblVerdictPicture_, 0, Qt::AlignHCenter);
    left->addWidget(lblVerdict_);
    left->addStretch();

    // The question with its answers.
    lblQuestion_ = new QLabel(QStringLiteral("Текст вопроса"));
    lblQuestion_->setObjectName(QStringLiteral("lblQuestion"));
    makeBold(*lblQuestion_);
    edQuestion_ = new FittingTextEdit(60, 220);
    edQuestion_->setObjectName(QStringLiteral("edQuestion"));
    edQuestion_->setReadOnly(true);
    ProtectText(*edQuestion_);
    EnlargeTexts();

    gbAnswerType_ = new QGroupBox(QStringLiteral(" Тип ответа "));
    gbAnswerType_->setObjectName(QStringLiteral("gbAnswerType"));
    // Outside the editor the type cannot be changed, yet it must stay readable.
    QPalette readable = gbAnswerType_->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText}) {
        readable.setColor(QPalette::Disabled, role, readable.color(QPalette::Active, role));
    }
    gbAnswerType_->setPalette(readable);
    bgAnswerType_ = new QButtonGroup(this);
    bgAnswerType_->setObjectName(QStringLiteral("bgAnswerType"));
    auto* types = new QHBoxLayout(gbAnswerType_);
    const QString typeNames[] = {QStringLiteral("один ответ"), QStringLiteral("несколько ответов"),
                                 QStringLiteral("последовательность")};
    for (int type = 0; type < 3; ++type) {
        auto* button = new QRadioButton(typeNames[type]);
        bgAnswerType_->addButton(button, type);
        types->addWidget(button);
    }
    types->addStretch();

    // Editing: "не изменять порядок ответов", placed by the editor.
    pnDontMix_ = new QWidget;
    pnDontMix_->setObjectName(QStringLiteral("pnDontMix"));

    lblAnswers_ = new QLabel(QStringLiteral("Варианты ответов"));
    makeBold(*lblAnswers_);
    pnFrames_ = new QWidget;
    framesLayout_ = new QVBoxLayout(pnFrames_);
    framesLayout_->setContentsMargins(0, 0, 0, 0);
    framesLayout_->setSpacing(4);
    framesLayout_->addStretch();
    auto* scroll = new QScrollArea;
    scroll->setWidget(pnFrames_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The frames take the keyboard and scroll into view themselves.
    scroll->setFocusPolicy(Qt::NoFocus);

    auto* question = new QVBoxLayout;
    question->addWidget(lblQuestion_);
    question->addWidget(edQuestion_);
    question->addWidget(gbAnswerType_);
    question->addWidget(pnDontMix_);
    question->addWidget(lblAnswers_);
    question->addWidget(scroll, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(pnEditing_);
    top->addWidget(pnLeft_);
    top->addLayout(question, 1);

    // Bottom: finishing on the left, paging on the right.
    pnBottom_ = new QWidget;
    pnBottom_->setObjectName(QStringLiteral("pnBottom"));
    // The texts hand the focus here; it is no stop of its own for Tab.
    pnBottom_->setFocusPolicy(Qt::ClickFocus);
    auto* bottom = new QHBoxLayout(pnBottom_);
    bottom->setContentsMargins(0, 4, 0, 0);
    const auto addButton = [bottom](QAction* action) {
        auto* button = new QToolButton;
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumWidth(110);
        bottom->addWidget(button);
    };
    addButton(actFinish_);
    bottom->addStretch();
    addButton(actPrevious_);
    addButton(actNext_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(pnBottom_);
    resize(kDefaultSize);
}

void TfmQuestion::EnlargeTexts() {
    QFont larger = lblQuestion_->font();
    larger.setBold(false);
    larger.setPointSize(larger.pointSize() + kTextEnlargement);
    edQuestion_->setFont(larger);
    for (TfrAnswer* frame : frames_) {
        frame->FitTextFont();
    }
}

void TfmQuestion::ArrangePanels() {
    const WindowMode mode = Mode();
    const bool editing = mode == WindowMode::Editing;
    pnEditing_->setVisible(editing);
    pnDontMix_->setVisible(editing);
    pnLeft_->setVisible(!editing);
    pnBottom_->setVisible(!editing);
    const bool countdown = examination_->Examining();
    lblClockPicture_->setVisible(countdown);
    lblCountdown_->setVisible(countdown);
    const bool verdict = mode == WindowMode::Preparation || mode == WindowMode::Review;
    lblVerdictPicture_->setVisible(verdict);
    lblVerdict_->setVisible(verdict);
    // Only the editor changes the type or the text of a question. Elsewhere the texts are no
    // stops for the keyboard: the answer frames are.
    gbAnswerType_->setEnabled(editing);
    edQuestion_->setReadOnly(!editing);
    edQuestion_->setFocusPolicy(editing ? Qt::StrongFocus : Qt::NoFocus);
}

void TfmQuestion::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded([this] {
        const int size = kvalorRoot().FontSize();
        if (size > 0 && FontSizeDiffers(lblQuestion_, size)) {
            ApplyFontSize(this, size);
            EnlargeTexts();
            if (editor_) {
                editor_->ArrangeButtons();
            }
            const double scale =
                std::max(1.0, static_cast<double>(size) / QApplication::font().pointSize());
            QSize wanted = kDefaultSize * scale;
            if (const QScreen* display = screen()) {
                wanted = wanted.boundedTo(display->availableGeometry().size());
            }
            resize(wanted);
        }
        PlaceOnScreen();
    });
}

void TfmQuestion::PlaceOnScreen() {
    const QScreen* display = screen();
    if (!display) {
        return;
    }
    // A larger font makes a larger window: it must still lie wholly on the screen, or
    // "Завершить" and the paging buttons would be out of reach.
    const QRect area = display->availableGeometry();
    const QSize decoration = frameGeometry().size() - size();
    // At a large font the three answer types side by side would be wider than the screen.
    if (auto* types = qobject_cast<QBoxLayout*>(gbAnswerType_->layout())) {
        const auto arrange = [this, types](QBoxLayout::Direction direction) {
            types->setDirection(direction);
            // The window's layouts keep the box's last size until told, the nested ones too.
            gbAnswerType_->updateGeometry();
            layout()->invalidate();
            layout()->activate();
        };
        arrange(QBoxLayout::LeftToRight);
        if (layout()->totalMinimumSize().width() > area.width() - decoration.width()) {
            arrange(QBoxLayout::TopToBottom);
        }
    }
    resize(size().boundedTo(area.size() - decoration).expandedTo(minimumSizeHint()));
    // Over the main window, wherever that has been moved since the last time.
    QRect placed(QPoint(), frameGeometry().size());
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    placed.moveCenter(owner && owner->isVisible() ? owner->frameGeometry().center()
                                                  : area.center());
    const int left = std::clamp(placed.left(), area.left(),
                                std::max(area.left(), area.right() + 1 - placed.width()));
    const int top = std::clamp(placed.top(), area.top(),
                               std::max(area.top(), area.bottom() + 1 - placed.height()));
    move(left, top);
}

}  // namespace kvalor

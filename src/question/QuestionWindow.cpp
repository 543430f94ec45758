#include "question/QuestionWindow.h"

#include <algorithm>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Authorization.h"
#include "app/MainWindow.h"
#include "model/Answers.h"
#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/TypeIds.h"
#include "question/AnswerFrame.h"
#include "question/FittingTextEdit.h"
#include "question/QuestionWindowSupport.h"
#include "ui/Clock.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

constexpr int kTickMs = 1000;
constexpr int kPictureSize = 48;
constexpr int kLeftPanelWidth = 150;
constexpr int kTextEnlargement = 2;
// At the application's own font size; larger fonts get a proportionally larger window.
constexpr QSize kDefaultSize(820, 620);

const QString kCaption = QStringLiteral("Предупреждение");

TfmQuestion::EditingModeFactory& editingModeFactory() {
    static TfmQuestion::EditingModeFactory factory;
    return factory;
}

QString modeCaption(std::uint8_t mode) {
    switch (mode) {
        case kWindowModeEditing:
            return QStringLiteral("Редактирование тестов");
        case kWindowModePreparation:
            return QStringLiteral("Проверка");
        case kWindowModeTesting:
            return QStringLiteral("Тестирование");
        case kWindowModeReview:
            return QStringLiteral("Просмотр результатов");
        default:
            return {};
    }
}

QLabel* pictureLabel() {
    auto* label = new QLabel;
    label->setFixedSize(kPictureSize, kPictureSize);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* centredLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

void makeBold(QWidget& control) {
    QFont font = control.font();
    font.setBold(true);
    control.setFont(font);
}

// Shows the type of the question, or none (type -1).
void showAnswerType(QButtonGroup& types, int type) {
    // An exclusive group would keep its last choice.
    types.setExclusive(false);
    for (QAbstractButton* button : types.buttons()) {
        button->setChecked(types.id(button) == type);
    }
    types.setExclusive(true);
}

// Puts the answers in the order the record kept: a sequence as the applicant left it, any
// other question as its answers were shown. A record that does not fit the question (it was
// edited since) leaves the order as it is.
void arrangeAsRecorded(TAnswers& answers, const TExamineQuestion& record, bool sequence) {
    const int count = answers.Count();
    std::vector<std::int32_t> order;
    const auto fits = [count](const std::vector<std::int32_t>& entries) {
        return static_cast<int>(entries.size()) == count && IsPermutation(entries);
    };
    if (sequence && fits(record.Given)) {
        order.resize(record.Given.size());
        for (int i = 0; i < count; ++i) {
            order[static_cast<std::size_t>(record.Given[static_cast<std::size_t>(i)])] = i;
        }
    } else if (fits(record.Order)) {
        order = record.Order;
    } else {
        return;
    }
    TAnswers& shown = *answers.Presentation();
    shown.Clear();
    for (const std::int32_t index : order) {
        shown.AddReference(*answers.AnswerAt(index));
    }
}

}  // namespace

void TfmQuestion::registerEditingMode(EditingModeFactory factory) {
    editingModeFactory() = std::move(factory);
}

TfmQuestion::TfmQuestion(TfmAuthorization& login, QWidget* parent)
    : QDialog(parent),
      login_(login),
      actFinish_(new QAction(QStringLiteral("Завершить"), this)),
      actPrevious_(new QAction(QStringLiteral("Предыдущий"), this)),
      actNext_(new QAction(QStringLiteral("Следующий"), this)),
      tmCountdown_(new QTimer(this)) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    tmCountdown_->setInterval(kTickMs);
    BuildControls();
    if (const EditingModeFactory& factory = editingModeFactory()) {
        editor_ = factory(*this);
    }

    // Both pairs: Alt with the arrows reads "back" and "forward", the page keys are at hand.
    actNext_->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::Key_PageDown)});
    actPrevious_->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_PageUp)});
    actNext_->setToolTip(QStringLiteral("Следующий (Alt+→, PgDn)"));
    actPrevious_->setToolTip(QStringLiteral("Предыдущий (Alt+←, PgUp)"));
    connect(tmCountdown_, &QTimer::timeout, this, guard([this] { CountdownTick(); }));
    connect(actFinish_, &QAction::triggered, this, guard([this] { actFinishExecute(); }));
    connect(actNext_, &QAction::triggered, this, guard([this] { actNextExecute(); }));
    connect(actPrevious_, &QAction::triggered, this, guard([this] { actPreviousExecute(); }));

    ArrangePanels();
    SetVerdictPicture(0);
    UpdateActions();
}

TfmQuestion::~TfmQuestion() {
    // Neither the study nor the answers may call back into a window that is gone.
    tmCountdown_->stop();
    LeaveQuestion();
    if (study_) {
        study_->SetOnStateChange({});
    }
}

void TfmQuestion::BuildControls() {
    // Editing: the tree of the test with its tool bar, filled by the editor.
    pnEditing_ = new QWidget;
    pnEditing_->setObjectName(QStringLiteral("pnEditing"));

    // Left: position, countdown and verdict.
    pnLeft_ = new QWidget;
    pnLeft_->setMinimumWidth(kLeftPanelWidth);
    pnLeft_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    lblQuestionNo_ = centredLabel(QString());
    lblQuestionNo_->setWordWrap(false);
    makeBold(*lblQuestionNo_);
    lblClockPicture_ = pictureLabel();
    lblClockPicture_->setPixmap(verdictPicture(kvalor::VerdictPicture::Clock));
    lblCountdown_ = centredLabel(QStringLiteral("00:00:00"));
    makeBold(*lblCountdown_);
    lblVerdictPicture_ = pictureLabel();
    lblVerdict_ = centredLabel(QStringLiteral("нет ответа"));
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
    makeBold(*lblQuestion_);
    edQuestion_ = new FittingTextEdit(60, 220);
    edQuestion_->setReadOnly(true);
    ProtectText(*edQuestion_);
    EnlargeTexts();

    gbAnswerType_ = new QGroupBox(QStringLiteral(" Тип ответа "));
    // Outside the editor the type cannot be changed, yet it must stay readable.
    QPalette readable = gbAnswerType_->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText}) {
        readable.setColor(QPalette::Disabled, role, readable.color(QPalette::Active, role));
    }
    gbAnswerType_->setPalette(readable);
    bgAnswerType_ = new QButtonGroup(this);
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
    const bool editing = mode_ == kWindowModeEditing;
    pnEditing_->setVisible(editing);
    pnDontMix_->setVisible(editing);
    pnLeft_->setVisible(!editing);
    pnBottom_->setVisible(!editing);
    const bool countdown = mode_ == kWindowModePreparation || mode_ == kWindowModeTesting;
    lblClockPicture_->setVisible(countdown);
    lblCountdown_->setVisible(countdown);
    const bool verdict = mode_ == kWindowModePreparation || mode_ == kWindowModeReview;
    lblVerdictPicture_->setVisible(verdict);
    lblVerdict_->setVisible(verdict);
    // Only the editor changes the type or the text of a question. Elsewhere the texts are no
    // stops for the keyboard: the answer frames are.
    gbAnswerType_->setEnabled(editing);
    edQuestion_->setReadOnly(!editing);
    edQuestion_->setFocusPolicy(editing ? Qt::StrongFocus : Qt::NoFocus);
}

bool TfmQuestion::Examining() const {
    return mode_ == kWindowModePreparation || mode_ == kWindowModeTesting;
}

void TfmQuestion::SetMode(std::uint8_t mode) {
    if (mode != mode_) {
        mode_ = mode;
        ArrangePanels();
    }
    SetVerdict(kVerdictNoAnswer);
    timeAllowance_ = 0;
    UpdateActions();
}

void TfmQuestion::SetQuestionList(TExaminerCollection* list) {
    LeaveQuestion();
    questionList_ = list;
    RebuildDisplay();
    UpdateActions();
}

void TfmQuestion::SetStudy(TStudy* study) {
    if (study_) {
        study_->SetOnStateChange({});
    }
    study_ = study;
    if (study_) {
        study_->SetOnStateChange(
            [this](TStudy& sender) { guarded([this, &sender] { StudyStateChanged(sender); }); });
        if (Examining()) {
            study_->SetMinutesUsed(0);
        }
    }
    UpdateActions();
}

void TfmQuestion::ShowQuestion(TQuestion* question) {
    lblVerdict_->clear();
    if (question == currentQuestion_) {
        return;
    }
    if (mode_ == kWindowModeEditing && editor_ && !editor_->MayLeave()) {
        return;
    }
    LeaveQuestion();
    if (question) {
        if (!questionList_) {
            RebuildDisplay();
            UpdateActions();
            throw KvalorError("Не задан список вопросов");
        }
        currentQuestion_ = question;
    }
    RebuildDisplay();
    UpdateActions();
}

void TfmQuestion::LeaveQuestion() {
    if (currentQuestion_) {
        TAnswers& answers = currentQuestion_->Answers();
        answers.SetOnChange({});
        answers.Presentation()->SetOnChange({});
        currentQuestion_ = nullptr;
    }
    RemoveFrames();
}

void TfmQuestion::RemoveFrames() {
    // The keyboard waits on the panel for the next frames, instead of wandering off to
    // another control as each frame goes.
    if (const QWidget* focused = focusWidget(); focused && pnFrames_->isAncestorOf(focused)) {
        pnFrames_->setFocus();
    }
    for (TfrAnswer* frame : frames_) {
        // A frame may be the sender of the signal that led here.
        frame->disconnect(this);
        frame->hide();
        frame->deleteLater();
    }
    frames_.clear();
}

void TfmQuestion::RemoveFrame(TfrAnswer& frame) {
    frames_.erase(std::find(frames_.begin(), frames_.end(), &frame));
    frame.disconnect();
    frame.SetAnswer(nullptr);
    frame.hide();
    frame.deleteLater();
}

void TfmQuestion::RebuildDisplay() {
    RemoveFrames();
    showAnswerType(*bgAnswerType_, currentQuestion_ ? currentQuestion_->QuestionType() : -1);
    // The keyboard stays with the answers from one question to the next.
    const QWidget* focused = focusWidget();
    const bool focusOnAnswers = !focused || focused == pnFrames_;
    TQuestion* question = currentQuestion_;

    const int position = question && questionList_ ? questionList_->IndexOf(question) : -1;
    lblQuestionNo_->setText(
        position < 0
            ? QString()
            : QStringLiteral("Вопрос %1 из %2").arg(position + 1).arg(questionList_->Count()));

    const int record = question && study_ ? study_->Questions().IndexOfQuestion(*question) : -1;
    if (mode_ == kWindowModeReview && record >= 0) {
        lblQuestion_->setText(QStringLiteral("Текст вопроса № %1").arg(record + 1));
    } else {
        lblQuestion_->setText(QStringLiteral("Текст вопроса"));
    }
    edQuestion_->setPlainText(question ? fromCp1251(question->GetName()) : QString());

    const std::vector<std::int32_t>* given =
        record >= 0 ? &study_->Questions().Items(record).Given : nullptr;
    touched_ = (given && !given->empty()) || mode_ == kWindowModeReview;
    modified_ = false;

    if (question) {
        TAnswers& answers = question->Answers();
        // The editor works on the author's order, an examination on the order shown.
        TAnswers& shown = mode_ == kWindowModeEditing ? answers : *answers.Presentation();
        const bool choice = question->QuestionType() != kSequence;
        // A review shows exactly what was recorded, not marks or moves left on the question
        // since.
        if (mode_ == kWindowModeReview && record >= 0) {
            arrangeAsRecorded(answers, study_->Questions().Items(record), !choice);
        }
        if (mode_ == kWindowModeReview && choice) {
            answers.ClearChecked();
        }
        for (int i = 0; i < shown.Count(); ++i) {
            TAnswer* answer = shown.AnswerAt(i);
            if (choice && given &&
                std::find(given->begin(), given->end(), answers.IndexOf(answer)) != given->end()) {
                answer->SetChecked(true);
            }
            AddFrame(shown, *answer, i + 1);
        }
        const auto changed = [this](TAnswers&) { guarded([this] { AnswersChanged(); }); };
        answers.SetOnChange(changed);
        answers.Presentation()->SetOnChange(changed);
        if (focusOnAnswers && mode_ != kWindowModeEditing && !frames_.empty()) {
            frames_.front()->setFocus();
        }
    }

    if (touched_) {
        ShowVerdict();
    } else {
        SetVerdict(kVerdictNoAnswer);
    }
    if (mode_ == kWindowModeEditing && editor_) {
        editor_->QuestionShown();
    }
}

void TfmQuestion::AddFrame(TAnswers& answers, TAnswer& answer, int position) {
    auto* frame = new TfrAnswer(answers, mode_ != kWindowModeEditing, pnFrames_);
    frame->SetAnswer(&answer);
    frame->SetPosition(position);
    frame->SetButtonsInert(mode_ == kWindowModeReview);
    ProtectText(*frame->edText());
    connect(frame, &TfrAnswer::OnMoveUp, this,
            [this](TfrAnswer* moved) { guarded([this, moved] { FrameMoved(moved, -1); }); });
    connect(frame, &TfrAnswer::OnMoveDown, this,
            [this](TfrAnswer* moved) { guarded([this, moved] { FrameMoved(moved, 1); }); });
    connect(frame, &TfrAnswer::FrameChanged, this, [this] { modified_ = true; });
    // Before the stretch that keeps the frames at the top.
    framesLayout_->insertWidget(framesLayout_->count() - 1, frame);
    frame->show();
    frames_.push_back(frame);
}

void TfmQuestion::ProtectText(QTextEdit& text) {
    text.installEventFilter(this);
    text.viewport()->installEventFilter(this);
    text.setContextMenuPolicy(Qt::PreventContextMenu);
}

void TfmQuestion::AnswersChanged() {
    if (mode_ != kWindowModeReview) {
        touched_ = true;
    }
    for (TfrAnswer* frame : frames_) {
        frame->UpdateButtons();
    }
    if (mode_ == kWindowModePreparation) {
        ShowVerdict();
    }
}

void TfmQuestion::FrameMoved(TfrAnswer* frame, int direction) {
    const auto at = std::find(frames_.begin(), frames_.end(), frame);
    if (at == frames_.end()) {
        return;
    }
    const std::ptrdiff_t other = (at - frames_.begin()) + direction;
    if (other < 0 || other >= static_cast<std::ptrdiff_t>(frames_.size())) {
        return;
    }
    // The answer has moved in the list; the two frames follow it.
    TfrAnswer* neighbour = frames_[static_cast<std::size_t>(other)];
    frame->ExchangeAnswers(*neighbour);
    // The keyboard moves the answer on, not the frame.
    if (focusWidget() == frame) {
        neighbour->setFocus();
    }
    touched_ = true;
    modified_ = true;
    if (mode_ == kWindowModePreparation) {
        ShowVerdict();
    }
}

void TfmQuestion::ShowVerdict() {
    if (mode_ == kWindowModePreparation) {
        std::uint8_t verdict = kVerdictNoAnswer;
        if (touched_ && study_ && study_->State() == kStudyInProgress && currentQuestion_) {
            if (currentQuestion_->IsAnsweredRight()) {
                verdict = kVerdictRight;
            } else if (currentQuestion_->QuestionType() == kSequence) {
                // A recorded order is an answer, though nothing has moved since it came back.
                const TExamineQuestion* record = CurrentRecord();
                verdict = modified_ || (record && !record->Given.empty()) ? kVerdictWrong
                                                                          : kVerdictNoAnswer;
            } else {
                verdict = currentQuestion_->Answers().CountChecked() > 0 ? kVerdictWrong
                                                                         : kVerdictNoAnswer;
            }
        }
        SetVerdict(verdict);
    } else if (mode_ == kWindowModeReview) {
        std::uint8_t verdict = kVerdictNoAnswer;
        if (const TExamineQuestion* recorded = CurrentRecord()) {
            if (recorded->Right) {
                verdict = kVerdictRight;
            } else if (!recorded->Given.empty()) {
                verdict = kVerdictWrong;
            }
        }
        SetVerdict(verdict);
    }
}

const TExamineQuestion* TfmQuestion::CurrentRecord() const {
    const int record =
        currentQuestion_ && study_ ? study_->Questions().IndexOfQuestion(*currentQuestion_) : -1;
    return record >= 0 ? &study_->Questions().Items(record) : nullptr;
}

void TfmQuestion::SetVerdict(std::uint8_t verdict) {
    verdict_ = verdict;
    SetVerdictPicture(verdict);
    switch (verdict) {
        case kVerdictRight:
            lblVerdict_->setText(QStringLiteral("верно"));
            setTextColour(*lblVerdict_, kGreenText);
            break;
        case kVerdictWrong:
            lblVerdict_->setText(QStringLiteral("неверно"));
            setTextColour(*lblVerdict_, kMaroonText);
            break;
        default:
            lblVerdict_->setText(QStringLiteral("нет ответа"));
            setTextColour(*lblVerdict_, defaultTextColour());
            break;
    }
}

void TfmQuestion::SetVerdictPicture(int picture) {
    verdictPicture_ = picture;
    lblVerdictPicture_->setPixmap(verdictPicture(static_cast<kvalor::VerdictPicture>(picture)));
}

void TfmQuestion::StudyStateChanged(const TStudy& study) {
    if (mode_ != kWindowModeReview) {
        SetVerdictPicture(static_cast<int>(kvalor::VerdictPicture::StateMessage));
        setTextColour(*lblVerdict_, kNavyText);
        if (study.State() == kStudyFinished) {
            lblVerdict_->setText(QStringLiteral("проверка завершена"));
        } else if (study.State() == kStudyTimeIsUp) {
            lblVerdict_->setText(QStringLiteral("время истекло"));
        }
    }
    UpdateActions();
}

void TfmQuestion::RecordAnswer() {
    if (!Examining() || !currentQuestion_ || !study_) {
        return;
    }
    const TAnswers& answers = currentQuestion_->Answers();
    std::vector<std::int32_t> given;
    if (currentQuestion_->QuestionType() == kSequence) {
        // For each answer in the author's order, the place the applicant put it in.
        const TAnswers& shown = *answers.Presentation();
        for (int i = 0; i < answers.Count(); ++i) {
            given.push_back(shown.IndexOf(answers.AnswerAt(i)));
        }
    } else {
        for (const int index : answers.CheckedIndexes()) {
            given.push_back(index);
        }
    }
    study_->SetAnswers(*currentQuestion_, std::move(given));
}

void TfmQuestion::Start() {
    setWindowTitle(modeCaption(mode_));
    if (mode_ != kWindowModeEditing) {
        countdownStart_ = appClock().now();
        touched_ = mode_ == kWindowModeReview;
        if (Examining()) {
            // Started before the first tick, so that a tick which finds the time up stops it.
            tmCountdown_->start();
            CountdownTick();
        } else {
            tmCountdown_->stop();
        }
    } else if (editor_) {
        editor_->Started();
    }
    UpdateActions();
}

void TfmQuestion::CountdownTick() {
    if (!study_) {
        tmCountdown_->stop();
        return;
    }
    // Full date-times: an examination that runs past midnight keeps its time.
    const qint64 elapsed = countdownStart_.secsTo(appClock().now());
    const qint64 remaining = static_cast<qint64>(timeAllowance_) * 60 - elapsed;
    if (remaining > 0) {
        ShowRemaining(remaining);
        return;
    }
    if (closeQuestionOpen_) {
        return;
    }
    TimeIsUp();
}

void TfmQuestion::ShowRemaining(qint64 seconds) {
    lblCountdown_->setText(
        QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg((seconds / 60) % 60).arg(seconds % 60));
    setTextColour(*lblCountdown_, kNavyText);
}

void TfmQuestion::TimeIsUp() {
    tmCountdown_->stop();
    // The marks made on the question since it was shown are not recorded. Left before the
    // state changes, so that "время истекло" is what stays on screen.
    ShowQuestion(nullptr);
    study_->SetMinutesUsed(study_->MinutesUsed() + timeAllowance_);
    study_->SetState(kStudyTimeIsUp);
    lblCountdown_->setText(QStringLiteral("0:0:0"));
    setTextColour(*lblCountdown_, kRedText);
    UpdateActions();
    timeAllowance_ = 0;
    const auto answer =
        prompts().ask(QStringLiteral("Время истекло. Завершить работу ?"), kCaption,
                      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) {
        CloseIfShowing();
    } else {
        ExtendTime();
    }
}

void TfmQuestion::ExtendTime() {
    // Only the built-in staff accounts may give more time.
    TCompetitors& users = kvalorRoot().Users();
    TAuthorizations entries;
    for (const Guid& id : {AdministratorAccountId(), TeacherAccountId()}) {
        if (const auto* account = dynamic_cast<const TCompetitor*>(users.FindItem(id))) {
            entries.push_back(authorizationOf(*account));
        }
    }
    login_.SetFixedList(true);
    login_.SetEntries(entries);
    if (prompts().runModal(login_) != QDialog::Accepted) {
        CloseIfShowing();
        return;
    }
    const auto extra = prompts().inputBox(QStringLiteral("Продление времени теста"),
                                          QStringLiteral("Дополнительное время (мин)"),
                                          QString::number(timeAllowance_));
    if (!extra) {
        CloseIfShowing();
        return;
    }
    bool isNumber = false;
    const int minutes = extra->trimmed().toInt(&isNumber);
    timeAllowance_ = isNumber ? minutes : 0;

    // Back to work before the question is shown, so that its verdict is judged as usual.
    study_->SetState(kStudyInProgress);
    TQuestion* resume = nullptr;
    for (const TExamineQuestion* record : study_->SelectQuestions(kNotAnswered)) {
        if (record->Question) {
            resume = record->Question;
            break;
        }
    }
    for (int i = 0; !resume && i < study_->Questions().Count(); ++i) {
        resume = study_->Questions().Items(i).Question;
    }
    ShowQuestion(resume);

    countdownStart_ = appClock().now();
    tmCountdown_->start();
    CountdownTick();
}

void TfmQuestion::CloseIfShowing() {
    if (isVisible()) {
        reject();
    }
}

void TfmQuestion::done(int result) {
    if (isVisible()) {
        if (!CloseQuery()) {
            ResumeAfterRefusedClose();
            return;
        }
        // However the window is closed, a graded run ends as "Завершить" ends it: the answer on
        // screen counts. (A preparation given up stays in progress, to be discarded.)
        if (mode_ == kWindowModeTesting && study_ && study_->State() == kStudyInProgress) {
            FinishStudy();
        }
    }
    FormClose();
    QDialog::done(result);
}

bool TfmQuestion::CloseQuery() {
    if (mode_ == kWindowModeEditing) {
        return !editor_ || editor_->CloseQuery();
    }
    if (!Examining()) {
        return true;
    }
    const bool discarded =
        mode_ == kWindowModePreparation && study_ && study_->State() == kStudyInProgress;
    const QString text =
        discarded ? QStringLiteral("Результаты теста не будут сохранены.\nЗавершить тестирование?")
                  : QStringLiteral("Завершить тестирование?");
    closeQuestionOpen_ = true;
    // Enter pressed by habit must not end the examination.
    const bool confirmed = confirmDestructive(text, kCaption, QMessageBox::Warning);
    closeQuestionOpen_ = false;
    return confirmed;
}

void TfmQuestion::ResumeAfterRefusedClose() {
    if (study_) {
        study_->SetState(kStudyInProgress);
    }
    ShowVerdict();
    // From the same start: the time spent in the dialogs counts.
    tmCountdown_->start();
    UpdateActions();
}

void TfmQuestion::FormClose() {
    ShowQuestion(nullptr);
    SetVerdictPicture(0);
    tmCountdown_->stop();
    SetQuestionList(nullptr);
    if (study_ && study_->State() == kStudyInProgress && mode_ == kWindowModeTesting) {
        study_->SetState(kStudyFinished);
    }
    // A preparation left in progress stays so: the caller discards it.
    SetStudy(nullptr);
}

void TfmQuestion::actFinishExecute() {
    if (study_ && study_->State() != kStudyFinished && Examining()) {
        FinishStudy();
    }
    accept();
}

void TfmQuestion::FinishStudy() {
    tmCountdown_->stop();
    RecordAnswer();
    const qint64 minutes = countdownStart_.secsTo(appClock().now()) / 60;
    study_->SetMinutesUsed(study_->MinutesUsed() + static_cast<std::int32_t>(minutes));
    study_->SetState(kStudyFinished);
}

void TfmQuestion::actNextExecute() {
    if (questionList_) {
        Page(NextQuestion(*questionList_, currentQuestion_));
    }
}

void TfmQuestion::actPreviousExecute() {
    if (questionList_) {
        Page(PrevQuestion(*questionList_, currentQuestion_));
    }
}

void TfmQuestion::Page(TQuestion* target) {
    RecordAnswer();
    touched_ = mode_ == kWindowModeReview;
    SetVerdict(kVerdictNoAnswer);
    ShowQuestion(target);
    if (mode_ == kWindowModePreparation || mode_ == kWindowModeReview) {
        ShowVerdict();
    }
}

void TfmQuestion::UpdateActions() {
    const bool examination = mode_ != kWindowModeEditing && study_;
    const bool paging = examination &&
                        (study_->State() != kStudyTimeIsUp || mode_ == kWindowModeReview) &&
                        currentQuestion_ && questionList_;
    actNext_->setEnabled(paging && !IsLastEntry(*questionList_, currentQuestion_));
    actPrevious_->setEnabled(paging && !IsFirstEntry(*questionList_, currentQuestion_));
    actFinish_->setEnabled(examination);
    if (editor_) {
        editor_->UpdateActions();
    }
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

void TfmQuestion::keyPressEvent(QKeyEvent* event) {
    // Questions must not leave the examination through the clipboard, and Escape pressed by
    // habit must not end it: only "Завершить", the close button and the time end it.
    if (Examining() && (event->matches(QKeySequence::Copy) || event->key() == Qt::Key_Escape)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfmQuestion::eventFilter(QObject* watched, QEvent* event) {
    if (mode_ != kWindowModeEditing && qobject_cast<QWidget*>(watched) != nullptr) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
                // The texts cannot be selected, hence not copied: the focus goes elsewhere.
                pnBottom_->setFocus();
                return true;
            case QEvent::ContextMenu:
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

TfmQuestion& questionWindow(TfmKvalor& mainWindow) {
    auto* window = mainWindow.findChild<TfmQuestion*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new TfmQuestion(mainWindow.AuthorizationDialog(), &mainWindow);
    }
    return *window;
}

}  // namespace kvalor

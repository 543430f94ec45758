#include "question/QuestionWindow.h"

#include <algorithm>
#include <utility>

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTextEdit>
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
#include "question/Examination.h"
#include "question/QuestionWindowSupport.h"
#include "ui/ErrorGuard.h"
#include "ui/Icons.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

const QString kCaption = QStringLiteral("Предупреждение");

TfmQuestion::EditingModeFactory& editingModeFactory() {
    static TfmQuestion::EditingModeFactory factory;
    return factory;
}

QString modeCaption(WindowMode mode) {
    switch (mode) {
        case WindowMode::Editing:
            return QStringLiteral("Редактирование тестов");
        case WindowMode::Preparation:
            return QStringLiteral("Проверка");
        case WindowMode::Testing:
            return QStringLiteral("Тестирование");
        case WindowMode::Review:
            return QStringLiteral("Просмотр результатов");
    }
    return {};
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

}  // namespace

void TfmQuestion::registerEditingMode(EditingModeFactory factory) {
    editingModeFactory() = std::move(factory);
}

TfmQuestion::TfmQuestion(TfmAuthorization& login, QWidget* parent)
    : QDialog(parent),
      login_(login),
      examination_(new TExamination(this)),
      actFinish_(new QAction(QStringLiteral("Завершить"), this)),
      actPrevious_(new QAction(QStringLiteral("Предыдущий"), this)),
      actNext_(new QAction(QStringLiteral("Следующий"), this)) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    actFinish_->setObjectName(QStringLiteral("actFinish"));
    actPrevious_->setObjectName(QStringLiteral("actPrevious"));
    actNext_->setObjectName(QStringLiteral("actNext"));
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
    connect(examination_, &TExamination::Remaining, this, &TfmQuestion::ShowRemaining);
    connect(examination_, &TExamination::Expiring, this, guard([this] { ShowQuestion(nullptr); }));
    connect(examination_, &TExamination::Expired, this, guard([this] { TimeIsUp(); }));
    connect(examination_, &TExamination::Resuming, this,
            [this](TQuestion* question) { guarded([this, question] { ShowQuestion(question); }); });
    connect(examination_, &TExamination::StateChanged, this,
            guard([this] { StudyStateChanged(); }));
    connect(actFinish_, &QAction::triggered, this, guard([this] { actFinishExecute(); }));
    connect(actNext_, &QAction::triggered, this, guard([this] { actNextExecute(); }));
    connect(actPrevious_, &QAction::triggered, this, guard([this] { actPreviousExecute(); }));

    ArrangePanels();
    SetVerdictPicture(0);
    UpdateActions();
}

TfmQuestion::~TfmQuestion() {
    // Neither the examination nor the answers may call back into a window that is gone.
    examination_->disconnect(this);
    LeaveQuestion();
}

WindowMode TfmQuestion::Mode() const {
    return examination_->Mode();
}

void TfmQuestion::SetMode(WindowMode mode) {
    const bool changed = mode != Mode();
    examination_->SetMode(mode);
    if (changed) {
        ArrangePanels();
    }
    SetVerdict(kVerdictNoAnswer);
    UpdateActions();
}

TStudy* TfmQuestion::Study() const {
    return examination_->Study();
}

void TfmQuestion::SetTimeAllowance(int minutes) {
    examination_->SetTimeAllowance(minutes);
}

void TfmQuestion::SetQuestionList(TExaminerCollection* list) {
    LeaveQuestion();
    questionList_ = list;
    RebuildDisplay();
    UpdateActions();
}

void TfmQuestion::SetStudy(TStudy* study) {
    examination_->SetStudy(study);
    UpdateActions();
}

void TfmQuestion::ShowQuestion(TQuestion* question) {
    lblVerdict_->clear();
    if (question == currentQuestion_) {
        return;
    }
    if (Mode() == WindowMode::Editing && editor_ && !editor_->MayLeave()) {
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

    const TStudy* study = Study();
    const int record = question && study ? study->Questions().IndexOfQuestion(*question) : -1;
    if (Mode() == WindowMode::Review && record >= 0) {
        lblQuestion_->setText(QStringLiteral("Текст вопроса № %1").arg(record + 1));
    } else {
        lblQuestion_->setText(QStringLiteral("Текст вопроса"));
    }
    edQuestion_->setPlainText(question ? fromCp1251(question->GetName()) : QString());

    const TExamineQuestion* recorded = examination_->Record(question);
    touched_ = (recorded && !recorded->Given.empty()) || Mode() == WindowMode::Review;
    modified_ = false;

    if (question) {
        examination_->RestoreAnswer(*question);
        TAnswers& answers = question->Answers();
        // The editor works on the author's order, an examination on the order shown.
        TAnswers& shown = Mode() == WindowMode::Editing ? answers : *answers.Presentation();
        for (int i = 0; i < shown.Count(); ++i) {
            AddFrame(shown, *shown.AnswerAt(i), i + 1);
        }
        const auto changed = [this](TAnswers&) { guarded([this] { AnswersChanged(); }); };
        answers.SetOnChange(changed);
        answers.Presentation()->SetOnChange(changed);
        if (focusOnAnswers && Mode() != WindowMode::Editing && !frames_.empty()) {
            frames_.front()->setFocus();
        }
    }

    if (touched_) {
        ShowVerdict();
    } else {
        SetVerdict(kVerdictNoAnswer);
    }
    if (Mode() == WindowMode::Editing && editor_) {
        editor_->QuestionShown();
    }
}

void TfmQuestion::AddFrame(TAnswers& answers, TAnswer& answer, int position) {
    auto* frame = new TfrAnswer(answers, Mode() != WindowMode::Editing, pnFrames_);
    frame->SetAnswer(&answer);
    frame->SetPosition(position);
    frame->SetButtonsInert(Mode() == WindowMode::Review);
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
    if (Mode() != WindowMode::Review) {
        touched_ = true;
    }
    for (TfrAnswer* frame : frames_) {
        frame->UpdateButtons();
    }
    if (Mode() == WindowMode::Preparation) {
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
    if (Mode() == WindowMode::Preparation) {
        ShowVerdict();
    }
}

void TfmQuestion::ShowVerdict() {
    if (Mode() == WindowMode::Preparation || Mode() == WindowMode::Review) {
        SetVerdict(examination_->Judge(currentQuestion_, touched_, modified_));
    }
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

void TfmQuestion::StudyStateChanged() {
    const TStudy* study = Study();
    if (study && Mode() != WindowMode::Review) {
        SetVerdictPicture(static_cast<int>(kvalor::VerdictPicture::StateMessage));
        setTextColour(*lblVerdict_, kNavyText);
        if (study->State() == kStudyFinished) {
            lblVerdict_->setText(QStringLiteral("проверка завершена"));
        } else if (study->State() == kStudyTimeIsUp) {
            lblVerdict_->setText(QStringLiteral("время истекло"));
        }
    }
    UpdateActions();
}

void TfmQuestion::Start() {
    const WindowMode mode = Mode();
    setWindowTitle(modeCaption(mode));
    if (mode != WindowMode::Editing) {
        touched_ = mode == WindowMode::Review;
        examination_->Start();
    } else if (editor_) {
        editor_->Started();
    }
    UpdateActions();
}

void TfmQuestion::ShowRemaining(qint64 seconds) {
    lblCountdown_->setText(
        QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg((seconds / 60) % 60).arg(seconds % 60));
    setTextColour(*lblCountdown_, kNavyText);
}

void TfmQuestion::TimeIsUp() {
    lblCountdown_->setText(QStringLiteral("0:0:0"));
    setTextColour(*lblCountdown_, kRedText);
    UpdateActions();
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
                                          QString::number(examination_->TimeAllowance()));
    if (!extra) {
        CloseIfShowing();
        return;
    }
    bool isNumber = false;
    const int minutes = extra->trimmed().toInt(&isNumber);
    examination_->Extend(isNumber ? minutes : 0);
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
        examination_->FinishOnClose(currentQuestion_);
    }
    FormClose();
    QDialog::done(result);
}

bool TfmQuestion::CloseQuery() {
    if (Mode() == WindowMode::Editing) {
        return !editor_ || editor_->CloseQuery();
    }
    if (!examination_->Examining()) {
        return true;
    }
    const TStudy* study = Study();
    const bool discarded =
        Mode() == WindowMode::Preparation && study && study->State() == kStudyInProgress;
    const QString text =
        discarded ? QStringLiteral("Результаты теста не будут сохранены.\nЗавершить тестирование?")
                  : QStringLiteral("Завершить тестирование?");
    // While the confirmation is open the countdown runs on, but an expiry waits for the
    // answer: the two prompts must not nest.
    examination_->HoldExpiry(true);
    // Enter pressed by habit must not end the examination.
    const bool confirmed = confirmDestructive(text, kCaption, QMessageBox::Warning);
    examination_->HoldExpiry(false);
    return confirmed;
}

void TfmQuestion::ResumeAfterRefusedClose() {
    examination_->Resume();
    ShowVerdict();
    UpdateActions();
}

void TfmQuestion::FormClose() {
    ShowQuestion(nullptr);
    SetVerdictPicture(0);
    SetQuestionList(nullptr);
    examination_->Close();
    SetStudy(nullptr);
}

void TfmQuestion::actFinishExecute() {
    examination_->Finish(currentQuestion_);
    accept();
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
    examination_->RecordAnswer(currentQuestion_);
    touched_ = Mode() == WindowMode::Review;
    SetVerdict(kVerdictNoAnswer);
    ShowQuestion(target);
    if (Mode() == WindowMode::Preparation || Mode() == WindowMode::Review) {
        ShowVerdict();
    }
}

void TfmQuestion::UpdateActions() {
    const TStudy* study = Study();
    const bool examination = Mode() != WindowMode::Editing && study;
    const bool paging = examination &&
                        (study->State() != kStudyTimeIsUp || Mode() == WindowMode::Review) &&
                        currentQuestion_ && questionList_;
    actNext_->setEnabled(paging && !IsLastEntry(*questionList_, currentQuestion_));
    actPrevious_->setEnabled(paging && !IsFirstEntry(*questionList_, currentQuestion_));
    actFinish_->setEnabled(examination);
    if (editor_) {
        editor_->UpdateActions();
    }
}

void TfmQuestion::keyPressEvent(QKeyEvent* event) {
    // Questions must not leave the examination through the clipboard, and Escape pressed by
    // habit must not end it: only "Завершить", the close button and the time end it.
    if (examination_->Examining() &&
        (event->matches(QKeySequence::Copy) || event->key() == Qt::Key_Escape)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfmQuestion::eventFilter(QObject* watched, QEvent* event) {
    if (Mode() != WindowMode::Editing && qobject_cast<QWidget*>(watched) != nullptr) {
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

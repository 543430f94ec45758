#include "authoring/QuestionEditor.h"

#include <algorithm>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "authoring/ItemPaste.h"
#include "authoring/QuestionDraft.h"
#include "authoring/TestItems.h"
#include "model/Answers.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/StudyList.h"
#include "question/AnswerFrame.h"
#include "question/FittingTextEdit.h"
#include "question/QuestionWindow.h"
#include "storage/ClipboardData.h"
#include "ui/Clipboard.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

const QString kCaption = QStringLiteral("Предупреждение");
constexpr int kTreeWidth = 230;
constexpr int kIconSize = 16;

QString nodeText(const TItemNode& node) {
    if (dynamic_cast<const TQuestion*>(node.Item)) {
        return QStringLiteral("Вопрос %1").arg(node.Item->GetNumber());
    }
    return fromCp1251(node.Item->GetName());
}

void setTitleBold(TfrAnswer& frame, bool bold) {
    QFont font = frame.lblTitle()->font();
    font.setBold(bold);
    frame.lblTitle()->setFont(font);
}

}  // namespace

TQuestionEditor::TQuestionEditor(TfmQuestion& window)
    : window_(window),
      model_(new TItemTreeModel({QString()}, {QString()})),
      actSave_(new QAction(actionIcon(ActionIcon::Save), QStringLiteral("Сохранить"), this)),
      actNewAnswer_(new QAction(actionIcon(ActionIcon::Add), QStringLiteral("Добавить"), this)),
      actDeleteAnswer_(
          new QAction(actionIcon(ActionIcon::Delete), QStringLiteral("Удалить"), this)),
      actNewQuestion_(new QAction(actionIcon(ActionIcon::Add), QStringLiteral("Добавить"), this)),
      actDeleteQuestion_(
          new QAction(actionIcon(ActionIcon::Delete), QStringLiteral("Удалить"), this)),
      actSmpCopy_(new QAction(actionIcon(ActionIcon::Copy), QStringLiteral("Копировать"), this)),
      actSmpPaste_(new QAction(actionIcon(ActionIcon::Paste), QStringLiteral("Вставить"), this)) {
    model_->SetTextsFunction([](const TItemNode& node) { return QStringList{nodeText(node)}; });
    model_->SetRoleFunction([this](const TItemNode& node, int, int role) -> QVariant {
        if (role == Qt::ToolTipRole) {
            return nodeText(node);
        }
        if (role == Qt::FontRole && node.Item->IsCollection()) {
            QFont bold = tvQuestions_->font();
            bold.setBold(true);
            return bold;
        }
        return {};
    });
    BuildControls();
    nameObjects({{tvQuestions_, "tvQuestions"},
                 {chbDontMixAnswers_, "chbDontMixAnswers"},
                 {actSave_, "actSave"},
                 {actNewAnswer_, "actNewAnswer"},
                 {actDeleteAnswer_, "actDeleteAnswer"},
                 {actNewQuestion_, "actNewQuestion"},
                 {actDeleteQuestion_, "actDeleteQuestion"},
                 {actSmpCopy_, "actSmpCopy"},
                 {actSmpPaste_, "actSmpPaste"}});
    ConnectControls();
}

TQuestionEditor::~TQuestionEditor() = default;

void TQuestionEditor::BuildControls() {
    // Tool buttons rather than a tool bar: they never hide behind an overflow arrow, and they
    // wrap into more rows at a large font (ArrangeButtons).
    tbEditing_ = new QWidget;
    tbEditing_->setAccessibleName(QStringLiteral("Редактирование теста"));
    auto* grid = new QGridLayout(tbEditing_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    const auto button = [this](const QString& caption, const QIcon& icon) {
        auto* tool = new QToolButton(tbEditing_);
        tool->setText(caption);
        tool->setIcon(icon);
        tool->setAutoRaise(true);
        tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        return tool;
    };
    const auto submenu = [this, &button](const QString& caption, ActionIcon icon,
                                         std::initializer_list<QAction*> actions) {
        auto* menu = new QMenu(caption, tbEditing_);
        menu->addActions(actions);
        QToolButton* tool = button(caption, actionIcon(icon));
        tool->setMenu(menu);
        tool->setPopupMode(QToolButton::InstantPopup);
        return menu;
    };
    mnQuestion_ =
        submenu(QStringLiteral("Вопрос"), ActionIcon::Tests, {actNewQuestion_, actDeleteQuestion_});
    mnAnswer_ =
        submenu(QStringLiteral("Ответ"), ActionIcon::Edit, {actNewAnswer_, actDeleteAnswer_});
    submenu(QStringLiteral("Элемент"), ActionIcon::Copy, {actSmpCopy_, actSmpPaste_});
    button(QString(), QIcon())->setDefaultAction(actSave_);
    ArrangeButtons();

    actSave_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actNewAnswer_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actDeleteAnswer_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    // The window's own shortcuts, also where the menus are closed.
    window_.addActions({actSave_, actNewAnswer_, actDeleteAnswer_});

    tvQuestions_ = new QTreeView;
    model_->setParent(tvQuestions_);
    tvQuestions_->setModel(model_);
    tvQuestions_->setHeaderHidden(true);
    tvQuestions_->setUniformRowHeights(true);
    tvQuestions_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Insert and Delete act on questions while the tree has the focus.
    actNewQuestion_->setShortcut(QKeySequence(Qt::Key_Insert));
    actDeleteQuestion_->setShortcut(QKeySequence::Delete);
    actSmpCopy_->setShortcut(QKeySequence::Copy);
    actSmpPaste_->setShortcut(QKeySequence::Paste);
    for (QAction* action : {actNewQuestion_, actDeleteQuestion_, actSmpCopy_, actSmpPaste_}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        tvQuestions_->addAction(action);
    }

    QWidget* panel = window_.pnEditing();
    panel->setMinimumWidth(kTreeWidth);
    panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->addWidget(tbEditing_);
    layout->addWidget(tvQuestions_, 1);

    chbDontMixAnswers_ = new QCheckBox(QStringLiteral("не изменять порядок ответов"));
    auto* dontMix = new QHBoxLayout(window_.pnDontMix());
    dontMix->setContentsMargins(0, 0, 0, 0);
    dontMix->addWidget(chbDontMixAnswers_);
    dontMix->addStretch();
}

void TQuestionEditor::ArrangeButtons() {
    auto* grid = static_cast<QGridLayout*>(tbEditing_->layout());
    const auto buttons = tbEditing_->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
    int row = 0;
    int widest = 0;
    for (QToolButton* tool : buttons) {
        // Pictures as tall as the letters beside them.
        const int side = std::max(kIconSize, tool->fontMetrics().height());
        tool->setIconSize(QSize(side, side));
        grid->removeWidget(tool);
        row += tool->sizeHint().width() + grid->horizontalSpacing();
        widest = std::max(widest, tool->sizeHint().width());
    }
    // The tree and its buttons take at most a third of the screen, the question the rest: at a
    // large font the buttons go two or one to a row rather than be cut short.
    const QScreen* display = tbEditing_->screen();
    const int room = display ? display->availableGeometry().width() / 3 : row;
    const int count = static_cast<int>(buttons.size());
    const int columns = row <= room ? count : (2 * widest <= room ? 2 : 1);
    for (int i = 0; i < count; ++i) {
        grid->addWidget(buttons[static_cast<std::size_t>(i)], i / columns, i % columns);
    }
    for (int column = 0; column <= count; ++column) {
        grid->setColumnStretch(column, column == columns ? 1 : 0);
    }
}

void TQuestionEditor::ConnectControls() {
    connect(actSave_, &QAction::triggered, this, guard([this] { actSaveExecute(); }));
    connect(actNewAnswer_, &QAction::triggered, this, guard([this] { actNewAnswerExecute(); }));
    connect(actDeleteAnswer_, &QAction::triggered, this,
            guard([this] { actDeleteAnswerExecute(); }));
    connect(actNewQuestion_, &QAction::triggered, this, guard([this] { actNewQuestionExecute(); }));
    connect(actDeleteQuestion_, &QAction::triggered, this,
            guard([this] { actDeleteQuestionExecute(); }));

    connect(window_.edQuestion(), &QTextEdit::textChanged, this, [this] {
        if (Editing() && !loading_ && window_.CurrentQuestion()) {
            SetModified();
        }
    });
    connect(chbDontMixAnswers_, &QCheckBox::clicked, this, [this](bool on) {
        // On means the answers keep their order: a change when that differs from the stored.
        if (window_.CurrentQuestion() && on == window_.CurrentQuestion()->Answers().AllowMix()) {
            SetModified();
        }
    });
    connect(window_.bgAnswerType(), &QButtonGroup::idClicked, this, [this](int type) {
        guarded([this, type] {
            TQuestion* question = window_.CurrentQuestion();
            if (!Editing() || !question || question->QuestionType() == type) {
                return;
            }
            question->SetQuestionType(static_cast<std::uint8_t>(type));
            // The key of the new type is stored only by "Сохранить".
            SetModified();
        });
    });
    connect(actSmpCopy_, &QAction::triggered, this, guard([this] { actSmpCopyExecute(); }));
    connect(actSmpPaste_, &QAction::triggered, this, guard([this] { actSmpPasteExecute(); }));
    connect(tvQuestions_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            guard([this] { TreeCurrentChanged(); }));
    connect(tvQuestions_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateActions(); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { UpdateActions(); });
}

bool TQuestionEditor::Editing() const {
    return window_.Mode() == WindowMode::Editing;
}

TQuestions* TQuestionEditor::Test() const {
    return dynamic_cast<TQuestions*>(window_.QuestionList());
}

void TQuestionEditor::SetModified() {
    window_.SetModified(true);
    UpdateActions();
}

// Leaving and showing a question.

bool TQuestionEditor::MayLeave() {
    TQuestion* current = window_.CurrentQuestion();
    if (!current || deleting_) {
        return true;
    }
    if (window_.Modified()) {
        // Enter saves, Escape stays: neither loses the author's work.
        const auto answer = prompts().ask(
            QStringLiteral("Сохранить изменения ?"), kCaption, QMessageBox::Question,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::No) {
            RestoreStored();
        } else if (answer != QMessageBox::Yes || !Save()) {
            StayOnCurrent();
            return false;
        }
    }
    if (!current->IsValid()) {
        if (!confirmDestructive(QStringLiteral("Параметры вопроса некорректны.\nУдалить вопрос ?"),
                                kCaption, QMessageBox::Question)) {
            StayOnCurrent();
            return false;
        }
        // Refusing the deletion keeps the question in the test; the window moves on anyway.
        actDeleteQuestionExecute();
    }
    return true;
}

void TQuestionEditor::QuestionShown() {
    loading_ = true;
    selectedFrame_ = nullptr;
    // Without a question there is nothing the text could be stored in.
    window_.edQuestion()->setReadOnly(!window_.CurrentQuestion());
    if (auto* text = qobject_cast<FittingTextEdit*>(window_.edQuestion())) {
        text->setSingleLine(true);
    }
    draft_.Forget();
    if (TQuestion* question = window_.CurrentQuestion()) {
        draft_.Begin(*question);
        chbDontMixAnswers_->setChecked(!question->Answers().AllowMix());
        for (TfrAnswer* frame : window_.Frames()) {
            AttachFrame(*frame);
            frame->CommitText(true);
            frame->UpdateButtons();
        }
    } else {
        chbDontMixAnswers_->setChecked(false);
    }
    chbDontMixAnswers_->setEnabled(window_.CurrentQuestion() != nullptr);
    window_.gbAnswerType()->setEnabled(window_.CurrentQuestion() != nullptr);
    FillTreeIfNeeded();
    SelectCurrentNode();
    window_.SetModified(false);
    loading_ = false;
    UpdateActions();
}

void TQuestionEditor::AttachFrame(TfrAnswer& frame) {
    if (auto* text = qobject_cast<FittingTextEdit*>(frame.edText())) {
        text->setSingleLine(true);
    }
    frame.edText()->installEventFilter(this);
    connect(&frame, &TfrAnswer::OnSelect, this, [this](TfrAnswer* chosen) { SelectFrame(chosen); });
    connect(&frame, &TfrAnswer::FrameChanged, this, [this] {
        if (!loading_) {
            SetModified();
        }
    });
    connect(&frame, &TfrAnswer::OnMoveUp, this,
            [this](TfrAnswer* moved) { FrameMoved(moved, -1); });
    connect(&frame, &TfrAnswer::OnMoveDown, this,
            [this](TfrAnswer* moved) { FrameMoved(moved, 1); });
}

void TQuestionEditor::SelectFrame(TfrAnswer* frame) {
    if (selectedFrame_) {
        setTitleBold(*selectedFrame_, false);
    }
    selectedFrame_ = frame;
    if (selectedFrame_) {
        setTitleBold(*selectedFrame_, true);
    }
    UpdateActions();
}

void TQuestionEditor::FrameMoved(TfrAnswer* frame, int direction) {
    // The window has exchanged the answers of the two frames: the choice follows the answer.
    const auto& frames = window_.Frames();
    const auto at = std::ranges::find(frames, frame);
    const std::ptrdiff_t other = (at - frames.begin()) + direction;
    if (at != frames.end() && other >= 0 && other < static_cast<std::ptrdiff_t>(frames.size())) {
        SelectFrame(frames[static_cast<std::size_t>(other)]);
    }
    SetModified();
}

void TQuestionEditor::Retitle() {
    for (std::size_t i = 0; i < window_.Frames().size(); ++i) {
        window_.Frames()[i]->SetPosition(static_cast<int>(i) + 1);
    }
}

bool TQuestionEditor::eventFilter(QObject* watched, QEvent* event) {
    if (!Editing()) {
        return false;
    }
    const auto frame = std::ranges::find_if(
        window_.Frames(), [watched](const TfrAnswer* f) { return f->edText() == watched; });
    if (frame == window_.Frames().end()) {
        return false;
    }
    if (event->type() == QEvent::FocusIn) {
        SelectFrame(*frame);
    } else if (event->type() == QEvent::KeyPress) {
        // The buttons of a frame from the keyboard, as in an examination but with Ctrl, since
        // Space types: Ctrl+Space marks, Ctrl+Up and Ctrl+Down move.
        const auto* key = static_cast<QKeyEvent*>(event);
        QToolButton* button = nullptr;
        if (key->modifiers() == Qt::ControlModifier) {
            if (key->key() == Qt::Key_Space || key->key() == Qt::Key_Up) {
                button = (*frame)->btnUpper();
            } else if (key->key() == Qt::Key_Down) {
                button = (*frame)->btnLower();
            }
        }
        if (button) {
            QTextEdit* text = (*frame)->edText();
            button->click();
            // The answer moved to the selected frame; the author goes on typing there.
            if (selectedFrame_ && (*frame)->edText() != selectedFrame_->edText()) {
                selectedFrame_->edText()->setFocus();
            } else {
                text->setFocus();
            }
            return true;
        }
    }
    return false;
}

// The tree of the test.

void TQuestionEditor::FillTreeIfNeeded() {
    TQuestions* test = Test();
    const auto& top = model_->Root().Children;
    if (test && !top.empty() && top.front()->Item == test) {
        return;
    }
    syncingTree_ = true;
    model_->Clear();
    if (test) {
        TItemNode& root = AddItemNode(*model_, *test, nullptr);
        FillTree(*model_, *test, &root);
        tvQuestions_->expand(model_->IndexOf(&root));
    }
    syncingTree_ = false;
}

void TQuestionEditor::RestoreStored() {
    // The frames show answers that are about to be freed.
    window_.RemoveFrames();
    selectedFrame_ = nullptr;
    draft_.Restore(*window_.CurrentQuestion());
    // Shown again at once, in case the author stays on it.
    window_.RebuildDisplay();
}

void TQuestionEditor::StayOnCurrent() {
    // After the tree has finished with the click or key that chose another node: the
    // question on display is the one that Ctrl+C and Delete act on.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (TItemNode* node = FindItemNode(*model_, window_.CurrentQuestion())) {
                syncingTree_ = true;
                SelectNodeAlone(*tvQuestions_, *node);
                syncingTree_ = false;
                UpdateActions();
            }
        },
        Qt::QueuedConnection);
}

void TQuestionEditor::SelectCurrentNode() {
    TItemNode* node = FindItemNode(*model_, window_.CurrentQuestion());
    // A node the author has just chosen keeps the selection it joined (Ctrl+click), so that
    // several questions can be copied.
    if (!node || tvQuestions_->currentIndex() == model_->IndexOf(node)) {
        return;
    }
    syncingTree_ = true;
    SelectNodeAlone(*tvQuestions_, *node);
    syncingTree_ = false;
}

void TQuestionEditor::TreeCurrentChanged() {
    if (syncingTree_ || !Editing()) {
        return;
    }
    const QModelIndex current = tvQuestions_->currentIndex();
    IExaminerItem* item = current.isValid() ? model_->NodeOf(current)->Item : nullptr;
    // A group or the test itself shows no question.
    window_.ShowQuestion(dynamic_cast<TQuestion*>(item));
}

void TQuestionEditor::Started() {
    FillTreeIfNeeded();
    SelectCurrentNode();
    tvQuestions_->setFocus();
    UpdateActions();
}

bool TQuestionEditor::CloseQuery() {
    if (!guarded([this] { window_.ShowQuestion(nullptr); }) || window_.CurrentQuestion()) {
        return false;
    }
    syncingTree_ = true;
    model_->Clear();
    syncingTree_ = false;
    return true;
}

void TQuestionEditor::UpdateActions() {
    const bool editing = Editing();
    const TQuestion* current = editing ? window_.CurrentQuestion() : nullptr;
    const bool question = current != nullptr;
    // A key that no answer can meet, read from a file, is mended by saving the marks shown.
    actSave_->setEnabled(editing && (window_.Modified() || (current && !current->KeyFitsType())));
    actNewAnswer_->setEnabled(question);
    actDeleteAnswer_->setEnabled(editing && selectedFrame_);
    // With no question on display the new one joins the group chosen in the tree, or the test.
    actNewQuestion_->setEnabled(question || (editing && Test()));
    actDeleteQuestion_->setEnabled(question);
    const SelectionType selection = SameTypeSelection(*tvQuestions_);
    actSmpCopy_->setEnabled(editing && selection.Same && selection.ClassName == "TQuestion");
    actSmpPaste_->setEnabled(question && ClipboardHasQuestions());
}

// Actions.

void TQuestionEditor::actSaveExecute() {
    Save();
}

bool TQuestionEditor::Save() {
    TQuestion* question = window_.CurrentQuestion();
    if (!question) {
        return true;
    }
    // A key that no answer can meet would make every examination of the question wrong.
    if (const QString problem = TQuestionDraft::KeyProblem(*question); !problem.isEmpty()) {
        prompts().inform(problem, kCaption, QMessageBox::Warning);
        return false;
    }
    for (TfrAnswer* frame : window_.Frames()) {
        frame->CommitText(true);
    }
    draft_.Store(*question,
                 toCp1251(FittingTextEdit::withoutTabs(window_.edQuestion()->toPlainText())),
                 !chbDontMixAnswers_->isChecked());
    window_.SetModified(false);
    model_->ResetAllTexts();
    UpdateActions();
    return true;
}

void TQuestionEditor::actNewAnswerExecute() {
    TQuestion* question = window_.CurrentQuestion();
    if (!question) {
        return;
    }
    TAnswer& answer = TQuestionDraft::AddAnswer(*question);
    window_.AddFrame(question->Answers(), answer, static_cast<int>(window_.Frames().size()) + 1);
    TfrAnswer& frame = *window_.Frames().back();
    AttachFrame(frame);
    frame.CommitText(false);
    const int size = kvalorRoot().FontSize();
    if (size > 0) {
        ApplyFontSize(&frame, size);
        frame.FitTextFont();
    }
    frame.UpdateButtons();
    frame.edText()->setFocus();
    SetModified();
}

bool TQuestionEditor::ConfirmDeletion() {
    const TQuestions* test = Test();
    const bool examined = test && !kvalorRoot().Studies().StudiesOfTest(*test).empty();
    const QString text = examined
                             ? QStringLiteral(
                                   "По удаляе(мой\\му) группе\\вопросу проводилось тестирование.\n"
                                   "Удалить объект ?")
                             : QStringLiteral("Вы действительно хотите удалить объект ?");
    return confirmDestructive(text, kCaption, QMessageBox::Critical);
}

void TQuestionEditor::actDeleteAnswerExecute() {
    TfrAnswer* frame = selectedFrame_;
    TQuestion* question = window_.CurrentQuestion();
    if (!frame || !question || !ConfirmDeletion()) {
        return;
    }
    selectedFrame_ = nullptr;
    TAnswer* answer = frame->Answer();
    // The frame lets go of the answer before it is freed.
    window_.RemoveFrame(*frame);
    const auto& frames = window_.Frames();
    if (answer) {
        question->Answers().Extract(*answer);
    }
    Retitle();
    for (TfrAnswer* other : frames) {
        other->UpdateButtons();
    }
    // "Нет" to saving brings the answer back.
    SetModified();
}

void TQuestionEditor::actNewQuestionExecute() {
    TQuestion* current = window_.CurrentQuestion();
    // The group or test chosen in the tree, the group of the question chosen there, the group
    // of the question on display, or the test.
    TExaminerCollection* target = current ? current->Parent() : Test();
    const QModelIndex chosen = tvQuestions_->currentIndex();
    if (chosen.isValid() && tvQuestions_->selectionModel()->isSelected(chosen)) {
        IExaminerItem* item = model_->NodeOf(chosen)->Item;
        target = item->IsCollection() ? static_cast<TExaminerCollection*>(item) : item->Parent();
    }
    if (!target) {
        return;
    }
    TQuestion& question = TQuestionDraft::AddQuestion(*target);
    AddItemNode(*model_, question, FindItemNode(*model_, target));
    model_->ResetAllTexts();
    window_.ShowQuestion(&question);
    SelectCurrentNode();
}

void TQuestionEditor::actDeleteQuestionExecute() {
    TQuestion* question = window_.CurrentQuestion();
    if (!question || !ConfirmDeletion()) {
        return;
    }
    deleting_ = true;
    window_.ShowQuestion(nullptr);
    syncingTree_ = true;
    if (!model_->Root().Children.empty()) {
        TItemNode& root = *model_->Root().Children.front();
        SelectNodeAlone(*tvQuestions_, root);
        tvQuestions_->expand(model_->IndexOf(&root));
    }
    if (TItemNode* node = FindItemNode(*model_, question)) {
        model_->RemoveNode(*node);
    }
    syncingTree_ = false;
    DiscardItem(*question);
    deleting_ = false;
    model_->ResetAllTexts();
    UpdateActions();
}

void TQuestionEditor::actSmpCopyExecute() {
    const SelectionType selection = SameTypeSelection(*tvQuestions_);
    if (!selection.Same || selection.ClassName != "TQuestion") {
        throw KvalorError("Недопустимое выделение.");
    }
    std::vector<const IExaminerItem*> questions;
    for (const TItemNode* node : SelectedNodes(*tvQuestions_)) {
        questions.push_back(node->Item);
    }
    ClipboardPut(ClipboardFormat::Questions, WriteClipboardItems(questions));
}

void TQuestionEditor::actSmpPasteExecute() {
    TQuestion* current = window_.CurrentQuestion();
    std::optional<ClipboardBlock> clip = ClipboardGet();
    if (!current || !clip || clip->Format != ClipboardFormat::Questions) {
        return;
    }
    PastedItems pasted;
    try {
        PasteItems(clip->Format, clip->Block, *current, pasted);
    } catch (...) {
        // The questions placed before the damaged record stay in the test.
        ShowPasted(pasted);
        throw;
    }
    ShowPasted(pasted);
}

void TQuestionEditor::ShowPasted(const PastedItems& pasted) {
    if (!pasted.Receiver || !pasted.Last) {
        return;
    }
    TExaminerCollection& numbered = RenumberReceiver(*pasted.Receiver);
    syncingTree_ = true;
    RebuildItemNode(*tvQuestions_, *model_, numbered);
    syncingTree_ = false;
    model_->ResetAllTexts();
    window_.ShowQuestion(dynamic_cast<TQuestion*>(pasted.Last));
}

}  // namespace kvalor

#include "results/ResultsView.h"

#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/ProgressWindow.h"
#include "app/ResultsOpener.h"
#include "exchange/ResultsWorkbook.h"
#include "model/Kvalor.h"
#include "results/ExportSettings.h"
#include "results/Journal.h"
#include "results/JournalModel.h"
#include "results/ResultsDelegate.h"
#include "results/ResultsModel.h"
#include "results/StudyTexts.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/Prompts.h"
#include "ui/Workbooks.h"

namespace kvalor {

namespace {

constexpr int kColumnWidths[ResultsModel::kColumnCount] = {197, 197, 69};

}  // namespace

TfmResultsView::TfmResultsView(TfmKvalor* mainWindow, QWidget* parent)
    : QWidget(parent),
      mainWindow_(mainWindow),
      vstResults_(new QTreeView),
      model_(new ResultsModel(this)),
      pnButtons_(new QHBoxLayout),
      actExport_(new QAction(actionIcon(ActionIcon::Export), QStringLiteral("Экспорт"), this)),
      actClose_(new QAction(actionIcon(ActionIcon::Close), QStringLiteral("Закрыть"), this)),
      removalWatch_(kvalorRoot().Studies(), [this](const TStudy& study) { StudyRemoved(study); }) {
    setWindowTitle(QStringLiteral("Результаты тестирования"));
    setWindowIcon(actionIcon(ActionIcon::Journal));
    actExport_->setObjectName(QStringLiteral("actExport"));

    vstResults_->setObjectName(QStringLiteral("vstResults"));
    vstResults_->setModel(model_);
    vstResults_->setItemDelegate(new ResultsDelegate(*vstResults_));
    vstResults_->setHeaderHidden(true);
    vstResults_->setUniformRowHeights(false);
    vstResults_->setWordWrap(true);
    vstResults_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    vstResults_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vstResults_->header()->setStretchLastSection(false);
    for (int column = 0; column < ResultsModel::kColumnCount; ++column) {
        vstResults_->header()->resizeSection(column,
                                             ScaledToFont(*vstResults_, kColumnWidths[column]));
    }
    // A row of wrapped text is as tall as the columns it is wrapped in are narrow.
    connect(vstResults_->header(), &QHeaderView::sectionResized, vstResults_,
            [this] { vstResults_->doItemsLayout(); });
    vstResults_->setAcceptDrops(true);
    vstResults_->setDragDropMode(QAbstractItemView::DropOnly);
    vstResults_->viewport()->installEventFilter(this);

    actClose_->setShortcut(QKeySequence::Close);
    actClose_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actClose_);
    connect(actClose_, &QAction::triggered, this, [this] { close(); });

    actExport_->setEnabled(false);
    connect(actExport_, &QAction::triggered, this, guard([this] { actExportExecute(); }));

    pnButtons_->addStretch();
    AddActionButton(actClose_);
    AddActionButton(actExport_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(vstResults_, 1);
    layout->addLayout(pnButtons_);

    int width = 2 * vstResults_->frameWidth() + 3 * vstResults_->indentation();
    for (int column = 0; column < ResultsModel::kColumnCount; ++column) {
        width += vstResults_->header()->sectionSize(column);
    }
    resize(width + 48, ScaledToFont(*this, 560));
}

TfmResultsView::~TfmResultsView() = default;

QPushButton* TfmResultsView::AddActionButton(QAction* action) {
    auto* button = new QPushButton(action->icon(), action->text());
    button->setEnabled(action->isEnabled());
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::changed, button,
            [button, action] { button->setEnabled(action->isEnabled()); });
    // Earlier buttons stay rightmost.
    pnButtons_->insertWidget(1, button);
    return button;
}

void TfmResultsView::ShowStudies(StudyView studies) {
    const TRunMode runMode = dataModule().RunMode();
    const Viewer viewer{runMode, CurrentUserIsStaff()};
    if (shown_ && studies == studies_ && viewer == viewer_) {
        return;
    }
    shown_ = true;
    actExport_->setEnabled(mainWindow_ != nullptr);
    studies_ = std::move(studies);
    viewer_ = viewer;
    model_->SetStudies(studies_, runMode == TRunMode::Testing, viewer.staff);
    // The name and the result read across the whole row; users and results open, questions
    // closed.
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex user = model_->index(row, 0);
        vstResults_->setFirstColumnSpanned(row, QModelIndex(), true);
        vstResults_->setFirstColumnSpanned(0, user, true);
    }
    vstResults_->expandToDepth(1);
}

void TfmResultsView::StudyRemoved(const TStudy& study) {
    if (std::erase(studies_, &study) > 0) {
        model_->RemoveStudy(study);
    }
}

TfmJournal* TfmResultsView::JournalOfDrag(const QDropEvent& event) {
    const auto* data = qobject_cast<const JournalDragData*>(event.mimeData());
    return data ? qobject_cast<TfmJournal*>(data->Origin()) : nullptr;
}

bool TfmResultsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == vstResults_->viewport()) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                TfmJournal* journal = JournalOfDrag(*drop);
                if (!journal) {
                    drop->ignore();
                    return true;
                }
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                // Dropping does what the journal's "Список" does: its selection comes here.
                if (event->type() == QEvent::Drop && journal->actViewAsList()->isEnabled()) {
                    journal->actViewAsList()->trigger();
                }
                return true;
            }
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfmResultsView::actExportExecute() {
    // Studies freed since, or never linked to their account and test, leave nothing to write.
    if (ExportOrder(studies_).empty()) {
        prompts().inform(QStringLiteral("Нет результатов для экспорта."), windowTitle(),
                         QMessageBox::Information);
        return;
    }
    TfmExportSettings& dialog = exportSettingsDialog(*mainWindow_);
    dialog.StartExport();
    if (prompts().runModal(dialog) != QDialog::Accepted) {
        return;
    }
    const TRunMode runMode = dataModule().RunMode();
    ResultsExportOptions options;
    options.right = dialog.chbValid()->isChecked();
    options.wrong = dialog.chbInvalid()->isChecked();
    options.unanswered = dialog.chbEmpty()->isChecked();
    options.all = dialog.chbAll()->isChecked();
    options.showKey =
        runMode == TRunMode::Administrator || runMode == TRunMode::Teacher || CurrentUserIsStaff();
    QString file;
    {
        ProgressWindow progress(QStringLiteral("Экспорт результатов..."));
        file = ExportResults(studies_, options, {}, progress.callback());
    }
    OpenWorkbook(file, QStringLiteral("Результаты тестирования.xlsx"));
}

void registerResultsView() {
    TfmKvalor::registerWorkingWindow(
        QStringLiteral("TfmResultsView"),
        [](TfmKvalor& mainWindow) -> QWidget* { return new TfmResultsView(&mainWindow); });
    registerResultsOpener([](TfmKvalor& mainWindow, const StudyView& studies) {
        auto* view = qobject_cast<TfmResultsView*>(
            mainWindow.ShowWorkingWindow(QStringLiteral("TfmResultsView")));
        if (view && !studies.empty()) {
            view->ShowStudies(studies);
        }
    });
}

}  // namespace kvalor

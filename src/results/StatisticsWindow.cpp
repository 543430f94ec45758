#include "results/StatisticsWindow.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include "analysis/StatisticsTexts.h"
#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/ResultsOpener.h"
#include "exchange/StatisticsWorkbook.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "results/StatisticsModel.h"
#include "results/StudyTexts.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "ui/Workbooks.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// Above this point size the figures stand in one column.
constexpr int kLargestTwoColumnFont = 12;
constexpr int kColumnWidths[StatisticsModel::ColumnCount] = {36, 200, 70, 80, 80, 110};

// The administration and the built-in staff accounts; an applicant never sees the figures.
bool staffLooks() {
    const TRunMode mode = dataModule().RunMode();
    return mode == TRunMode::Administrator || mode == TRunMode::Teacher || CurrentUserIsStaff();
}

// A line of the chart from one point to another, in a pen of its own style.
QLineSeries* segment(QChart& chart, const QString& name, QPointF from, QPointF to,
                     Qt::PenStyle style, QAbstractAxis& x, QAbstractAxis& y,
                     std::optional<QColor> color = std::nullopt) {
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(from);
    line->append(to);
    // A colour of its own is set before the chart's theme colours the line, which it then
    // leaves alone; the style after, on the theme's colour.
    if (color) {
        line->setPen(QPen(*color));
    }
    chart.addSeries(line);
    line->attachAxis(&x);
    line->attachAxis(&y);
    QPen pen = line->pen();
    pen.setStyle(style);
    pen.setWidth(2);
    line->setPen(pen);
    return line;
}

// A step of 1, 2 or 5 times a power of ten that divides the range into about five parts.
int niceStep(int range) {
    const double rough = std::max(1.0, range / 5.0);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            return static_cast<int>(factor * power);
        }
    }
    return static_cast<int>(10 * power);
}

// The pass mark, or where each grade above the first begins, with its name.
std::vector<std::pair<double, QString>> thresholdsOf(const TestFigures& figures) {
    std::vector<std::pair<double, QString>> thresholds;
    if (figures.gradingMethod != 1) {
        thresholds.emplace_back(figures.passPercent, QStringLiteral("проходной балл"));
    } else {
        for (std::size_t level = 1; level < figures.levelThresholds.size(); ++level) {
            thresholds.emplace_back(figures.levelThresholds[level],
                                    QStringLiteral("оценка %1").arg(level + 1));
        }
    }
    for (auto& [percent, name] : thresholds) {
        percent = std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0);
        name += QStringLiteral(" — %1 %").arg(displayLocale().toString(percent));
    }
    return thresholds;
}

}  // namespace

TfmStatistics::TfmStatistics(QWidget* parent)
    : QWidget(parent),
      model_(new StatisticsModel(this)),
      sorted_(new QSortFilterProxyModel(this)),
      summary_(new QFormLayout),
      lbLegend_(new QLabel(QuestionFlagLegend())),
      tvQuestions_(Named(new QTableView, "tvQuestions")),
      chvHistogram_(new QChartView),
      chvScatter_(new QChartView),
      actExport_(Named(new QAction(actionIcon(ActionIcon::Export), QStringLiteral("Экспорт"), this),
                       "actExport")),
      actClose_(Named(new QAction(actionIcon(ActionIcon::Close), QStringLiteral("Закрыть"), this),
                      "actClose")) {
    setWindowIcon(actionIcon(ActionIcon::Journal));
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(StatisticsModel::SortRole);

    tvQuestions_->setObjectName(QStringLiteral("tvQuestions"));
    tvQuestions_->setModel(sorted_);
    tvQuestions_->setSortingEnabled(true);
    tvQuestions_->sortByColumn(StatisticsModel::ColNumber, Qt::AscendingOrder);
    tvQuestions_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvQuestions_->setSelectionMode(QAbstractItemView::SingleSelection);
    tvQuestions_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvQuestions_->setWordWrap(false);
    tvQuestions_->verticalHeader()->hide();
    tvQuestions_->horizontalHeader()->setStretchLastSection(true);
    tvQuestions_->installEventFilter(this);
    connect(tvQuestions_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { guarded([&] { ShowQuestion(index.row()); }); });

    chvHistogram_->setObjectName(QStringLiteral("chvHistogram"));
    chvScatter_->setObjectName(QStringLiteral("chvScatter"));
    for (QChartView* view : {chvHistogram_, chvScatter_}) {
        view->setRenderHint(QPainter::Antialiasing);
    }
    lbLegend_->setObjectName(QStringLiteral("lbLegend"));
    lbLegend_->setWordWrap(true);

    auto* summaryBox = new QGroupBox(QStringLiteral("Результаты"));
    summaryBox->setLayout(summary_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QAction* action : {actExport_, actClose_}) {
        auto* button = new QPushButton(action->icon(), action->text());
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        buttons->addWidget(button);
    }
    // At large fonts the figures need more room than a screen has: they scroll, the buttons
    // stay in view.
    auto* content = new QWidget;
    grid_ = new QGridLayout(content);
    grid_->addWidget(summaryBox, 0, 0);
    grid_->addWidget(chvHistogram_, 0, 1);
    grid_->addWidget(tvQuestions_, 1, 0);
    grid_->addWidget(chvScatter_, 1, 1);
    grid_->addWidget(lbLegend_, 4, 0, 1, 2);
    grid_->setColumnStretch(0, 3);
    grid_->setColumnStretch(1, 2);
    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    actClose_->setShortcut(QKeySequence::Close);
    actClose_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actClose_);
    connect(actExport_, &QAction::triggered, this, guard([this] { actExportExecute(); }));
    connect(actClose_, &QAction::triggered, this, [this] { close(); });
    resize(ScaledToFont(*this, 1100), ScaledToFont(*this, 780));
}

TfmStatistics::~TfmStatistics() = default;

void TfmStatistics::ShowFigures(TestFigures figures) {
    figures_ = std::move(figures);
    setWindowTitle(QStringLiteral("Статистика теста «%1»").arg(fromCp1251(figures_.testName)));
    ApplyFontSetting();
    FillSummary();
    model_->SetQuestions(figures_.questions);
    for (int column = 0; column < StatisticsModel::ColumnCount; ++column) {
        tvQuestions_->setColumnWidth(column, ScaledToFont(*tvQuestions_, kColumnWidths[column]));
    }
    SetChart(*chvHistogram_, HistogramChart());
    SetChart(*chvScatter_, ScatterChart());
    // The keyboard starts on the questions, the first of them current.
    tvQuestions_->setCurrentIndex(tvQuestions_->model()->index(0, 0));
    tvQuestions_->setFocus();
}

void TfmStatistics::ApplyFontSetting() {
    const int size = kvalorRoot().FontSize();
    if (FontSizeDiffers(tvQuestions_, size)) {
        ApplyFontSize(this, size);
    }
    // Large texts leave no room for two columns: the charts go below, one after another.
    const bool twoColumns = size <= kLargestTwoColumnFont;
    grid_->addWidget(chvHistogram_, twoColumns ? 0 : 1, twoColumns ? 1 : 0);
    grid_->addWidget(tvQuestions_, twoColumns ? 1 : 2, 0);
    grid_->addWidget(chvScatter_, twoColumns ? 1 : 3, twoColumns ? 1 : 0);
    grid_->setColumnStretch(1, twoColumns ? 2 : 0);
    grid_->setRowStretch(0, twoColumns ? 2 : 0);
    grid_->setRowStretch(1, twoColumns ? 3 : 0);
    grid_->setRowStretch(2, twoColumns ? 0 : 1);
    // Charts and rows grow with the font, so that their texts keep room.
    for (QChartView* view : {chvHistogram_, chvScatter_}) {
        view->setMinimumSize(ScaledToFont(*view, 340), ScaledToFont(*view, 210));
    }
    tvQuestions_->setMinimumHeight(ScaledToFont(*tvQuestions_, 160));
    tvQuestions_->verticalHeader()->setDefaultSectionSize(tvQuestions_->fontMetrics().height() + 6);
}

void TfmStatistics::FillSummary() {
    while (summary_->rowCount() > 0) {
        summary_->removeRow(0);
    }
    // Long values (a test's name, why KR-20 has none) wrap rather than widen the window.
    const auto addLine = [this](const QString& label, const QString& value) {
        auto* text = new QLabel(value);
        text->setWordWrap(true);
        summary_->addRow(label + u':', text);
    };
    addLine(QStringLiteral("Тест"), fromCp1251(figures_.testName));
    for (const SummaryLine& line : SummaryLines(figures_)) {
        addLine(line.label, line.text);
    }
}

QChart* TfmStatistics::HistogramChart() const {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Распределение процента"));
    auto* counts = new QBarSet(QStringLiteral("результатов"));
    int most = 1;
    for (const int count : figures_.histogram) {
        *counts << count;
        most = std::max(most, count);
    }
    auto* bars = new QBarSeries;
    bars->append(counts);
    bars->setBarWidth(0.9);
    chart->addSeries(bars);
    auto* bins = new QBarCategoryAxis;
    for (int bin = 0; bin < kHistogramBins; ++bin) {
        bins->append(HistogramBinText(bin));
    }
    bins->setTitleText(QStringLiteral("Процент"));
    bins->setTruncateLabels(false);
    // Upright the ranges need a width the bars do not have at larger fonts.
    bins->setLabelsAngle(-90);
    // Whole numbers of studies on the axis, in about five round steps.
    const int step = niceStep(most);
    auto* studies = new QValueAxis;
    studies->setRange(0, (most + step - 1) / step * step);
    studies->setTickType(QValueAxis::TicksDynamic);
    studies->setTickAnchor(0);
    studies->setTickInterval(step);
    studies->setLabelFormat(QStringLiteral("%d"));
    studies->setTitleText(QStringLiteral("Результатов"));
    chart->addAxis(bins, Qt::AlignBottom);
    chart->addAxis(studies, Qt::AlignLeft);
    bars->attachAxis(bins);
    bars->attachAxis(studies);
    // Ten bins of ten points fill the width as the range 0..100 does: the thresholds are drawn
    // on such a scale, hidden under the bins.
    auto* percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setVisible(false);
    chart->addAxis(percent, Qt::AlignBottom);
    for (const auto& [value, name] : thresholdsOf(figures_)) {
        segment(*chart, name, {value, 0}, {value, studies->max()}, Qt::DashLine, *percent,
                *studies);
    }
    // The names of several grades stand in a column beside the chart, where each stays whole.
    chart->legend()->setAlignment(figures_.gradingMethod == 1 ? Qt::AlignRight : Qt::AlignBottom);
    return chart;
}

QChart* TfmStatistics::ScatterChart() {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Решаемость и различение вопросов"));
    auto* facility = new QValueAxis;
    facility->setRange(0, 1);
    facility->setTitleText(QStringLiteral("Решаемость (доля верных ответов)"));
    auto* discrimination = new QValueAxis;
    discrimination->setRange(-1, 1);
    discrimination->setTitleText(QStringLiteral("Различение"));
    chart->addAxis(facility, Qt::AlignBottom);
    chart->addAxis(discrimination, Qt::AlignLeft);

    auto* points = new QScatterSeries;
    points->setName(QStringLiteral("вопросы"));
    points->setMarkerSize(10);
    pointRows_.clear();
    for (std::size_t row = 0; row < figures_.questions.size(); ++row) {
        const QuestionFigures& question = figures_.questions[row];
        if (question.facility && question.discrimination) {
            points->append(*question.facility, *question.discrimination);
            pointRows_.push_back(static_cast<int>(row));
        }
    }
    chart->addSeries(points);
    points->attachAxis(facility);
    points->attachAxis(discrimination);
    // The borders past which the table flags a question; one legend entry for the three.
    const QString borders = QStringLiteral("границы замечаний");
    const QColor grey(Qt::darkGray);
    QLineSeries* guides[] = {
        segment(*chart, borders, {kHardFacility, -1}, {kHardFacility, 1}, Qt::DotLine, *facility,
                *discrimination, grey),
        segment(*chart, borders, {kEasyFacility, -1}, {kEasyFacility, 1}, Qt::DotLine, *facility,
                *discrimination, grey),
        segment(*chart, borders, {0, kWeakDiscrimination}, {1, kWeakDiscrimination}, Qt::DotLine,
                *facility, *discrimination, grey)};
    for (QLineSeries* line : {guides[1], guides[2]}) {
        for (QLegendMarker* marker : chart->legend()->markers(line)) {
            marker->setVisible(false);
        }
    }
    chart->legend()->setAlignment(Qt::AlignBottom);

    connect(points, &QScatterSeries::hovered, this, [this](const QPointF& point, bool inside) {
        if (inside) {
            QToolTip::showText(QCursor::pos(), QuestionsAt(point), chvScatter_);
        } else {
            QToolTip::hideText();
        }
    });
    connect(points, &QScatterSeries::clicked, this,
            [this](const QPointF& point) { SelectQuestionAt(point); });
    return chart;
}

void TfmStatistics::SetChart(QChartView& view, QChart* chart) {
    const QFont font = view.font();
    QFont title = font;
    title.setBold(true);
    chart->setTitleFont(title);
    chart->legend()->setFont(font);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(font);
        axis->setTitleFont(font);
    }
    QChart* previous = view.chart();
    view.setChart(chart);
    delete previous;
}

void TfmStatistics::ShowQuestion(int row) {
    const QModelIndex index = sorted_->mapToSource(sorted_->index(row, 0));
    if (!index.isValid()) {
        return;
    }
    prompts().inform(
        QuestionDetailsText(model_->Questions()[static_cast<std::size_t>(index.row())]),
        windowTitle(), QMessageBox::Information);
}

std::vector<int> TfmStatistics::RowsAt(const QPointF& point) const {
    std::vector<int> rows;
    for (const int row : pointRows_) {
        const QuestionFigures& question = figures_.questions[static_cast<std::size_t>(row)];
        if (*question.facility == point.x() && *question.discrimination == point.y()) {
            rows.push_back(row);
        }
    }
    return rows;
}

QString TfmStatistics::QuestionsAt(const QPointF& point) const {
    QStringList lines;
    for (const int row : RowsAt(point)) {
        lines << QStringLiteral("Вопрос № %1: %2")
                     .arg(model_->index(row, StatisticsModel::ColNumber).data().toString(),
                          model_->index(row, StatisticsModel::ColText).data().toString());
    }
    return lines.join(u'\n');
}

void TfmStatistics::SelectQuestionAt(const QPointF& point) {
    const std::vector<int> rows = RowsAt(point);
    if (rows.empty()) {
        return;
    }
    const QModelIndex index = sorted_->mapFromSource(model_->index(rows.front(), 0));
    tvQuestions_->setCurrentIndex(index);
    tvQuestions_->scrollTo(index);
    tvQuestions_->setFocus();
}

bool TfmStatistics::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tvQuestions_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            tvQuestions_->currentIndex().isValid()) {
            guarded([this] { ShowQuestion(tvQuestions_->currentIndex().row()); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfmStatistics::actExportExecute() {
    OpenWorkbook(ExportStatistics(figures_), QStringLiteral("Статистика теста.xlsx"));
}

void ShowTestStatistics(TfmKvalor& mainWindow, const TQuestions& test, const StudyView& studies) {
    if (!staffLooks()) {
        throw KvalorError("Функция недоступна");
    }
    StudyView ofTest;
    std::ranges::copy_if(studies, std::back_inserter(ofTest),
                         [&test](const TStudy* study) { return study->Test() == &test; });
    if (ofTest.empty()) {
        prompts().inform(
            QStringLiteral("Результатов теста «%1» нет: статистику считать не по чему.")
                .arg(fromCp1251(test.GetName())),
            QStringLiteral("Статистика теста"), QMessageBox::Information);
        return;
    }
    TestFigures figures = ComputeTestFigures(test, kvalorRoot().Tasks(), ofTest);
    if (auto* window = qobject_cast<TfmStatistics*>(
            mainWindow.ShowWorkingWindow(QStringLiteral("TfmStatistics")))) {
        window->ShowFigures(std::move(figures));
    }
}

void registerStatisticsWindow() {
    TfmKvalor::registerWorkingWindow(QStringLiteral("TfmStatistics"),
                                     [](TfmKvalor&) -> QWidget* { return new TfmStatistics; });
    registerStatisticsOpener([](TfmKvalor& mainWindow, const TQuestions& test) {
        ShowTestStatistics(mainWindow, test, kvalorRoot().Studies().StudiesOfTest(test));
    });
}

}  // namespace kvalor

#include "authoring/ImportReportDialog.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "model/Kvalor.h"
#include "ui/Fonts.h"

namespace kvalor {

namespace {

constexpr int kMinRows = 4;
constexpr int kMaxRows = 20;
constexpr int kLineChars = 72;

}  // namespace

TfmImportReport::TfmImportReport(const QStringList& lines, QWidget* parent)
    : QDialog(parent), mmReport_(new QPlainTextEdit) {
    setWindowTitle(QStringLiteral("Импорт вопросов"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    mmReport_->setObjectName(QStringLiteral("mmReport"));
    mmReport_->setPlainText(lines.join(QLatin1Char('\n')));
    // Read-only, the text box leaves Enter and Escape to the dialog, which closes on them.
    mmReport_->setReadOnly(true);
    mmReport_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    mmReport_->setTabChangesFocus(true);
    auto* bbOK = new QPushButton(QStringLiteral("Ok"));
    bbOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mmReport_, 1);
    layout->addLayout(buttons);
    connect(bbOK, &QPushButton::clicked, this, &QDialog::accept);
    // Sized before it is shown, so that it opens centred.
    ApplyFontSize(this, kvalorRoot().FontSize());
    FitToText(lines);
}

void TfmImportReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Ctrl+A and Ctrl+C work at once.
    mmReport_->setFocus();
}

void TfmImportReport::FitToText(const QStringList& lines) {
    const QFontMetrics metrics(mmReport_->font());
    const int width = metrics.averageCharWidth() * kLineChars;
    // Long lines wrap, each into as many rows as it is wide.
    int rows = 0;
    for (const QString& line : lines) {
        rows += std::max(1, (metrics.horizontalAdvance(line) + width - 1) / width);
    }
    const int margins =
        2 * (mmReport_->frameWidth() + static_cast<int>(mmReport_->document()->documentMargin()));
    // Laid out for the text, yet the user may still make the dialog smaller.
    mmReport_->setMinimumSize(
        width + margins + mmReport_->verticalScrollBar()->sizeHint().width(),
        metrics.lineSpacing() * std::clamp(rows + 1, kMinRows, kMaxRows) + margins);
    adjustSize();
    mmReport_->setMinimumSize(0, 0);
}

}  // namespace kvalor

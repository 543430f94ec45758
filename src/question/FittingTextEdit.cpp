#include "question/FittingTextEdit.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextDocument>

namespace kvalor {

namespace {

constexpr int kLeastLines = 4;

}  // namespace

FittingTextEdit::FittingTextEdit(int minimumHeight, int maximumHeight, QWidget* parent)
    : QTextEdit(parent), minimumHeight_(minimumHeight), maximumHeight_(maximumHeight) {
    setAcceptRichText(false);
    // Tab and Shift+Tab go from text to text, as in any form.
    setTabChangesFocus(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(document(), &QTextDocument::contentsChanged, this, [this] { fitHeight(); });
    fitHeight();
}

void FittingTextEdit::setMinimumFitHeight(int height) {
    minimumHeight_ = height;
    fitHeight();
}

QSize FittingTextEdit::sizeHint() const {
    return {QTextEdit::sizeHint().width(), height()};
}

QSize FittingTextEdit::minimumSizeHint() const {
    return {QTextEdit::minimumSizeHint().width(), height()};
}

void FittingTextEdit::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    fitHeight();
}

void FittingTextEdit::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitHeight();
    }
}

QString FittingTextEdit::withoutTabs(QString text) {
    return text.replace(u'\t', u' ');
}

void FittingTextEdit::keyPressEvent(QKeyEvent* event) {
    // Ctrl+Tab, which moves no keyboard on, would type a tab.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (singleLine_ && (tab || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->ignore();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void FittingTextEdit::insertFromMimeData(const QMimeData* source) {
    if (!singleLine_ || !source->hasText()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = withoutTabs(source->text());
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    insertPlainText(text);
}

void FittingTextEdit::fitHeight() {
    QTextDocument* text = document();
    text->setTextWidth(viewport()->width());
    const QMargins margins = contentsMargins();
    const int wanted =
        static_cast<int>(std::ceil(text->size().height())) + margins.top() + margins.bottom();
    // A large font still shows a few lines before the text scrolls.
    // A laid-out line is a little taller than the font's line spacing: a quarter line to spare.
    const int lines = fontMetrics().lineSpacing() * (4 * kLeastLines + 1) / 4 +
                      static_cast<int>(std::ceil(2 * text->documentMargin()));
    const int most = std::max(maximumHeight_, lines + margins.top() + margins.bottom());
    const int height = std::clamp(wanted, minimumHeight_, std::max(minimumHeight_, most));
    if (height != this->height() || minimumHeight() != height) {
        setFixedHeight(height);
        updateGeometry();
    }
}

}  // namespace kvalor

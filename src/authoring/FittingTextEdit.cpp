#include "authoring/FittingTextEdit.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextDocument>

namespace kvalor {

FittingTextEdit::FittingTextEdit(int minimumHeight, int maximumHeight, QWidget* parent)
    : QTextEdit(parent), minimumHeight_(minimumHeight), maximumHeight_(maximumHeight) {
    setAcceptRichText(false);
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

void FittingTextEdit::keyPressEvent(QKeyEvent* event) {
    if (singleLine_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
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
    QString text = source->text();
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
    const int height = std::clamp(wanted, minimumHeight_, std::max(minimumHeight_, maximumHeight_));
    if (height != this->height() || minimumHeight() != height) {
        setFixedHeight(height);
        updateGeometry();
    }
}

}  // namespace kvalor

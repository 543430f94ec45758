#pragma once

#include <QTextEdit>

namespace kvalor {

// A plain-text box as tall as its wrapped text, between a least and a greatest height; longer
// texts scroll. Question and answer texts of any length then read without a scroll bar in
// the common case and without wasting room in the short one.
class FittingTextEdit : public QTextEdit {
    Q_OBJECT
public:
    FittingTextEdit(int minimumHeight, int maximumHeight, QWidget* parent = nullptr);

    void setMinimumFitHeight(int height);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fitHeight();

    int minimumHeight_;
    int maximumHeight_;
};

}  // namespace kvalor

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
    // A single-line text wraps on screen but holds no line break: Enter is left to the window
    // and pasted breaks and tabs become blanks.
    void setSingleLine(bool singleLine) { singleLine_ = singleLine; }
    bool singleLine() const { return singleLine_; }

    // Tab moves the keyboard on in these texts, so a tab is no character of them: texts that
    // came in with tabs anyway are stored with blanks instead.
    static QString withoutTabs(QString text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void fitHeight();

    int minimumHeight_;
    int maximumHeight_;
    bool singleLine_ = false;
};

}  // namespace kvalor

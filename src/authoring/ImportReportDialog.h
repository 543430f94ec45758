#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

namespace kvalor {

// "Импорт вопросов": what an import of questions did, one line each. The lines can be selected
// and copied, so that a teacher can fix the file by them; Enter and Escape close the dialog.
class TfmImportReport : public QDialog {
    Q_OBJECT
public:
    explicit TfmImportReport(const QStringList& lines, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Wide enough for a line of the report, tall enough for all of it up to twenty rows.
    void FitToText(const QStringList& lines);

    QPlainTextEdit* mmReport_;
};

}  // namespace kvalor

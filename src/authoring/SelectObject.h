#pragma once

#include <vector>

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;

namespace kvalor {

class IExaminerItem;
class TfmKvalor;
class TQuestions;

// "Выбор объекта": one object chosen from a drop-down list, such as the simple test of a new
// task. The caller fills the list before each use and reads the choice after "Ok".
class TfmSelectObject : public QDialog {
    Q_OBJECT
public:
    explicit TfmSelectObject(QWidget* parent = nullptr);

    // Empties the list.
    void ClearObjects();
    // Appends a line for the object.
    void AddObject(const QString& text, IExaminerItem& object);
    // The object of the chosen line, or nullptr.
    IExaminerItem* SelectedObject() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateActions();

    std::vector<IExaminerItem*> objects_;
    QLabel* lblPrompt_;
    QComboBox* ComboBox_;
    QPushButton* bbOK_;
};

// Offers in the dialog every simple test that the complex test does not draw from yet and
// returns the one chosen, or nullptr.
TQuestions* chooseTaskSource(TfmSelectObject& dialog, const TQuestions& complexTest);

// The program's one object selection dialog, owned by the main window: created at the first
// call and reused.
TfmSelectObject& selectObjectDialog(TfmKvalor& mainWindow);

}  // namespace kvalor

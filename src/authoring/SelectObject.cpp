#include "authoring/SelectObject.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainWindow.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "ui/Fonts.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"

namespace kvalor {

TfmSelectObject::TfmSelectObject(QWidget* parent)
    : QDialog(parent),
      lblPrompt_(new QLabel(QStringLiteral("Укажите объект"))),
      ComboBox_(new QComboBox),
      bbOK_(new QPushButton(QStringLiteral("Ok"))) {
    nameObjects({{ComboBox_, "ComboBox"}, {bbOK_, "bbOK"}});
    setWindowTitle(QStringLiteral("Выбор объекта"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblPrompt_->setBuddy(ComboBox_);
    ComboBox_->setMinimumWidth(320);
    ComboBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    bbOK_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbOK_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt_);
    layout->addWidget(ComboBox_);
    layout->addLayout(buttons);

    connect(ComboBox_, &QComboBox::currentIndexChanged, this, [this] { UpdateActions(); });
    connect(bbOK_, &QPushButton::clicked, this, &QDialog::accept);
    UpdateActions();
}

void TfmSelectObject::ClearObjects() {
    ComboBox_->clear();
    objects_.clear();
    UpdateActions();
}

void TfmSelectObject::AddObject(const QString& text, IExaminerItem& object) {
    objects_.push_back(&object);
    ComboBox_->addItem(text);
    // Nothing is chosen until the user chooses.
    ComboBox_->setCurrentIndex(-1);
}

IExaminerItem* TfmSelectObject::SelectedObject() const {
    const int index = ComboBox_->currentIndex();
    return index >= 0 && index < static_cast<int>(objects_.size())
               ? objects_[static_cast<std::size_t>(index)]
               : nullptr;
}

void TfmSelectObject::UpdateActions() {
    bbOK_->setEnabled(SelectedObject() != nullptr);
}

void TfmSelectObject::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const int size = kvalorRoot().FontSize();
    if (size > 0 && FontSizeDiffers(ComboBox_, size)) {
        ApplyFontSize(this, size);
        adjustSize();
    }
    ComboBox_->setFocus();
}

TQuestions* chooseTaskSource(TfmSelectObject& dialog, const TQuestions& complexTest) {
    const TKvalor& root = kvalorRoot();
    dialog.ClearObjects();
    const TQuestions& simpleTests = root.SimpleTests();
    for (int i = 0; i < simpleTests.Count(); ++i) {
        auto* test = dynamic_cast<TQuestions*>(simpleTests.CollectionAt(i));
        if (test && !root.Tasks().HasTask(complexTest, *test)) {
            dialog.AddObject(fromCp1251(test->GetName()), *test);
        }
    }
    if (prompts().runModal(dialog) != QDialog::Accepted) {
        return nullptr;
    }
    return dynamic_cast<TQuestions*>(dialog.SelectedObject());
}

TfmSelectObject& selectObjectDialog(TfmKvalor& mainWindow) {
    auto* dialog = mainWindow.findChild<TfmSelectObject*>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new TfmSelectObject(&mainWindow);
    }
    return *dialog;
}

}  // namespace kvalor

#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kvalor {

// The settings dialog "Установки": the font size of the testing forms and the automatic
// splitting of full names in the user editor, both held by the root object; and the network
// mode with the server's address and port, written to the settings file at once and used from
// the next start.
class TfmSetting : public QDialog {
    Q_OBJECT
public:
    explicit TfmSetting(QWidget* parent = nullptr);

signals:
    // "Ok" stored a new font size. A window that follows the setting while it is open (the
    // examination setup) connects here and applies the size when its own differs.
    void fontSizeChanged(int pointSize);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A port that is no port, or an address with a password, is reported and the dialog
    // stays open. Otherwise the network
    // settings are stored; both others when the font size is a whole number, anything else
    // being dropped without a word; and the dialog closes.
    void btnOkClick();

    QTabWidget* pcSettings_;
    QLineEdit* edFontSize_;
    QCheckBox* chbAutoSplitName_;
    QCheckBox* chbNetworkMode_;
    QLineEdit* edAddress_;
    QLineEdit* edPort_;
    QPushButton* btnOk_;
};

}  // namespace kvalor

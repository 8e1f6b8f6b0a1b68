// The settings dialog "Setup": the peer ("Network" tab) and the print options ("Printer" tab).
// It shows a settings record and, on OK, writes the fields back into it; saving is the caller's.
#pragma once

#include <QDialog>

#include "app/option_lists.h"
#include "app/test_settings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace pellatool {

class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);

    // Shows the record's values; positions outside their lists show the first entry (log
    // level: none chosen).
    void ShowSettings(const TestSettings& settings);
    // The record the dialog's fields describe.
    TestSettings ChosenSettings() const;

    QLineEdit* LocalAETitleEdit() const { return localAETitleEdit_; }
    QLineEdit* RemoteHostEdit() const { return remoteHostEdit_; }
    QLineEdit* RemotePortEdit() const { return remotePortEdit_; }
    QLineEdit* RemoteAETitleEdit() const { return remoteAETitleEdit_; }
    QComboBox* LogLevelBox() const { return logLevelBox_; }
    QComboBox* FilmDestinationBox() const { return filmDestinationBox_; }
    QComboBox* FilmOrientationBox() const { return filmOrientationBox_; }
    QComboBox* FilmSizeBox() const { return filmSizeBox_; }
    QComboBox* MagnificationTypeBox() const { return magnificationTypeBox_; }
    QPushButton* OkButton() const { return okButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }

private:
    QWidget* MakeNetworkTab();
    QWidget* MakePrinterTab();

    QLineEdit* localAETitleEdit_;
    QLineEdit* remoteHostEdit_;
    QLineEdit* remotePortEdit_;
    QLineEdit* remoteAETitleEdit_;
    QComboBox* logLevelBox_;
    QComboBox* filmDestinationBox_;
    QComboBox* filmOrientationBox_;
    QComboBox* filmSizeBox_;
    QComboBox* magnificationTypeBox_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

}  // namespace pellatool

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

    QLineEdit* LocalAETitleEdit() const { return localAETitle_; }
    QLineEdit* RemoteHostEdit() const { return remoteHost_; }
    QLineEdit* RemotePortEdit() const { return remotePort_; }
    QLineEdit* RemoteAETitleEdit() const { return remoteAETitle_; }
    QComboBox* LogLevelBox() const { return logLevel_; }
    QComboBox* FilmDestinationBox() const { return filmDestination_; }
    QComboBox* FilmOrientationBox() const { return filmOrientation_; }
    QComboBox* FilmSizeBox() const { return filmSize_; }
    QComboBox* MagnificationTypeBox() const { return magnificationType_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QWidget* MakeNetworkTab();
    QWidget* MakePrinterTab();

    QLineEdit* localAETitle_;
    QLineEdit* remoteHost_;
    QLineEdit* remotePort_;
    QLineEdit* remoteAETitle_;
    QComboBox* logLevel_;
    QComboBox* filmDestination_;
    QComboBox* filmOrientation_;
    QComboBox* filmSize_;
    QComboBox* magnificationType_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace pellatool

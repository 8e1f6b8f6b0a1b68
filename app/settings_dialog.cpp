#include "app/settings_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pellatool {
namespace {

QLineEdit* MakeEdit(const char* name, std::size_t fieldWidth, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(static_cast<int>(fieldWidth - 1));
    return edit;
}

QComboBox* MakeBox(const char* name, const OptionList& entries, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const std::string& entry : entries) box->addItem(QString::fromStdString(entry));
    return box;
}

std::string Text(const QLineEdit* edit) {
    return edit->text().toLocal8Bit().constData();
}

}  // namespace

// The object names (Form2, BitBtn1 and BitBtn2 for OK and Cancel, LocalAET, RemoteIP, ...) are the
// ones the dialog has always had.
TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName("Form2");
    setWindowTitle("Setup");
    setModal(true);
    auto* pages = new QTabWidget(this);
    pages->addTab(MakeNetworkTab(), "Network");
    pages->addTab(MakePrinterTab(), "Printer");
    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("BitBtn1");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("BitBtn2");
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(okButton_);
    buttonRow->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addLayout(buttonRow);
    ShowSettings(TestSettings{});
}

QWidget* TForm2::MakeNetworkTab() {
    auto* page = new QWidget;
    localAETitleEdit_ = MakeEdit("LocalAET", kTitleFieldWidth, page);
    remoteHostEdit_ = MakeEdit("RemoteIP", kHostFieldWidth, page);
    remotePortEdit_ = MakeEdit("RemotePort", kPortFieldWidth, page);
    remoteAETitleEdit_ = MakeEdit("RemoteAET", kTitleFieldWidth, page);
    logLevelBox_ = MakeBox("LogLevel", LogLevelNames(), page);
    auto* form = new QFormLayout(page);
    form->addRow("Local AET:", localAETitleEdit_);
    form->addRow("Remote IP Address:", remoteHostEdit_);
    form->addRow("Remote Port Number:", remotePortEdit_);
    form->addRow("Remote AET:", remoteAETitleEdit_);
    form->addRow("LOG level:", logLevelBox_);
    return page;
}

QWidget* TForm2::MakePrinterTab() {
    auto* page = new QWidget;
    filmDestinationBox_ = MakeBox("FilmDestination", FilmDestinations(), page);
    filmOrientationBox_ = MakeBox("FilmOrientation", FilmOrientations(), page);
    filmSizeBox_ = MakeBox("FilmSize", FilmSizes(), page);
    magnificationTypeBox_ = MakeBox("MagnificationType", MagnificationTypes(), page);
    auto* form = new QFormLayout(page);
    form->addRow("Film Destination:", filmDestinationBox_);
    form->addRow("Film Orientation:", filmOrientationBox_);
    form->addRow("Film Size:", filmSizeBox_);
    form->addRow("Magnification Type:", magnificationTypeBox_);
    return page;
}

void TForm2::ShowSettings(const TestSettings& s) {
    localAETitleEdit_->setText(QString::fromLocal8Bit(s.localAETitle.c_str()));
    remoteHostEdit_->setText(QString::fromLocal8Bit(s.remoteHost.c_str()));
    remotePortEdit_->setText(QString::fromLocal8Bit(s.remotePort.c_str()));
    remoteAETitleEdit_->setText(QString::fromLocal8Bit(s.remoteAETitle.c_str()));
    logLevelBox_->setCurrentIndex(ValidLogLevel(s.logLevel) - 1);
    filmDestinationBox_->setCurrentIndex(ValidPosition(s.filmDestination, FilmDestinations().size()));
    filmOrientationBox_->setCurrentIndex(ValidPosition(s.filmOrientation, FilmOrientations().size()));
    filmSizeBox_->setCurrentIndex(ValidPosition(s.filmSize, FilmSizes().size()));
    magnificationTypeBox_->setCurrentIndex(ValidPosition(s.magnificationType, MagnificationTypes().size()));
}

TestSettings TForm2::ChosenSettings() const {
    TestSettings s;
    s.localAETitle = Text(localAETitleEdit_);
    s.remoteHost = Text(remoteHostEdit_);
    s.remotePort = Text(remotePortEdit_);
    s.remoteAETitle = Text(remoteAETitleEdit_);
    s.logLevel = logLevelBox_->currentIndex() + 1;  // nothing chosen (-1) stores 0
    s.filmDestination = filmDestinationBox_->currentIndex();
    s.filmOrientation = filmOrientationBox_->currentIndex();
    s.filmSize = filmSizeBox_->currentIndex();
    s.magnificationType = magnificationTypeBox_->currentIndex();
    return s;
}

}  // namespace pellatool

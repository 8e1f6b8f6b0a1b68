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

std::string Text(const QLineEdit* edit) { return edit->text().toLocal8Bit().constData(); }

}  // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName("Form2");
    setWindowTitle("Setup");
    setModal(true);
    auto* pages = new QTabWidget(this);
    pages->addTab(MakeNetworkTab(), "Network");
    pages->addTab(MakePrinterTab(), "Printer");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BitBtn1");
    ok_->setDefault(true);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("BitBtn2");
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addLayout(buttons);
    ShowSettings(TestSettings{});
}

QWidget* TForm2::MakeNetworkTab() {
    auto* page = new QWidget;
    localAETitle_ = MakeEdit("LocalAET", kTitleFieldWidth, page);
    remoteHost_ = MakeEdit("RemoteIP", kHostFieldWidth, page);
    remotePort_ = MakeEdit("RemotePort", kPortFieldWidth, page);
    remoteAETitle_ = MakeEdit("RemoteAET", kTitleFieldWidth, page);
    logLevel_ = MakeBox("LogLevel", LogLevelNames(), page);
    auto* form = new QFormLayout(page);
    form->addRow("Local AET:", localAETitle_);
    form->addRow("Remote IP Address:", remoteHost_);
    form->addRow("Remote Port Number:", remotePort_);
    form->addRow("Remote AET:", remoteAETitle_);
    form->addRow("LOG level:", logLevel_);
    return page;
}

QWidget* TForm2::MakePrinterTab() {
    auto* page = new QWidget;
    filmDestination_ = MakeBox("FilmDestination", FilmDestinations(), page);
    filmOrientation_ = MakeBox("FilmOrientation", FilmOrientations(), page);
    filmSize_ = MakeBox("FilmSize", FilmSizes(), page);
    magnificationType_ = MakeBox("MagnificationType", MagnificationTypes(), page);
    auto* form = new QFormLayout(page);
    form->addRow("Film Destination:", filmDestination_);
    form->addRow("Film Orientation:", filmOrientation_);
    form->addRow("Film Size:", filmSize_);
    form->addRow("Magnification Type:", magnificationType_);
    return page;
}

void TForm2::ShowSettings(const TestSettings& s) {
    localAETitle_->setText(QString::fromLocal8Bit(s.localAETitle.c_str()));
    remoteHost_->setText(QString::fromLocal8Bit(s.remoteHost.c_str()));
    remotePort_->setText(QString::fromLocal8Bit(s.remotePort.c_str()));
    remoteAETitle_->setText(QString::fromLocal8Bit(s.remoteAETitle.c_str()));
    logLevel_->setCurrentIndex(ValidLogLevel(s.logLevel) - 1);
    filmDestination_->setCurrentIndex(ValidPosition(s.filmDestination, FilmDestinations().size()));
    filmOrientation_->setCurrentIndex(ValidPosition(s.filmOrientation, FilmOrientations().size()));
    filmSize_->setCurrentIndex(ValidPosition(s.filmSize, FilmSizes().size()));
    magnificationType_->setCurrentIndex(ValidPosition(s.magnificationType, MagnificationTypes().size()));
}

TestSettings TForm2::ChosenSettings() const {
    TestSettings s;
    s.localAETitle = Text(localAETitle_);
    s.remoteHost = Text(remoteHost_);
    s.remotePort = Text(remotePort_);
    s.remoteAETitle = Text(remoteAETitle_);
    s.logLevel = logLevel_->currentIndex() + 1;  // nothing chosen (-1) stores 0
    s.filmDestination = filmDestination_->currentIndex();
    s.filmOrientation = filmOrientation_->currentIndex();
    s.filmSize = filmSize_->currentIndex();
    s.magnificationType = magnificationType_->currentIndex();
    return s;
}

}  // namespace pellatool

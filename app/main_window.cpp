#include "app/main_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/header_dump.h"
#include "app/main_thread.h"
#include "app/settings_dialog.h"
#include "pella.h"

namespace pellatool {

std::string AboutText() {
    char version[256] = {};
    Version(version);
    return std::string("Pellatool1.0") + "\n\r" + kProjectAddress + version;
}

TForm1::TForm1(std::string startDirectory, std::unique_ptr<FileChooser> chooser, QWidget* parent)
    : QWidget(parent),
      startDirectory_(std::move(startDirectory)),
      chooser_(std::move(chooser)),
      settings_(LoadSettings(startDirectory_ + kSettingsFileName)) {
    // The object names (Form1, Button1 to Button9, Memo1, Label1) are the ones the window has always
    // had; the tests find the widgets by them.
    setObjectName("Form1");
    setWindowTitle("Pellatool");
    resize(637, 430);
    setMinimumSize(480, 360);
    logMemo_ = new QPlainTextEdit(this);
    logMemo_->setObjectName("Memo1");
    logMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logMemo_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    busyBar_ = new QProgressBar(this);
    busyBar_->setObjectName("Busy");
    busyBar_->setRange(0, 0);  // no known end: the bar moves while a run is going
    busyBar_->setTextVisible(false);
    busyBar_->setVisible(false);
    echoButton_ = AddButton("Button3", "Echo", [this] { StartTest("ECHO"); });
    storeButton_ = AddButton("Button4", "Store", [this] { StartTest("STORE"); });
    findButton_ = AddButton("Button5", "Find", [this] { StartTest("FIND"); });
    worklistButton_ = AddButton("Button9", "WL Find", [this] { StartTest("WORKLIST"); });
    printButton_ = AddButton("Button8", "Print", [this] { StartTest("PRINT"); });
    dumpButton_ = AddButton("Button7", "Dump", [this] { Dump(); });
    setupButton_ = AddButton("Button2", "Setup", [this] { Setup(); });
    aboutButton_ = AddButton("Button6", "About", [this] { About(); });
    endButton_ = AddButton("Button1", "End", [this] { close(); });
    addressLabel_ = new QLabel(kProjectAddress, this);
    addressLabel_->setObjectName("Label1");
    LayOut();

    settingsDialog_ = new TForm2(this);
    settingsDialog_->ShowSettings(settings_);
    connect(settingsDialog_, &QDialog::accepted, this, &TForm1::SettingsChosen);
}

// The buttons in a column with the address below them, the memo to their right.
void TForm1::LayOut() {
    auto* column = new QVBoxLayout;
    for (QPushButton* button : Buttons()) column->addWidget(button);
    column->addStretch();
    column->addWidget(busyBar_);
    column->addWidget(addressLabel_);
    auto* row = new QHBoxLayout(this);
    row->addLayout(column);
    row->addWidget(logMemo_, 1);
}

// Runs still going when the window is destroyed anyway (closing normally waits for them) are
// waited for, so that none outlives the memo it reports to.
TForm1::~TForm1() {
    for (MainThread* thread : running_) thread->wait();
}

QPushButton* TForm1::AddButton(const char* objectName, const char* caption, std::function<void()> action) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    connect(button, &QPushButton::clicked, this, std::move(action));
    return button;
}

std::vector<QPushButton*> TForm1::Buttons() const {
    return {echoButton_, storeButton_, findButton_,  worklistButton_, printButton_,
            dumpButton_, setupButton_, aboutButton_, endButton_};
}

QPushButton* TForm1::Button(const char* objectName) const {
    for (QPushButton* button : Buttons())
        if (button->objectName() == objectName) return button;
    return nullptr;
}

void TForm1::AppendMemo(const QString& line) {
    logMemo_->appendPlainText(line);
}

void TForm1::StartTest(const std::string& testName) {
    if (closeWanted_) return;  // the window closes once the running tests have ended
    std::vector<std::string> fileNames;
    // Files are chosen here, on the window's thread, where dialogs may run: several for STORE.
    if (testName == "STORE") fileNames = chooser_->ChooseFiles(this);
    if (auto one = testName == "PRINT" ? chooser_->ChooseFile(this) : std::nullopt) fileNames.push_back(*one);
    auto* thread = new MainThread(testName, settings_, startDirectory_, fileNames, this);
    connect(thread, &MainThread::MemoCleared, logMemo_, &QPlainTextEdit::clear, Qt::QueuedConnection);
    connect(thread, &MainThread::MemoLine, this, &TForm1::AppendMemo, Qt::QueuedConnection);
    connect(
        thread, &QThread::finished, this, [this, thread] { TestEnded(thread); }, Qt::QueuedConnection);
    running_.push_back(thread);
    busyBar_->setVisible(true);
    thread->start();
}

void TForm1::TestEnded(MainThread* thread) {
    thread->wait();
    running_.erase(std::remove(running_.begin(), running_.end(), thread), running_.end());
    thread->deleteLater();
    busyBar_->setVisible(!running_.empty());
    if (closeWanted_ && running_.empty()) close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (running_.empty()) {
        event->accept();
        return;
    }
    if (!closeWanted_) AppendMemo(QString("Closing once %1 running test(s) have ended").arg(running_.size()));
    closeWanted_ = true;
    event->ignore();
}

void TForm1::Dump() {
    logMemo_->clear();
    std::optional<std::string> fileName = chooser_->ChooseFile(this);
    if (!fileName) return;
    for (const std::string& line : DumpFileLines(*fileName)) AppendMemo(QString::fromLocal8Bit(line.c_str()));
}

void TForm1::Setup() {
    settingsDialog_->ShowSettings(settings_);
    settingsDialog_->open();
}

void TForm1::SettingsChosen() {
    settings_ = settingsDialog_->ChosenSettings();
    std::string failure = SaveSettings(startDirectory_ + kSettingsFileName, settings_);
    if (!failure.empty()) AppendMemo(QString::fromLocal8Bit(("Settings not saved: " + failure).c_str()));
}

void TForm1::About() {
    QMessageBox::about(this, "About", QString::fromLocal8Bit(AboutText().c_str()));
}

}  // namespace pellatool

// pellatool: the desktop test front end of the toolkit. The start directory (the current
// directory) holds its settings file and the protocol log of every test run.
#include <QApplication>
#include <filesystem>
#include <memory>

#include "app/file_chooser.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::string startDirectory = std::filesystem::current_path().string();
    if (startDirectory.empty() || startDirectory.back() != '/') startDirectory += '/';
    pellatool::TForm1 window(startDirectory, std::make_unique<pellatool::DialogFileChooser>());
    window.show();
    return application.exec();
}

#include "app/file_chooser.h"

#include <QFileDialog>

namespace pellatool {

std::optional<std::string> DialogFileChooser::ChooseFile(QWidget* parent) {
    QString name = QFileDialog::getOpenFileName(parent, "Open");
    if (name.isEmpty()) return std::nullopt;
    return std::string(name.toLocal8Bit().constData());
}

std::vector<std::string> FileChooser::ChooseFiles(QWidget* parent) {
    std::optional<std::string> one = ChooseFile(parent);
    return one ? std::vector<std::string>{*one} : std::vector<std::string>{};
}

std::vector<std::string> DialogFileChooser::ChooseFiles(QWidget* parent) {
    std::vector<std::string> files;
    for (const QString& name : QFileDialog::getOpenFileNames(parent, "Open"))
        files.emplace_back(name.toLocal8Bit().constData());
    return files;
}

}  // namespace pellatool

#include "app/file_chooser.h"

#include <QFileDialog>

namespace pellatool {

std::optional<std::string> DialogFileChooser::ChooseFile(QWidget* parent) {
    QString name = QFileDialog::getOpenFileName(parent, "Open");
    if (name.isEmpty()) return std::nullopt;
    return std::string(name.toLocal8Bit().constData());
}

}  // namespace pellatool

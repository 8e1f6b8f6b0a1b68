// How the main window asks for a file to store, print or dump. The window holds one; the program
// uses the file-open dialog, tests install one that answers without a person.
#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace pellatool {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen file, or nothing when the choice was cancelled.
    virtual std::optional<std::string> ChooseFile(QWidget* parent) = 0;
    // One or more chosen files (empty when cancelled); by default the one file ChooseFile gives.
    virtual std::vector<std::string> ChooseFiles(QWidget* parent);
};

// The file-open dialog.
class DialogFileChooser : public FileChooser {
public:
    std::optional<std::string> ChooseFile(QWidget* parent) override;
    std::vector<std::string> ChooseFiles(QWidget* parent) override;
};

}  // namespace pellatool

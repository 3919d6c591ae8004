#include "runtime/FileDialog.h"

#include <utility>

namespace {

FileDialogAnswer testAnswer;

}  // namespace

bool ChooseFileName(const FileDialogRequest& request, std::string& name) {
    name.clear();
    if (testAnswer) return testAnswer(request, name);
    // No dialog can be shown yet: the question counts as cancelled.
    return false;
}

void SetFileDialogAnswerForTests(FileDialogAnswer answer) { testAnswer = std::move(answer); }

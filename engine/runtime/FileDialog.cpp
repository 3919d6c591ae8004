#include "runtime/FileDialogInternal.h"

#include <utility>

#include "platform/FileDialogBox.h"
#include "runtime/EngineGlobals.h"

namespace {

FileDialogAnswer testAnswer;

qel::FileDialogOptions OptionsOf(const FileDialogRequest& request) {
    qel::FileDialogOptions options;
    options.save = request.save;
    for (const FileFilter& filter : request.filters)
        options.filters.push_back({filter.description ? filter.description : "", filter.pattern ? filter.pattern : ""});
    options.defaultExtension = request.defaultExtension ? request.defaultExtension : "";
    return options;  // the folder shown first is the current directory
}

}  // namespace

bool ChooseFileName(const FileDialogRequest& request, std::string& name) {
    name.clear();
    if (testAnswer) return testAnswer(request, name);
    // Without a display that can show the dialog the question counts as cancelled.
    return qel::ShowFileDialog(_Ghwnd, OptionsOf(request), name);
}

void SetFileDialogAnswerForTests(FileDialogAnswer answer) { testAnswer = std::move(answer); }

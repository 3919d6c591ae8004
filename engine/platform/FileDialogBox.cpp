#include "platform/FileDialogBox.h"

#include <imgui.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/DialogModalInternal.h"

namespace qel {

namespace {

constexpr std::size_t NameCapacity = 1024;  // the name field holds as much as the callers' buffers
constexpr float ListWidth = 480.0f;
constexpr float ListHeight = 260.0f;

class FileDialogView : public ModalDialog {
public:
    explicit FileDialogView(const FileDialogOptions& options) : model_(options) {}

    const char* Title() const override { return model_.Options().save ? "Save As" : "Open"; }

    void DrawControls() override {
        DrawFolderLine();
        DrawEntries();
        DrawNameField();
        DrawFilterChoice();
        DrawButtons();
        if (!model_.Message().empty())
            ImGui::TextColored(ImVec4(0.7f, 0.0f, 0.0f, 1.0f), "%s", model_.Message().c_str());
    }

    void OnEnter() override { Accept(); }
    void OnEscape() override { End(0); }

    const std::string& Chosen() const { return chosen_; }

private:
    void SetName(const std::string& text) {
        model_.name = text.substr(0, NameCapacity - 1);
        std::copy(model_.name.begin(), model_.name.end(), nameField_.begin());
        nameField_[model_.name.size()] = '\0';
    }

    void Accept() {
        model_.name = nameField_.data();
        if (model_.Accept(chosen_)) {
            End(1);
            return;
        }
        SetName(model_.name);  // a folder that was entered empties the field
        RenewNameField();
        selected_ = -1;
    }

    // The field being edited keeps its own copy of the text: a field of a new
    // identity shows the name put in from outside, and keeps the keyboard.
    void RenewNameField() {
        ++fieldIdentity_;
        focusField_ = true;
    }

    // Up and Down in the name field walk the listing, as in a file list: the
    // entry reached is selected and its name goes into the field.
    static int OnUpOrDown(ImGuiInputTextCallbackData* data) {
        auto* self = static_cast<FileDialogView*>(data->UserData);
        const int count = int(self->model_.Entries().size());
        if (count == 0) return 0;
        const int step = data->EventKey == ImGuiKey_UpArrow ? -1 : 1;
        self->selected_ = std::clamp(self->selected_ < 0 ? 0 : self->selected_ + step, 0, count - 1);
        self->scrollToSelected_ = true;
        const std::string& name = self->model_.Entries()[std::size_t(self->selected_)].name;
        data->DeleteChars(0, data->BufTextLen);
        data->InsertChars(0, name.substr(0, NameCapacity - 1).c_str());
        return 0;
    }

    void Enter(const std::string& folder) {
        if (model_.EnterFolder(folder)) selected_ = -1;
    }

    void DrawFolderLine() {
        ImGui::TextUnformatted("Look in:");
        ImGui::SameLine();
        ImGui::TextUnformatted(model_.Folder().c_str());
        ImGui::SameLine();
        if (ImGui::SmallButton("Up")) Enter("..");
    }

    void DrawEntries() {
        ImGui::BeginChild("entries", ImVec2(ListWidth, ListHeight), true);
        const auto& entries = model_.Entries();
        std::string enter;
        for (int i = 0; i < int(entries.size()); ++i) {
            const FileDialogModel::Entry& entry = entries[std::size_t(i)];
            const std::string label = entry.folder ? "[" + entry.name + "]" : entry.name;
            ImGui::PushID(i);
            if (ImGui::Selectable(label.c_str(), selected_ == i, ImGuiSelectableFlags_AllowDoubleClick)) {
                selected_ = i;
                const bool twice = ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left);
                if (entry.folder && twice) enter = entry.name;
                if (!entry.folder) {
                    SetName(entry.name);
                    RenewNameField();
                    if (twice) accept_ = true;
                }
            }
            if (selected_ == i && scrollToSelected_) {
                ImGui::SetScrollHereY();
                scrollToSelected_ = false;
            }
            ImGui::PopID();
        }
        ImGui::EndChild();
        // The listing changes only after it has been drawn.
        if (!enter.empty()) Enter(enter);
        if (accept_) {
            accept_ = false;
            Accept();
        }
    }

    void DrawNameField() {
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("File name:");
        ImGui::SameLine();
        if (focusField_) ImGui::SetKeyboardFocusHere();
        focusField_ = false;
        ImGui::SetNextItemWidth(-1.0f);
        ImGui::PushID(fieldIdentity_);
        ImGui::InputText("##name", nameField_.data(), nameField_.size(), ImGuiInputTextFlags_CallbackHistory,
                         OnUpOrDown, this);
        ImGui::PopID();
    }

    void DrawFilterChoice() {
        const auto& filters = model_.Options().filters;
        if (filters.empty()) return;
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("Files of type:");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1.0f);
        const std::size_t current = model_.FilterIndex();
        if (ImGui::BeginCombo("##type", filters[current].description.c_str())) {
            for (std::size_t i = 0; i < filters.size(); ++i) {
                if (ImGui::Selectable(filters[i].description.c_str(), i == current)) {
                    model_.SelectFilter(i);
                    selected_ = -1;
                }
            }
            ImGui::EndCombo();
        }
    }

    void DrawButtons() {
        if (ImGui::Button(model_.Options().save ? "Save" : "Open", ImVec2(90.0f, 0.0f))) Accept();
        ImGui::SameLine();
        if (ImGui::Button("Cancel", ImVec2(90.0f, 0.0f))) End(0);
    }

    FileDialogModel model_;
    std::array<char, NameCapacity> nameField_{};
    std::string chosen_;
    int selected_ = -1;
    bool accept_ = false;
    bool focusField_ = true;
    bool scrollToSelected_ = false;
    int fieldIdentity_ = 0;
};

}  // namespace

bool ShowFileDialog(HWND owner, const FileDialogOptions& options, std::string& name) {
    name.clear();
    if (!CanShowDialogs(owner)) return false;
    FileDialogView view(options);
    if (!RunModalDialog(owner, view) || view.Result() != 1) return false;
    name = view.Chosen();
    return true;
}

}  // namespace qel

#include "platform/DialogNetwork.h"

#include <imgui.h>

#include <array>
#include <chrono>
#include <mutex>

#include "platform/DialogFields.h"
#include "platform/DialogModalInternal.h"
#include "platform/Text1252.h"

namespace qel {

namespace {

std::mutex responderLock;
DialogResponder responder;

DialogResponder Current() {
    std::lock_guard<std::mutex> hold(responderLock);
    return responder;
}

bool Installed(const DialogResponder& r) { return r.option || r.session || r.selectPlayer || r.wait; }

constexpr std::size_t FieldCapacity = 255;  // each session text, terminator included
constexpr float ButtonWidth = 90.0f;

bool DialogButton(const char* label, float width = ButtonWidth) { return ImGui::Button(label, ImVec2(width, 0.0f)); }

// Runs the dialog; a dialog that cannot be shown answers Cancel.
int Run(HWND owner, ModalDialog& dialog) { return RunModalDialog(owner, dialog) ? dialog.Result() : ButtonCancel; }

class NetworkOptionView : public ModalDialog {
public:
    const char* Title() const override { return "Network Option"; }
    void DrawControls() override {
        ImGui::TextUnformatted("This level requires a network session.");
        ImGui::TextUnformatted("What do you want to do?");
        if (DialogButton("Create New Session", 160.0f)) End(ButtonCreate);
        ImGui::SameLine();
        if (DialogButton("Join Session", 160.0f)) End(ButtonJoin);
    }
    void OnEscape() override { End(ButtonCancel); }
};

class SessionView : public ModalDialog {
public:
    SessionView(bool join, SessionFields& fields) : join_(join), fields_(fields) {
        Fill(first_, Cp1252ToUtf8(fields.first));
        Fill(second_, Cp1252ToUtf8(fields.second));
        Fill(port_, std::to_string(fields.port));
    }
    const char* Title() const override { return join_ ? "Join Session" : "Create Session"; }
    void DrawControls() override {
        if (firstFrame_) ImGui::SetKeyboardFocusHere();
        firstFrame_ = false;
        Field(join_ ? "Host:" : "Session:", "##first", first_);
        Field("Player:", "##second", second_);
        Field("Port:", "##port", port_);
        if (DialogButton("OK")) OnEnter();
        ImGui::SameLine();
        if (DialogButton("Cancel")) End(ButtonCancel);
        ImGui::SameLine();
        if (DialogButton("Exit Game")) End(ButtonExitGame);
    }
    void OnEnter() override {
        fields_.first = FieldTextCp1252(first_.data());
        fields_.second = FieldTextCp1252(second_.data());
        fields_.port = FieldUnsigned(port_.data());
        End(ButtonOk);
    }
    void OnEscape() override { End(ButtonCancel); }

private:
    using Text = std::array<char, FieldCapacity>;

    static void Fill(Text& field, const std::string& text) {
        const std::size_t n = std::min(text.size(), field.size() - 1);
        std::copy_n(text.begin(), n, field.begin());
        field[n] = '\0';
    }
    static void Field(const char* label, const char* id, Text& text) {
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted(label);
        ImGui::SameLine(70.0f);
        ImGui::SetNextItemWidth(220.0f);
        ImGui::InputText(id, text.data(), text.size());
    }

    bool join_;
    SessionFields& fields_;
    Text first_{}, second_{}, port_{};
    bool firstFrame_ = true;
};

class SelectPlayerView : public ModalDialog {
public:
    SelectPlayerView(const std::vector<std::string>& names, int& selected) : selected_(selected) {
        for (const std::string& name : names) labels_.push_back(Cp1252ToUtf8(name));
    }
    const char* Title() const override { return "Select a Player"; }
    void DrawControls() override {
        ImGui::TextUnformatted("Select a player from the list below:");
        if (ImGui::BeginListBox("##players", ImVec2(260.0f, 120.0f))) {
            for (int i = 0; i < int(labels_.size()); ++i) {
                ImGui::PushID(i);
                if (ImGui::Selectable(labels_[std::size_t(i)].c_str(), selected_ == i)) selected_ = i;
                ImGui::PopID();
            }
            ImGui::EndListBox();
        }
        if (DialogButton("OK")) End(ButtonOk);
        ImGui::SameLine();
        if (DialogButton("Cancel")) End(ButtonCancel);
    }
    void OnEnter() override { End(ButtonOk); }
    void OnEscape() override { End(ButtonCancel); }

private:
    std::vector<std::string> labels_;
    int& selected_;
};

class WaitView : public ModalDialog {
public:
    WaitView(const std::function<bool()>& done, std::uint32_t pollMs) : done_(done), poll_(pollMs) {}
    const char* Title() const override { return nullptr; }
    void DrawControls() override {
        // Asked at once, then every poll period.
        const auto now = std::chrono::steady_clock::now();
        if (!asked_ || now - lastAsked_ >= poll_) {
            asked_ = true;
            lastAsked_ = now;
            if (!done_ || done_()) {
                End(ButtonOk);
                return;
            }
        }
        ImGui::TextUnformatted("Waiting for other players to join ...");
        if (DialogButton("Resign")) End(ButtonCancel);
    }
    void OnEscape() override { End(ButtonCancel); }

private:
    const std::function<bool()>& done_;
    std::chrono::milliseconds poll_;
    std::chrono::steady_clock::time_point lastAsked_{};
    bool asked_ = false;
};

}  // namespace

void SetDialogResponderForTests(DialogResponder answers) {
    std::lock_guard<std::mutex> hold(responderLock);
    responder = std::move(answers);
}

int NetworkOptionDialog(HWND owner) {
    const DialogResponder r = Current();
    if (Installed(r)) return r.option ? r.option() : ButtonCancel;
    NetworkOptionView view;
    return Run(owner, view);
}

int SessionDialog(HWND owner, bool join, SessionFields& fields) {
    const DialogResponder r = Current();
    if (Installed(r)) return r.session ? r.session(join, fields) : ButtonCancel;
    SessionView view(join, fields);
    return Run(owner, view);
}

int SelectPlayerDialog(HWND owner, const std::vector<std::string>& names, int& selected) {
    selected = names.empty() ? -1 : 0;
    const DialogResponder r = Current();
    if (Installed(r)) return r.selectPlayer ? r.selectPlayer(names, selected) : ButtonCancel;
    SelectPlayerView view(names, selected);
    return Run(owner, view);
}

int WaitDialog(HWND owner, const std::function<bool()>& done, std::uint32_t pollMs) {
    const DialogResponder r = Current();
    if (Installed(r)) return r.wait ? r.wait(done) : ButtonCancel;
    WaitView view(done, pollMs);
    return Run(owner, view);
}

}  // namespace qel

// Shared set-up of the text display tests: a current level with a 32-bit back
// buffer, a line drawer and a known viewport; scripted input; a record of the
// characters the layout draws; helpers to read misuse reports.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/BmpWriter.h"
#include "display/DisplayInternal.h"
#include "display/GeometricsDrawn.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "text/TextInputInternal.h"
#include "text/TextLayoutInternal.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace texttest {

struct Drawn {
    char c;
    QelPoint at;
};

// Keys and the mouse as a test sets them for the next frame.
struct ScriptedInput {
    std::set<unsigned char> pressed, triggered;
    bool button = false, buttonDown = false, cursor = true;
    int x = 0, y = 0;
};

inline ScriptedInput* scripted = nullptr;

inline TextInput ScriptedTextInput() {
    TextInput in;
    in.keyPressed = [](unsigned char k) { return scripted->pressed.count(k) > 0; };
    in.keyTriggered = [](unsigned char k) { return scripted->triggered.count(k) > 0; };
    in.buttonPressed = [] { return scripted->button; };
    in.buttonTriggered = [] { return scripted->buttonDown; };
    in.mouseWorldX = [] { return scripted->x; };
    in.mouseWorldY = [] { return scripted->y; };
    in.cursorShown = [] { return scripted->cursor; };
    return in;
}

class TextTest : public ::testing::Test {
protected:
    static constexpr int BackWidth = 320, BackHeight = 200;
    static constexpr std::uint32_t Background = 0x102030;

    void SetUp() override {
        savedDepth = displayDepth;
        displayDepth = 32;
        back = qel::Surface::Create(BackWidth, BackHeight, 32);
        back->SetClipRect(QelRect{0, 0, BackWidth, BackHeight});
        back->Fill(nullptr, Background);
        pBackBuffer = back.get();
        pDraw = &drawer;
        gNode = &level;
        level.WorldWidth(2000);
        level.WorldHeight(1000);
        LevelViewPort() = ViewPort(2000, 1000, 0, 0, BackWidth, BackHeight);
        scripted = &input;
        TextInput::Current() = ScriptedTextInput();
        TextLayout::Observe(
            [](void* self, char c, QelPoint at) {
                static_cast<TextTest*>(self)->drawn.push_back({c, at});
            },
            this);
        ClearUserErrors();
    }

    void TearDown() override {
        TextLayout::Observe(nullptr, nullptr);
        TextInput::Current() = TextInput::Engine();
        scripted = nullptr;
        level.Variables().del();
        level.Maps().del();
        gNode = nullptr;
        pDraw = nullptr;
        pBackBuffer = nullptr;
        displayDepth = savedDepth;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Every byte 10 pixels wide and 10 high: rows of 10, columns of 10.
    static void FixedSizes(Variable& v, int width = 10, int height = 10) {
        for (auto& s : v.m_CharSizes) s = {width, height};
    }

    // A text of display type `type` in frame (0, 0, 101, 100): nine 10-pixel
    // characters fit on a row (the pen may reach 99).
    static void Setup(Variable& v, const char* text, Variable::DisplayTypes type, QelRect frame = {0, 0, 101, 100}) {
        v = text;
        v.m_DisplayType = type;
        if (type <= Variable::ConsecutiveCharacters) v.m_ArrowsSize = 0;
        v.Frame(frame);
        FixedSizes(v);
    }

    // The drawn characters as rows of text: one line per drawn row (by y),
    // one column per 10 pixels from `left`; gaps are spaces.
    std::vector<std::string> Rows(int left = 0, int cell = 10) const {
        std::map<int, std::string> rows;
        for (const Drawn& d : drawn) {
            std::string& row = rows[d.at.y];
            const int column = (d.at.x - left) / cell;
            if (column < 0) continue;
            if (int(row.size()) <= column) row.resize(std::size_t(column) + 1, ' ');
            row[std::size_t(column)] = d.c;
        }
        std::vector<std::string> out;
        for (auto& [y, row] : rows) out.push_back(row);
        return out;
    }

    std::vector<int> RowTops() const {
        std::set<int> ys;
        for (const Drawn& d : drawn) ys.insert(d.at.y);
        return {ys.begin(), ys.end()};
    }

    // A level map over a bitmap of w x h pixels.
    Map* AddMap(const char* name, int w, int h, int worldX = 0, int worldY = 0) {
        if (folder.empty()) {
            std::random_device rd;
            folder = std::filesystem::temp_directory_path() / ("qel-text-" + std::to_string(rd()));
            std::filesystem::create_directories(folder);
            mapsFolder = (folder.string() + "/").c_str();
            currentAssetFolder = mapsFolder;
        }
        const std::string file = std::string(name) + ".bmp";
        WriteBmp((folder / file).string(), w, h);
        Map* map = new Map(name, file.c_str(), Map::StandardMap, 0, worldX, worldY, false, QelRect{});
        level.Add(map);
        return map;
    }

    std::uint32_t Pixel(int x, int y) const { return back->GetRawPixel(x, y) & 0xFFFFFF; }

    static void ClearUserErrors() {
        for (Array<UserError>* h : {&UserError::SpritesErrors, &UserError::Errors, &UserError::MapsErrors,
                                    &UserError::VariablesErrors, &UserError::AlarmsErrors, &UserError::GameErrors})
            h->Clear();
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        std::memset(_UE.TargetFunction, 0, sizeof _UE.TargetFunction);
    }

    // The last report ("target | message"), then forgotten.
    static std::string LastError() {
        std::string text = std::string(_UE.TargetFunction) + " | " + _UE.ErrorMessage;
        ClearUserErrors();
        return text;
    }

    GameNode level;
    GeometricsDrawn drawer;
    std::unique_ptr<qel::Surface> back;
    std::vector<Drawn> drawn;
    ScriptedInput input;
    std::int32_t savedDepth = 16;
    std::filesystem::path folder;

private:
    static void WriteBmp(const std::string& path, int w, int h) { bmp24::WriteSolid(path, w, h, 0x404040); }
};

}  // namespace texttest

// Shared set-up of the screen-transition and screenshot tests: a small back
// buffer with its pixel access, a full-screen display for the gamma ramp, a
// scratch folder, and helpers to save and load records through a File.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "display/DisplayInternal.h"
#include "display/Screen.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "platform/Display.h"
#include "platform/MessageQueue.h"
#include "platform/Surface.h"
#include "platform/Window.h"

class EffectsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        saved[0] = displayWidth;
        saved[1] = displayHeight;
        saved[2] = displayDepth;
        std::random_device rd;
        dir = std::filesystem::temp_directory_path() /
              ("qel-effects-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(dir);
        _UE = UserError();
    }
    void TearDown() override {
        pGammaControl = nullptr;
        pScreen = nullptr;
        pBackBuffer = nullptr;
        screen.reset();
        back.reset();
        display.reset();
        if (window != nullptr) qel::DestroyWindow(window);
        window = nullptr;
        qel::ClearMessageQueue();
        displayWidth = saved[0];
        displayHeight = saved[1];
        displayDepth = saved[2];
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // A back buffer of w x h at the depth, black, with pScreen over it.
    qel::Surface& UseDisplay(int w, int h, int depth = 32) {
        displayWidth = w;
        displayHeight = h;
        displayDepth = depth;
        back = qel::Surface::Create(w, h, depth);
        pBackBuffer = back.get();
        screen = std::make_unique<Screen>(*back);
        pScreen = screen.get();
        return *back;
    }

    // A full-screen display whose gamma ramp the effects drive.
    qel::Display& UseGammaControl() {
        window = qel::Window::Create({"effects", 8, 4, false, true});
        EXPECT_NE(window, nullptr);
        display = qel::Display::Create(window, 8, 4, 32);
        EXPECT_NE(display, nullptr);
        window->SetFullScreen(true);
        EXPECT_TRUE(display->HasGammaControl());
        pGammaControl = display.get();
        return *display;
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    template <class T>
    std::vector<unsigned char> SaveBytes(T& object, const std::string& name = "record.bin") {
        {
            File f(Path(name).c_str(), File::Writing);
            object.Save(f);
        }
        return ReadAll(Path(name));
    }
    // Loads the bytes into the object; answers whether the file stayed sound.
    template <class T>
    bool LoadBytes(T& object, const std::vector<unsigned char>& bytes, const std::string& name = "load.bin") {
        WriteAll(Path(name), bytes);
        File f(Path(name).c_str(), File::Reading);
        object.Load(f);
        return !f.HasError();
    }

    static std::vector<unsigned char> ReadAll(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void WriteAll(const std::string& file, const std::vector<unsigned char>& bytes) {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static void PutI32(std::vector<unsigned char>& b, std::size_t at, std::int32_t v) {
        ASSERT_LE(at + 4, b.size());
        for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = (unsigned char)(std::uint32_t(v) >> (8 * i));
    }

    std::uint32_t Pixel(int x, int y) const { return back->GetRawPixel(x, y); }

    std::filesystem::path dir;
    std::unique_ptr<qel::Surface> back;
    std::unique_ptr<Screen> screen;
    HWND window = nullptr;
    std::unique_ptr<qel::Display> display;
    std::int32_t saved[3] = {};
};

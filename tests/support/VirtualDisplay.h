// An X server of the test's own (Xvfb, without a window manager) on a display
// number it picks itself, and what a person does there: look for a window by
// its name, look at its pixels, press keys. The keys go through XTest, so they
// reach whichever window has the keyboard, as a person's would.
#pragma once
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

// In a test: skips it where Xvfb is not installed, fails it where it did not start.
#define REQUIRE_VIRTUAL_DISPLAY(x)                                                  \
    if (VirtualDisplay::ServerProgram().empty()) GTEST_SKIP() << "Xvfb is missing"; \
    ASSERT_TRUE((x).Available()) << "Xvfb did not start"

class VirtualDisplay {
public:
    struct Picture {
        int width = 0, height = 0;
        std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row by row
        // 0 outside the picture (a window that went has an empty one).
        std::uint32_t At(int x, int y) const {
            return x >= 0 && y >= 0 && x < width && y < height ? pixels[std::size_t(y) * width + x] : 0;
        }
    };

    static std::string ServerProgram() {
        const char* path = std::getenv("PATH");
        std::string folders = path ? path : "/usr/bin:/bin";
        for (std::size_t start = 0; start <= folders.size();) {
            std::size_t end = folders.find(':', start);
            if (end == std::string::npos) end = folders.size();
            const std::string candidate = folders.substr(start, end - start) + "/Xvfb";
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
            start = end + 1;
        }
        return std::string();
    }

    VirtualDisplay() {
        const std::string program = ServerProgram();
        int numberPipe[2];
        if (program.empty() || ::pipe(numberPipe) != 0) return;
        // The server writes the display number it chose to this descriptor.
        server_ = std::make_unique<ChildProcess>(ChildProcess::Options{
            {program, "-displayfd", std::to_string(numberPipe[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            {},
            "",
            "/dev/null",
            false,
            numberPipe[1]});
        ::close(numberPipe[1]);
        name_ = ReadDisplayName(numberPipe[0]);
        ::close(numberPipe[0]);
        // A window may go between finding it and asking about it: Xlib's own
        // handler would end the test program.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        if (!name_.empty()) connection_ = XOpenDisplay(name_.c_str());
    }
    ~VirtualDisplay() {
        if (connection_ != nullptr) XCloseDisplay(connection_);
        if (server_) server_->Signal(SIGTERM);
        if (server_) server_->WaitFor(std::chrono::seconds(5));
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool Available() const { return connection_ != nullptr; }
    const std::string& Name() const { return name_; }

    // A top-level window with that name, or 0.
    Window FindWindow(const std::string& name) {
        Window root = DefaultRootWindow(connection_), parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(connection_, root, &root, &parent, &children, &count) == 0) return 0;
        for (unsigned int i = 0; i < count && found == 0; ++i)
            if (NameOf(children[i]) == name) found = children[i];
        if (children != nullptr) XFree(children);
        return found;
    }

    // Waits up to `timeout` for `done`, asking every 20 ms.
    static bool WaitUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    Window WaitForWindow(const std::string& name, std::chrono::milliseconds timeout) {
        Window found = 0;
        WaitUntil(timeout, [&] { return (found = FindWindow(name)) != 0; });
        return found;
    }

    // The window's rectangle on the screen.
    bool Placement(Window window, int& x, int& y, int& width, int& height) {
        XWindowAttributes attributes{};
        Window child = 0;
        if (XGetWindowAttributes(connection_, window, &attributes) == 0) return false;
        XTranslateCoordinates(connection_, window, DefaultRootWindow(connection_), 0, 0, &x, &y, &child);
        width = attributes.width;
        height = attributes.height;
        return true;
    }

    Picture Grab(Window window) {
        Picture picture;
        int x = 0, y = 0;
        if (!Placement(window, x, y, picture.width, picture.height)) return Picture{};
        XImage* image =
            XGetImage(connection_, window, 0, 0, unsigned(picture.width), unsigned(picture.height), AllPlanes, ZPixmap);
        if (image == nullptr) return Picture{};
        picture.pixels.resize(std::size_t(picture.width) * picture.height);
        for (int row = 0; row < picture.height; ++row)
            for (int column = 0; column < picture.width; ++column)
                picture.pixels[std::size_t(row) * picture.width + column] =
                    std::uint32_t(XGetPixel(image, column, row)) & 0xFFFFFFu;
        XDestroyImage(image);
        return picture;
    }

    // Pressed and released where the keyboard is.
    void PressKey(KeySym key) {
        const KeyCode code = XKeysymToKeycode(connection_, key);
        XTestFakeKeyEvent(connection_, code, True, CurrentTime);
        XFlush(connection_);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        XTestFakeKeyEvent(connection_, code, False, CurrentTime);
        XFlush(connection_);
    }

private:
    // The UTF-8 name modern programs give, else the classic one.
    std::string NameOf(Window window) {
        std::string name;
        Atom type = 0;
        int format = 0;
        unsigned long length = 0, after = 0;
        unsigned char* value = nullptr;
        const Atom netName = XInternAtom(connection_, "_NET_WM_NAME", False);
        if (XGetWindowProperty(connection_, window, netName, 0, 1024, False, AnyPropertyType, &type, &format, &length,
                               &after, &value) == Success &&
            value != nullptr) {
            name.assign(reinterpret_cast<const char*>(value), length);
            XFree(value);
            if (!name.empty()) return name;
        }
        char* title = nullptr;
        if (XFetchName(connection_, window, &title) != 0 && title != nullptr) {
            name = title;
            XFree(title);
        }
        return name;
    }

    static std::string ReadDisplayName(int from) {
        std::string number;
        pollfd wait{from, POLLIN, 0};
        char c = 0;
        while (::poll(&wait, 1, 10000) == 1 && ::read(from, &c, 1) == 1 && c != '\n') number += c;
        return number.empty() || c != '\n' ? std::string() : ":" + number;
    }

    std::unique_ptr<ChildProcess> server_;
    std::string name_;
    Display* connection_ = nullptr;
};

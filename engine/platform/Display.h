// The display: a back buffer in the display's format shown in the game window
// through the system's renderer, converting from the back buffer's format (the
// shared palette at 8 bits) and applying the gamma ramp while full screen.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>
#include "QelExport.h"
#include "platform/Handles.h"
#include "platform/Surface.h"

namespace qel {

struct GammaRamp {
    std::array<std::uint16_t, 256> red{};
    std::array<std::uint16_t, 256> green{};
    std::array<std::uint16_t, 256> blue{};
    // Entry i = i * 255 in each channel: the engine's normal ramp, which
    // presents every value unchanged.
    QEL_API static GammaRamp Identity();
};

class QEL_API Display {
public:
    enum class Status { Ok, UnsupportedMode, NoWindow, NoRenderer };

    // A display of width x height at 8, 16, 24 or 32 bits in the window (one
    // display per window at a time: release the old one first).
    // Null with the reason in *status when it cannot be made.
    static std::unique_ptr<Display> Create(HWND window, std::int32_t width, std::int32_t height,
                                           std::int32_t bitsPerPixel, Status* status = nullptr);
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    std::int32_t Width() const;
    std::int32_t Height() const;
    std::int32_t BitsPerPixel() const;
    HWND Window() const;

    // The back buffer: display size and format, clip rectangle (0, 0, w, h).
    // Its content stays as it is after presenting.
    Surface& BackBuffer();
    // An off-screen surface in the display's format, zero-filled.
    std::unique_ptr<Surface> CreateSurface(std::int32_t width, std::int32_t height) const;

    // Shows the back buffer in the window (scaled only when the window's
    // client area differs from the display size; letterboxed full screen).
    // Ok also when the window is gone (nothing shown). Lost only by test hook.
    BlitResult Present();
    // Shows the last presented frame again (the window was exposed).
    void Repaint();
    // Lets a modal window (message box, dialog) appear over the last frame.
    void FlipToGdiSurface();

    // The gamma control exists only while the window is full screen.
    bool HasGammaControl() const;
    // The ramp used at presentation while full screen: a channel value v is
    // shown as ramp[v] >> 8 (not applied while the ramp is the identity).
    // A new display starts at identity. False without a gamma control.
    bool SetGammaRamp(const GammaRamp& ramp);
    const GammaRamp& CurrentGammaRamp() const;

    // Test hooks.
    std::uint32_t PresentCount() const;
    // Keep a copy of every presented frame (off by default; it costs a copy).
    void SetFrameCapture(bool on);
    // The last presented frame as 0x00RRGGBB, row after row, after palette and
    // gamma; empty unless frame capture was on.
    const std::vector<std::uint32_t>& LastFrame() const;

    struct Impl;

private:
    explicit Display(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace qel

#include "platform/Display.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/DisplayInternal.h"
#include "platform/Palette.h"
#include "platform/Window.h"
#include "platform/WindowInternal.h"

namespace qel {

GammaRamp GammaRamp::Identity() {
    GammaRamp ramp;
    for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = std::uint16_t(i * 255);
    return ramp;
}

struct Display::Impl {
    HWND window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::unique_ptr<Surface> backBuffer;
    GammaRamp ramp = GammaRamp::Identity();
    bool gammaIsIdentity = true;
    std::uint8_t lut[3][256] = {};
    std::vector<std::uint32_t> staging;  // the converted frame when it cannot go straight up
    std::uint32_t presents = 0;
    bool capture = false;
    std::vector<std::uint32_t> lastFrame;

    ~Impl() {
        std::erase(liveDisplays, this);
        RemoveDestroyListener(window, this);
        DropRenderer();
    }

    void DropRenderer() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        texture = nullptr;
        renderer = nullptr;
    }

    bool GammaApplies() const { return !gammaIsIdentity && IsWindow(window) && window->IsFullScreen(); }

    // The back buffer as 0x00RRGGBB in `staging`, through palette and gamma.
    void Convert(bool gamma);
    void Draw();
    void Show();

    // Every display that exists, for the dialogs drawn over a window's frame.
    static inline std::vector<Impl*> liveDisplays;
};

void Display::Impl::Convert(bool gamma) {
    const Surface& bb = *backBuffer;
    const std::int32_t w = bb.Width(), h = bb.Height();
    staging.resize(std::size_t(w) * std::size_t(h));
    std::uint32_t palette[256];
    if (bb.BitsPerPixel() == 8) {
        const PaletteEntries& entries = DisplayPalette();
        for (int i = 0; i < 256; ++i)
            palette[i] = std::uint32_t(entries[i].red) << 16 | std::uint32_t(entries[i].green) << 8 | entries[i].blue;
    }
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* row = bb.Row(y);
        std::uint32_t* out = staging.data() + std::size_t(y) * std::size_t(w);
        switch (bb.BitsPerPixel()) {
            case 8:
                for (std::int32_t x = 0; x < w; ++x) out[x] = palette[row[x]];
                break;
            case 16:
                for (std::int32_t x = 0; x < w; ++x) {
                    std::uint32_t p = std::uint32_t(row[2 * x]) | std::uint32_t(row[2 * x + 1]) << 8;
                    std::uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
                    out[x] = (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
                }
                break;
            case 24:
                for (std::int32_t x = 0; x < w; ++x)
                    out[x] = std::uint32_t(row[3 * x]) | std::uint32_t(row[3 * x + 1]) << 8 |
                             std::uint32_t(row[3 * x + 2]) << 16;
                break;
            default:
                std::memcpy(out, row, std::size_t(w) * 4);
                for (std::int32_t x = 0; x < w; ++x) out[x] &= 0xFFFFFF;
                break;
        }
        if (gamma) {
            for (std::int32_t x = 0; x < w; ++x) {
                std::uint32_t p = out[x];
                out[x] = std::uint32_t(lut[0][(p >> 16) & 0xFF]) << 16 | std::uint32_t(lut[1][(p >> 8) & 0xFF]) << 8 |
                         lut[2][p & 0xFF];
            }
        }
    }
}

void Display::Impl::Show() {
    if (!renderer || !texture) return;
    Draw();
    SDL_RenderPresent(renderer);
}

void Display::Impl::Draw() {
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer, &outW, &outH);
    const int w = backBuffer->Width(), h = backBuffer->Height();
    SDL_Rect target{0, 0, outW, outH};
    if (IsWindow(window) && window->IsFullScreen()) {
        const FrameRect fit = LetterboxRect(outW, outH, w, h);
        target = {fit.x, fit.y, fit.width, fit.height};
    }
    // The opaque frame replaces every pixel it covers: only the bars around a
    // letterboxed frame need clearing (a clear of the whole output cost a
    // fill as large as the frame on every present).
    if (target.x != 0 || target.y != 0 || target.w != outW || target.h != outH) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
    SDL_RenderCopy(renderer, texture, nullptr, &target);
}

FrameRect LetterboxRect(std::int32_t outputWidth, std::int32_t outputHeight, std::int32_t frameWidth,
                        std::int32_t frameHeight) {
    if (outputWidth <= 0 || outputHeight <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return {0, 0, std::max(0, outputWidth), std::max(0, outputHeight)};
    FrameRect fit{0, 0, outputWidth, outputHeight};
    // The side that limits the scale is filled; the other keeps the aspect.
    if (std::int64_t(outputWidth) * frameHeight <= std::int64_t(outputHeight) * frameWidth)
        fit.height = std::int32_t(std::int64_t(outputWidth) * frameHeight / frameWidth);
    else
        fit.width = std::int32_t(std::int64_t(outputHeight) * frameWidth / frameHeight);
    fit.x = (outputWidth - fit.width) / 2;
    fit.y = (outputHeight - fit.height) / 2;
    return fit;
}

bool DrawDisplayFrame(HWND window) {
    for (Display::Impl* d : Display::Impl::liveDisplays) {
        if (d->window != window || !d->renderer || !d->texture) continue;
        d->Draw();
        return true;
    }
    return false;
}

Display::Display(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Display::~Display() = default;

std::unique_ptr<Display> Display::Create(HWND window, std::int32_t width, std::int32_t height,
                                         std::int32_t bitsPerPixel, Status* status) {
    auto fail = [status](Status why) {
        if (status) *status = why;
        return std::unique_ptr<Display>();
    };
    SDL_Window* system = SystemWindow(window);
    if (!system) return fail(Status::NoWindow);
    auto impl = std::make_unique<Impl>();
    impl->window = window;
    impl->backBuffer = Surface::Create(width, height, bitsPerPixel);
    if (!impl->backBuffer) return fail(Status::UnsupportedMode);
    impl->backBuffer->SetClipRect({0, 0, width, height});

    impl->renderer = SDL_CreateRenderer(system, -1, 0);
    if (!impl->renderer) impl->renderer = SDL_CreateRenderer(system, -1, SDL_RENDERER_SOFTWARE);
    if (!impl->renderer) return fail(Status::NoRenderer);
    impl->texture =
        SDL_CreateTexture(impl->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!impl->texture) return fail(Status::NoRenderer);
    // Copied as it is, never blended with what the output held before.
    SDL_SetTextureBlendMode(impl->texture, SDL_BLENDMODE_NONE);

    Impl* raw = impl.get();
    Impl::liveDisplays.push_back(raw);
    AddDestroyListener(window, raw, [raw] { raw->DropRenderer(); });
    if (status) *status = Status::Ok;
    return std::unique_ptr<Display>(new Display(std::move(impl)));
}

std::int32_t Display::Width() const { return impl_->backBuffer->Width(); }
std::int32_t Display::Height() const { return impl_->backBuffer->Height(); }
std::int32_t Display::BitsPerPixel() const { return impl_->backBuffer->BitsPerPixel(); }
HWND Display::Window() const { return impl_->window; }

Surface& Display::BackBuffer() { return *impl_->backBuffer; }

std::unique_ptr<Surface> Display::CreateSurface(std::int32_t width, std::int32_t height) const {
    return Surface::Create(width, height, BitsPerPixel());
}

BlitResult Display::Present() {
    if (Surface::TakeForcedLost()) return BlitResult::Lost;
    Impl& d = *impl_;
    const Surface& bb = *d.backBuffer;
    const bool gamma = d.GammaApplies();
    const bool direct = bb.BitsPerPixel() == 32 && !gamma;
    if (!direct || d.capture) d.Convert(gamma);
    if (d.texture) {
        if (direct)
            SDL_UpdateTexture(d.texture, nullptr, bb.Pixels(), bb.Pitch());
        else
            SDL_UpdateTexture(d.texture, nullptr, d.staging.data(), bb.Width() * 4);
        d.Show();
    }
    if (d.capture) d.lastFrame = d.staging;
    ++d.presents;
    return BlitResult::Ok;
}

void Display::Repaint() { impl_->Show(); }

void Display::FlipToGdiSurface() { impl_->Show(); }

bool Display::HasGammaControl() const { return IsWindow(impl_->window) && impl_->window->IsFullScreen(); }

bool Display::SetGammaRamp(const GammaRamp& ramp) {
    if (!HasGammaControl()) return false;
    Impl& d = *impl_;
    d.ramp = ramp;
    bool identity = true;
    const std::array<std::uint16_t, 256>* channels[3] = {&ramp.red, &ramp.green, &ramp.blue};
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 256; ++i) {
            d.lut[c][i] = std::uint8_t((*channels[c])[i] >> 8);
            if (d.lut[c][i] != i) identity = false;
        }
    }
    const GammaRamp normal = GammaRamp::Identity();
    d.gammaIsIdentity = identity || (ramp.red == normal.red && ramp.green == normal.green && ramp.blue == normal.blue);
    return true;
}

const GammaRamp& Display::CurrentGammaRamp() const { return impl_->ramp; }

std::uint32_t Display::PresentCount() const { return impl_->presents; }

void Display::SetFrameCapture(bool on) {
    impl_->capture = on;
    if (!on) impl_->lastFrame.clear();
}

const std::vector<std::uint32_t>& Display::LastFrame() const { return impl_->lastFrame; }

}  // namespace qel

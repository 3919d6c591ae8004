#include "display/DisplayInternal.h"

#include <cstdio>
#include <memory>

#include "display/LoadingInternal.h"
#include "display/Screen.h"
#include "display/SurfaceLoadingInternal.h"
#include "foundation/FatalExit.h"
#include "foundation/MessageTable.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "platform/Display.h"
#include "platform/DrawContext.h"
#include "platform/Paths.h"
#include "platform/Surface.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sound/SoundCard.h"
#include "world/Map.h"

std::int32_t displayWidth = 640;
std::int32_t displayHeight = 480;
std::int32_t displayDepth = 16;
qel::Display* pDirectDraw = nullptr;
qel::Display* pPrimary = nullptr;
qel::Surface* pBackBuffer = nullptr;
qel::Display* pGammaControl = nullptr;
Screen* pScreen = nullptr;
bool _IsLoading = false;

namespace {

constexpr int MsgDepth8 = 106;
constexpr int MsgDepth16 = 107;
constexpr int MsgDepth24 = 108;
constexpr int MsgDepth32 = 109;
constexpr int MsgModeNotSupported = 110;
constexpr int MsgGraphicsFailed = 115;

// The display device with its back buffer; the globals above point into it.
std::unique_ptr<qel::Display> device;
// Set when the last CreateSurfaces() could not make the display.
bool surfacesFailed = false;
bool restoring = false;

[[noreturn]] void ModeNotSupported() {
    FatalExit(MessageTable[MsgModeNotSupported], displayWidth, displayHeight, displayDepth);
}

void CheckDesktopDepth() {
    if (qel::DesktopDepth() == displayDepth) return;
    switch (displayDepth) {
        case 8: FatalExit("%s", MessageTable[MsgDepth8]);
        case 16: FatalExit("%s", MessageTable[MsgDepth16]);
        case 24: FatalExit("%s", MessageTable[MsgDepth24]);
        case 32: FatalExit("%s", MessageTable[MsgDepth32]);
        default: break;  // any other depth passes without a message
    }
}

bool WindowAlive() { return _Ghwnd != nullptr && qel::IsWindow(_Ghwnd); }

// Rebuilding after set-up: a display that cannot be made ends the game, since
// everything drawn next would need it.
void RequireSurfaces() {
    if (surfacesFailed) FatalExit("%s", MessageTable[MsgGraphicsFailed]);
}

void DropDevice() {
    delete pScreen;
    pScreen = nullptr;
    pGammaControl = nullptr;
    pBackBuffer = nullptr;
    pPrimary = nullptr;
    pDirectDraw = nullptr;
    device.reset();
}

void ForEachMap(void (Map::*operation)()) {
    if (gNode == nullptr) return;
    for (node* n = gNode->Maps().Head(); !n->EOList(); n = n->Next()) (static_cast<Map*>(n)->*operation)();
}

void ReloadLevelSurfaces() {
    LoadActorSurfaces();
    ForEachMap(&Map::LoadMap);
}

void ReleaseLevelSurfaces() {
    ReleaseActorSurfaces();
    ForEachMap(&Map::FreeMap);
}

}  // namespace

void SetMode(int width, int height, int bitsPerPixel) {
    displayWidth = width;
    displayHeight = height;
    displayDepth = bitsPerPixel;
}

bool DisplayInit() {
    if (!WindowAlive()) return false;
    InitDisplayMode();
    CreateSurfaces();
    if (surfacesFailed) return false;
    CreateClippers();
    SetDisplayPalette();
    pScreen = new Screen();
    ClearBackBuffer();
    return true;
}

void DisplayRelease() { DropDevice(); }

void InitDisplayMode() {
    if (!WindowAlive()) return;
    if (_IsWindowed) {
        _Ghwnd->SetFullScreen(false);
        CheckDesktopDepth();
        return;
    }
    qel::PixelFormat format;
    if (!qel::FormatForDepth(displayDepth, format) || displayWidth <= 0 || displayHeight <= 0) ModeNotSupported();
    _Ghwnd->SetFullScreen(true);
}

void CreateSurfaces() {
    surfacesFailed = false;
    DropDevice();
    qel::Display::Status status = qel::Display::Status::Ok;
    // A window's back buffer takes the desktop's format when the wanted depth
    // is none the display knows (the depth check let it pass).
    std::int32_t depth = displayDepth;
    qel::PixelFormat format;
    if (_IsWindowed && !qel::FormatForDepth(depth, format)) depth = qel::DesktopDepth();
    for (int attempt = 0; attempt < DisplayModeAttempts && !device; ++attempt) {
        device = qel::Display::Create(_Ghwnd, displayWidth, displayHeight, depth, &status);
        if (!device && status == qel::Display::Status::UnsupportedMode) {
            if (!_IsWindowed) ModeNotSupported();
            break;
        }
    }
    if (!device) {
        surfacesFailed = true;
        return;
    }
    pDirectDraw = device.get();
    pPrimary = device.get();
    pBackBuffer = &device->BackBuffer();
    pGammaControl = !_IsWindowed && device->HasGammaControl() ? device.get() : nullptr;
}

void CreateClippers() {
    if (pBackBuffer != nullptr) pBackBuffer->SetClipRect(QelRect{0, 0, displayWidth, displayHeight});
}

bool LoadBmpFile(const char* name, qel::PaletteEntries& palette) {
    currentAssetFolder = mapsFolder;
    if (name == nullptr || name[0] == '\0') return false;
    std::FILE* file = std::fopen(qel::NativePath(mapsFolder + String(name)).c_str(), "rb");
    if (file == nullptr) return false;
    constexpr std::size_t FileHeaderSize = 14;
    constexpr std::size_t InfoHeaderSize = 40;
    constexpr std::size_t TableSize = 1024;
    unsigned char data[FileHeaderSize + InfoHeaderSize + TableSize] = {};
    const std::size_t got = std::fread(data, 1, sizeof data, file);
    std::fclose(file);
    if (got < FileHeaderSize + InfoHeaderSize) return false;

    auto u32 = [&](std::size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16 |
               std::uint32_t(data[at + 3]) << 24;
    };
    const unsigned char* info = data + FileHeaderSize;
    const std::uint32_t headerSize = u32(FileHeaderSize);
    const std::uint32_t bitCount = std::uint32_t(info[14]) | std::uint32_t(info[15]) << 8;
    const std::uint32_t colorsUsed = u32(FileHeaderSize + 32);
    std::uint32_t count = 0;
    if (headerSize == InfoHeaderSize && bitCount <= 8) count = colorsUsed != 0 ? colorsUsed : 1u << bitCount;
    if (count > 256) count = 256;
    // A colour table cut short gives no palette rather than invented colours.
    if (got < FileHeaderSize + InfoHeaderSize + 4 * count) return false;

    const unsigned char* table = info + InfoHeaderSize;
    for (int i = 0; i < 256; ++i) palette[i] = qel::PaletteEntry{};
    for (std::uint32_t i = 0; i < count && i < 236; ++i) {
        const unsigned char* bgr = table + 4 * i;
        palette[10 + i] = qel::PaletteEntry{bgr[2], bgr[1], bgr[0], qel::PaletteNoCollapse};
    }
    for (int i = 0; i < 10; ++i) {
        for (int index : {i, 246 + i}) {
            qel::PaletteEntry entry = qel::SystemPaletteEntry(index);
            entry.flags = qel::PaletteNoCollapse;
            palette[index] = entry;
        }
    }
    return true;
}

void SetDisplayPalette() {
    if (pDirectDraw == nullptr || pPrimary == nullptr || pDirectDraw->BitsPerPixel() != 8) return;
    qel::PaletteEntries palette;
    if (LoadBmpFile(paletteBitmapName, palette)) qel::SetDisplayPalette(palette);
}

void ClearBackBuffer() {
    if (pBackBuffer != nullptr) pBackBuffer->Fill(nullptr, 0);
}

void DrawLoadingText() {
    if (pBackBuffer == nullptr) return;
    static const char text[] = "Loading ...";
    qel::DrawContext context(*pBackBuffer);
    context.FillBlack(QelRect{0, 0, displayWidth, displayHeight});
    context.SelectFont(nullptr);
    context.SetTextColor(0x0000FF);
    context.TextOut(0, 0, text, sizeof text - 1);
}

void RestoreSurfaces() {
    // Presenting under the loading screen may report a loss again; one
    // rebuild at a time.
    if (restoring) return;
    restoring = true;
    ReleaseLevelSurfaces();
    DropDevice();
    InitDisplayMode();
    CreateSurfaces();
    RequireSurfaces();
    CreateClippers();
    SetDisplayPalette();
    pScreen = new Screen();
    {
        Loading loading;
        ReloadLevelSurfaces();
    }
    restoring = false;
}

void ToggleFullScreen() {
    if (!WindowAlive()) return;
    SoundCard::ManageBuffers(false);
    _Ghwnd->Hide();
    _IsWindowed = !_IsWindowed;
    qel::ShowCursor(_IsWindowed);
    ReleaseLevelSurfaces();
    DisplayRelease();
    if (_IsWindowed) {
        _Ghwnd->SetFullScreen(false);
        _Ghwnd->SetClientSize(displayWidth, displayHeight);
        if (screenWidth < windowWidth || screenHeight < windowHeight)
            _Ghwnd->SetPosition(0, 0);
        else
            _Ghwnd->SetPosition((screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2);
    } else {
        _Ghwnd->SetFullScreen(true);
        _Ghwnd->SetClientSize(displayWidth, displayHeight);
        _Ghwnd->SetPosition(0, 0);
    }
    if (!DisplayInit()) FatalExit("%s", MessageTable[MsgGraphicsFailed]);
    _Ghwnd->Show();
    Loading loading;
    ReloadLevelSurfaces();
    if (pKeyboard != nullptr) pKeyboard->Reset();
    if (pMouse != nullptr) pMouse->ResetKeys();
    // Also restores the sound buffers lost while the display was rebuilt.
    SoundCard::ManageBuffers(true);
}

void PresentBackBuffer() {
    if (pDirectDraw == nullptr) return;
    if (!_IsWindowed && _IsLoading) DrawLoadingText();
    if (pDirectDraw->Present() != qel::BlitResult::Lost) return;
    RestoreSurfaces();
    if (pDirectDraw == nullptr) return;
    if (!_IsWindowed && _IsLoading) DrawLoadingText();
    pDirectDraw->Present();
}

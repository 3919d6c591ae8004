#include "world/ViewPort.h"

#include "display/DisplayInternal.h"
#include "foundation/File.h"
#include "platform/DrawContext.h"
#include "platform/Surface.h"
#include "world/GeometryInternal.h"

CREATE ViewPort::cr("ViewPort", ViewPort::CreateObject);

namespace {

ViewPort::MoveMainCharacterFn mainCharacterMover = nullptr;

FRECT MakeFRect(float top, float left, float bottom, float right) {
    FRECT r;
    r.top = top;
    r.left = left;
    r.bottom = bottom;
    r.right = right;
    return r;
}

// Moves one side of the box so that its inflation becomes d more, kept within
// [-max, max]; answers the change of the inflation.
float Inflate(float& inflation, float max, float d, float& side, float outward) {
    const float old = inflation;
    float moved = d;
    if (inflation + d > max) {
        moved = max - inflation;
        inflation = max;
    } else if (inflation + d < -max) {
        moved = -max - inflation;
        inflation = -max;
    } else {
        inflation = inflation + d;
    }
    side += outward * moved;
    return inflation - old;
}

}  // namespace

ViewPort::ViewPort(float worldWidth, float worldHeight, float worldX, float worldY, float width, float height)
    : worldWidth(worldWidth),
      worldHeight(worldHeight),
      maxWorldX(worldWidth - width),
      maxWorldY(worldHeight - height),
      rect(MakeFRect(0, 0, height, width)),
      worldRect(MakeFRect(worldY, worldX, worldY + height, worldX + width)),
      nextWorldRect(worldRect),
      box(MakeFRect(0, 0, height, width)),
      initialBox(box) {}

ViewPort::~ViewPort() = default;

node* ViewPort::CreateObject() { return new ViewPort(640, 480, 0, 0, 640, 480); }

QelRect ViewPort::IntWorldRect() const {
    QelRect r;
    r.left = TruncToInt32(worldRect.left);
    r.top = TruncToInt32(worldRect.top);
    r.right = TruncToInt32(double(r.left) + double(Width()));
    r.bottom = TruncToInt32(double(r.top) + double(Height()));
    return r;
}

void ViewPort::WorldWidth(float w) {
    worldWidth = w;
    maxWorldX = w - Width();
}

void ViewPort::WorldHeight(float h) {
    worldHeight = h;
    maxWorldY = h - Height();
}

void ViewPort::ViewPortWidth(float w) {
    maxWorldX = worldWidth - w;
    worldRect.right = worldRect.left + w;
    nextWorldRect.right = nextWorldRect.left + w;
    rect.right = w;
}

void ViewPort::ViewPortHeight(float h) {
    maxWorldY = worldHeight - h;
    worldRect.bottom = worldRect.top + h;
    nextWorldRect.bottom = nextWorldRect.top + h;
    rect.bottom = h;
}

void ViewPort::WorldXPos(float x) {
    const float width = worldRect.right - worldRect.left;
    worldRect.left = x;
    worldRect.right = x + width;
    nextWorldRect.left = worldRect.left;
    nextWorldRect.right = worldRect.right;
}

void ViewPort::WorldYPos(float y) {
    const float height = worldRect.bottom - worldRect.top;
    worldRect.top = y;
    worldRect.bottom = y + height;
    nextWorldRect.top = worldRect.top;
    nextWorldRect.bottom = worldRect.bottom;
}

ScrollDelta ViewPort::Scroll(float dx, float dy) {
    const float x = worldRect.left, y = worldRect.top;
    if (x + dx < 0)
        dx = -x;
    else if (x + dx >= maxWorldX)
        dx = maxWorldX - x;
    if (y + dy < 0)
        dy = -y;
    else if (y + dy >= maxWorldY)
        dy = maxWorldY - y;
    nextWorldRect = MakeFRect(worldRect.top + dy, worldRect.left + dx, worldRect.bottom + dy, worldRect.right + dx);
    currentDeltaX = nextDeltaX;
    currentDeltaY = nextDeltaY;
    nextDeltaX = dx;
    nextDeltaY = dy;
    return {dx, dy};
}

ScrollDelta ViewPort::Offset(float dx, float dy, bool moveMainCharacter) {
    if (worldRect.left + dx > maxWorldX) dx = maxWorldX - worldRect.left;
    if (worldRect.top + dy > maxWorldY) dy = maxWorldY - worldRect.top;
    worldRect = MakeFRect(worldRect.top + dy, worldRect.left + dx, worldRect.bottom + dy, worldRect.right + dx);
    nextWorldRect = worldRect;
    if (moveMainCharacter && mainCharacterMover) mainCharacterMover(dx, dy);
    return {dx, dy};
}

void ViewPort::Commit() {
    worldRect = nextWorldRect;
    currentDeltaX = nextDeltaX;
    currentDeltaY = nextDeltaY;
}

void ViewPort::SetMainCharacterMover(MoveMainCharacterFn fn) { mainCharacterMover = fn; }

void ViewPort::ViewPortScrollingBB(float x, float y, float width, float height) {
    box = MakeFRect(y, x, y + height, x + width);
    initialBox = box;
    inflateRight = inflateLeft = inflateTop = inflateBottom = 0;
}

FRECT ViewPort::BBWorldRect() const {
    return MakeFRect(box.top + worldRect.top, box.left + worldRect.left, box.bottom + worldRect.top,
                     box.right + worldRect.left);
}

void ViewPort::OffsetVPSBB(float dx, float dy) {
    box = MakeFRect(box.top + dy, box.left + dx, box.bottom + dy, box.right + dx);
    initialBox = MakeFRect(initialBox.top + dy, initialBox.left + dx, initialBox.bottom + dy, initialBox.right + dx);
}

float ViewPort::InflateBBRight(float d) { return Inflate(inflateRight, maxInflateRight, d, box.right, 1.0f); }
float ViewPort::InflateBBLeft(float d) { return Inflate(inflateLeft, maxInflateLeft, d, box.left, -1.0f); }
float ViewPort::InflateBBTop(float d) { return Inflate(inflateTop, maxInflateTop, d, box.top, -1.0f); }
float ViewPort::InflateBBBottom(float d) { return Inflate(inflateBottom, maxInflateBottom, d, box.bottom, 1.0f); }

void ViewPort::DisplayBB() {
    if (!pBackBuffer) return;
    qel::DrawContext dc(*pBackBuffer);  // default pen: black, one pixel
    const std::int32_t left = TruncToInt32(box.left), top = TruncToInt32(box.top);
    const std::int32_t right = TruncToInt32(box.right), bottom = TruncToInt32(box.bottom);
    dc.MoveTo(left, top);
    dc.LineTo(right, top);
    dc.LineTo(right, bottom);
    dc.LineTo(left, bottom);
    dc.LineTo(left, top);
}

void ViewPort::Save(File& file) {
    file.Write(worldWidth);
    file.Write(worldHeight);
    file.Write(maxWorldX);
    file.Write(maxWorldY);
    file.Write(worldRect);
    file.Write(nextWorldRect);
    file.Write(box);
    file.Write(rect);
    file.Write(currentDeltaX);
    file.Write(currentDeltaY);
    file.Write(nextDeltaX);
    file.Write(nextDeltaY);
    file.Write(initialBox);
    file.Write(maxInflateRight);
    file.Write(maxInflateLeft);
    file.Write(maxInflateTop);
    file.Write(maxInflateBottom);
    file.Write(inflateRight);
    file.Write(inflateLeft);
    file.Write(inflateTop);
    file.Write(inflateBottom);
}

void ViewPort::Load(File& file) {
    file.Read(worldWidth);
    file.Read(worldHeight);
    file.Read(maxWorldX);
    file.Read(maxWorldY);
    file.Read(worldRect);
    file.Read(nextWorldRect);
    file.Read(box);
    file.Read(rect);
    file.Read(currentDeltaX);
    file.Read(currentDeltaY);
    file.Read(nextDeltaX);
    file.Read(nextDeltaY);
    file.Read(initialBox);
    file.Read(maxInflateRight);
    file.Read(maxInflateLeft);
    file.Read(maxInflateTop);
    file.Read(maxInflateBottom);
    file.Read(inflateRight);
    file.Read(inflateLeft);
    file.Read(inflateTop);
    file.Read(inflateBottom);
}

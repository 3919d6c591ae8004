// The debug lines and circles of the sprites, in world coordinates.
#pragma once

namespace sprites {

void DrawLine(float x1, float y1, float x2, float y2, unsigned long colour);
void DrawCircle(float x, float y, float radius, unsigned long colour);

}  // namespace sprites

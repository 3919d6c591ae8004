// The viewport of the current level, which every world-to-screen conversion
// reads; a default 640 x 480 view at (0, 0) while no level is current.
#pragma once

class ViewPort;

ViewPort& LevelViewPort();

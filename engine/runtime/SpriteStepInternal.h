// The sprites' part of a frame on one master or standard map: every sprite of
// the level's display lists 0 to 15, from each head, is removed when flagged,
// runs its behaviours, animation, motion, collisions and position update, and
// is drawn.
#pragma once

class List;
class node;
class Map;
class Sprite;

// cursorSeen is false at the start of the frame's map loop; the cursor sprite
// moves and animates only on the first map it is met on.
void RunSpriteStep(Map* map, bool& cursorSeen);

// Destroys a sprite of the level flagged for deletion, leaving nothing that
// points at it; answers the node that followed it.
node* RemoveSprite(Sprite* sprite, List& displayList);

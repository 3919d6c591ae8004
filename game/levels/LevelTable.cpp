// The records of the game's 39 levels, in level-list order.
#include <algorithm>
#include <array>
#include <cmath>
#include "levels/LevelData.h"
#include "levels/CrossingLayout.h"
#include "levels/LevelLayout.h"
#include "levels/StandardSprites.h"
#include "levels/TowerLayout.h"
#include "logic/GameDeclarations.h"

namespace nolt {
namespace {

BehaviorRef F(std::uint32_t i) { return {BehaviorRef::Function, i}; }
BehaviorRef T(std::uint32_t i) { return {BehaviorRef::Timer, i}; }
BehaviorRef SM(std::uint32_t i) { return {BehaviorRef::StateMachine, i}; }

constexpr std::uint32_t White = 0xFFFFFF;
// The goal bitmap stands 72 pixels above the floor under it; the player 34.
constexpr float GoalFloor = 72;
constexpr float PlayerFloor = 34;
const char* const FolieImposee =
    "Folie impos\xE9"
    "e.wav";

SoundEntry Music(const char* name, const char* file) { return {SoundEntry::Music, name, file}; }
std::vector<SoundEntry> Effects() {
    return {{SoundEntry::Effect, "name", "Jump.wav"}, {SoundEntry::Effect, "shoot", "Shoot.wav"}};
}
std::vector<SoundEntry> MusicThenEffects(const char* file) {
    std::vector<SoundEntry> sounds{Music("mus", file)};
    for (SoundEntry& e : Effects()) sounds.push_back(e);
    return sounds;
}

struct Box {
    float x, y, width, height;
};
constexpr Box WholeView{0, 0, 640, 480};
constexpr Box Standard{5, 194, 95, 167};

LevelRecord Base(const char* name, std::uint32_t width, std::uint32_t height, Box box, const char* bitmap) {
    LevelRecord r;
    r.name = name;
    r.worldWidth = width;
    r.worldHeight = height;
    r.boxX = box.x;
    r.boxY = box.y;
    r.boxWidth = box.width;
    r.boxHeight = box.height;
    r.mapBitmap = bitmap;
    r.mapRect = {0, 0, std::int32_t(width), std::int32_t(height)};
    return r;
}

struct Point {
    float x, y;
};

// What names a playing level and where its goal stands; `sprites` is the
// size of its standard set (4, 5 or 7).
struct Playfield {
    const char* name;
    std::uint32_t width;
    const char* bitmap;
    int sprites = 7;
    Point goal;
};

// A level the player plays through: music, then the two effects; a standard
// map of the world's size; the standard sprites of its set.
LevelRecord Playing(const Playfield& p, const char* music, std::vector<SegmentRecord> segments) {
    LevelRecord r = Base(p.name, p.width, 480, Standard, p.bitmap);
    r.sounds = MusicThenEffects(music);
    r.segments = std::move(segments);
    r.sprites = PlayingSet(p.sprites, p.goal.x, p.goal.y);
    return r;
}

// A short vertical line tagged as a floor (id 0) at the far edge of the
// first pit: the lip of the ground where the player lands after the jump.
void AddLip(std::vector<SegmentRecord>& s, float groundY) {
    float edge = -1;
    for (const SegmentRecord& line : s)
        if (line.id == 0 && line.y1 == groundY && line.y2 == groundY && line.x2 > 0 && (edge < 0 || line.x2 < edge))
            edge = line.x2;
    s.push_back({edge, groundY, edge, groundY + 40, 0});
}

// The first floor below the point (x, y).
const SegmentRecord* FloorBelow(const std::vector<SegmentRecord>& s, float x, float y) {
    const SegmentRecord* best = nullptr;
    for (const SegmentRecord& line : s)
        if (line.id == 0 && line.y1 == line.y2 && std::min(line.x1, line.x2) <= x && x <= std::max(line.x1, line.x2) &&
            line.y1 >= y && (!best || line.y1 < best->y1))
            best = &line;
    return best;
}

// A line tilted by `pixels` at its second end: for id 1 the wall of a block
// or a fence, for id 0 a floor other than those under the start and the goal;
// the `nth` nearest the middle of the world.
struct Tilt {
    std::int32_t id;
    float pixels;
    std::size_t nth = 0;
};
constexpr std::int32_t WallId = 1, FloorId = 0;

void Slant(LevelRecord& r, const Tilt& tilt) {
    const std::int32_t id = tilt.id;
    const SpriteRecord &player = *Find(r.sprites, "protag"), &goal = *Find(r.sprites, "goal");
    const SegmentRecord* startFloor = FloorBelow(r.segments, player.startX + 16, player.startY + 32);
    const SegmentRecord* goalFloor = FloorBelow(r.segments, goal.startX + 35, goal.startY + 60);
    std::vector<SegmentRecord*> candidates;
    for (SegmentRecord& line : r.segments) {
        const bool candidate =
            id == 1 ? line.x1 == line.x2 && std::abs(line.y2 - line.y1) < 150
                    : line.y1 == line.y2 && line.x1 != line.x2 && &line != startFloor && &line != goalFloor;
        if (line.id == id && candidate) candidates.push_back(&line);
    }
    const float middle = float(r.worldWidth) / 2;
    std::stable_sort(candidates.begin(), candidates.end(), [middle](const SegmentRecord* a, const SegmentRecord* b) {
        return std::abs((a->x1 + a->x2) / 2 - middle) < std::abs((b->x1 + b->x2) / 2 - middle);
    });
    SegmentRecord& line = *candidates.at(tilt.nth);
    (id == 1 ? line.x2 : line.y2) += tilt.pixels;
}

// The obstacles of a run along the ground: the counts of walls (id 1) and
// floors (id 0); `difficulty` runs from 0 (the first level) to 1 (the last),
// `variant` reorders the obstacles, `stairs` steps up each side of a block.
struct Obstacles {
    int walls, floors;
    float difficulty;
    unsigned variant;
    int stairs = 0;
};

std::vector<SegmentRecord> Run(const Playfield& p, const Obstacles& o) {
    RunShape shape{int(p.width), o.walls, o.floors, p.goal.y + GoalFloor};
    shape.stairs = o.stairs;
    shape.difficulty = o.difficulty;
    shape.variant = o.variant;
    shape.goalX = p.goal.x;
    return RunLayout(shape);
}

// A climbing level of the third world: a taller world, its own camera box
// and view, and its own start for the player and the camera sprite.
struct Tower {
    const char* name;
    std::uint32_t height;
    Box box;
    float viewStartY;
    const char* bitmap;
    Point goal, player, camera;
};

// How many walls (id 1) and floors (id 0) a tower has; a ladder's ledges
// narrow as its difficulty grows from 0 to 1.
struct Counts {
    int walls, floors;
    float difficulty = 0;
};

ClimbShape ShapeOf(const Tower& t, const Counts& c) {
    return {640, c.walls, c.floors, t.player.x, t.player.y + PlayerFloor, t.goal.x, t.goal.y + GoalFloor, c.difficulty};
}

LevelRecord Climb(const Tower& t, std::vector<SegmentRecord> segments) {
    LevelRecord r = Base(t.name, 640, t.height, t.box, t.bitmap);
    r.viewStartY = t.viewStartY;
    r.sounds = MusicThenEffects(FolieImposee);
    r.segments = std::move(segments);
    r.sprites = PlayingSet(7, t.goal.x, t.goal.y);
    Find(r.sprites, "protag")->startX = t.player.x;
    Find(r.sprites, "protag")->startY = t.player.y;
    Find(r.sprites, "mainChar")->startX = t.camera.x;
    Find(r.sprites, "mainChar")->startY = t.camera.y;
    return r;
}

// A tower climbed along a path of steps.
LevelRecord PathTower(const Tower& t, const Counts& c, const StepPath& path) {
    return Climb(t, TowerLayout(ShapeOf(t, c), path));
}

// The walking figures of the menu and the interludes.
std::vector<SpriteRecord> Figures() {
    std::vector<SpriteRecord> s;
    for (float y : {290.0f, 140.0f, 170.0f, 200.0f, 275.0f}) s.push_back(Reveal("reveal", y));
    return s;
}

LevelRecord Interlude(const char* name, const char* bitmap) {
    LevelRecord r = Base(name, 1100, 480, Standard, bitmap);
    r.mapRect = {0, 0, 640, 480};
    r.levelBehaviors = {T(TimerNo::FinishWorld)};
    r.sounds = MusicThenEffects("Enter.wav");
    r.sounds.push_back(Music("end", "Enter.wav"));
    r.sprites = Figures();
    return r;
}

void DropShootingLogic(LevelRecord& r) {
    Find(r.sprites, "protag")->behaviors = {SM(StateMachineNo::PlyrOnWhatSM), F(FunctionNo::ResetDeath)};
}

LevelRecord Menu() {
    LevelRecord r = Base("Menu", 640, 480, WholeView, "title.bmp");
    r.inflateMaximum = 0;
    r.mapType = 0;
    r.mapRect = {};
    r.levelBehaviors = {F(FunctionNo::title)};
    r.sounds = Effects();
    r.sounds.push_back(Music("enter", "Enter.wav"));
    r.sounds.push_back(Music("mus", "Enter.wav"));
    r.streamedStart = "enter";
    r.standardEffects = false;
    const std::pair<const char*, float> figures[] = {{"reveal", 342}, {"eveal", 159},  {"reveal", 104}, {"reveal", 133},
                                                     {"reveal", 183}, {"reveal", 295}, {"veal", 380}};
    for (auto [name, y] : figures) r.sprites.push_back(Reveal(name, y));

    SpriteRecord decider;
    decider.name = "decider";
    decider.visible = false;
    decider.actorIndex = 3;
    decider.animation = 4;
    decider.startX = 228;
    decider.startY = 342;
    decider.behaviors = {F(FunctionNo::titlescreen), F(FunctionNo::deciderLogic)};
    decider.variableCount = 1;
    r.sprites.push_back(decider);

    SpriteRecord title;
    title.name = "titleScreen";
    title.visible = false;
    title.actorIndex = 4;
    title.behaviors = {F(FunctionNo::titlescreen)};
    r.sprites.push_back(title);
    return r;
}

LevelRecord Level1() {
    const Playfield field{
        .name = "Level_1", .width = 640, .bitmap = "noltlvl1dash1.bmp", .sprites = 4, .goal = {552, 322}};
    LevelRecord r = Playing(field, "Hall of Mirrors.wav",
                            {{632, 394, 359, 394, 0},
                             {359, 394, 359, 267, 1},
                             {359, 267, 277, 267, 0},
                             {277, 267, 277, 398, 1},
                             {271, 398, 1, 398, 0},
                             {2, 411, 2, 1, 1},
                             {637, 0, 637, 472, 1}});
    r.consoleColour = White;
    r.boxX = WholeView.x, r.boxY = WholeView.y, r.boxWidth = WholeView.width, r.boxHeight = WholeView.height;
    r.inflateMaximum = 0;
    Find(r.sprites, "protag")->behaviors = {SM(StateMachineNo::PlyrOnWhatSM), SM(StateMachineNo::SpriteCopySM)};
    Find(r.sprites, "goal")->ghostOnSprites = false;
    return r;
}

LevelRecord Level2() {
    // Its fence is added back up as a floor, so a player can stand on it.
    const Playfield field{
        .name = "Level_2", .width = 640, .bitmap = "noltlvl1dash2.bmp", .sprites = 4, .goal = {552, 322}};
    RunShape shape{640, 3, 3, field.goal.y + GoalFloor};
    shape.goalX = field.goal.x;
    shape.twinFences = true;
    LevelRecord r = Playing(field, "Hall of Mirrors.wav", RunLayout(shape));
    r.boxX = WholeView.x, r.boxY = WholeView.y, r.boxWidth = WholeView.width, r.boxHeight = WholeView.height;
    r.inflateMaximum = 0;
    return r;
}

// The first world: levels 3 to 9 run on the same music.
LevelRecord FirstWorld(const Playfield& p, std::vector<SegmentRecord> segments) {
    return Playing(p, "Hall of Mirrors.wav", std::move(segments));
}
LevelRecord FirstWorld(const Playfield& p, const Obstacles& o) { return FirstWorld(p, Run(p, o)); }

// Lines laid out by hand, in pieces: the level's lines are the pieces' in order.
std::vector<SegmentRecord> Joined(std::initializer_list<std::vector<SegmentRecord>> pieces) {
    std::vector<SegmentRecord> out;
    for (const std::vector<SegmentRecord>& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

// The two walls at the sides of a 640-pixel world, reaching below its ground.
std::vector<SegmentRecord> SideWalls(float ground) {
    return {WallFacingRight(2, 0, ground + 17), WallFacingLeft(637, 0, ground + 17)};
}

// A body standing on the ground, solid from both sides: its walls and its top.
std::vector<SegmentRecord> Block(float left, float right, float top, float ground) {
    return {WallFacingLeft(left, top, ground), FloorLine(left, right, top), WallFacingRight(right, top, ground)};
}

// A switchback over a wall too tall to jump: a ledge against its face, a
// higher one back to the left, then its top; down a step on the far side and
// over a crate to the goal.
LevelRecord Level4() {
    const Playfield field{.name = "Level_4", .width = 640, .bitmap = "noltlvl1dash4.bmp", .goal = {556, 279}};
    const float g = field.goal.y + GoalFloor;
    return FirstWorld(field, Joined({SideWalls(g),
                                     {FloorLine(0, 640, g), FloorLine(220, 310, g - 60), FloorLine(90, 200, g - 130)},
                                     Block(310, 400, g - 205, g),
                                     {FloorLine(400, 450, g - 100)},
                                     Block(490, 520, g - 30, g)}));
}

// A crate to hop, then a pit that takes a running leap, or two easy jumps
// by way of a shelf above its middle.
LevelRecord Level5() {
    const Playfield field{.name = "Level_5", .width = 640, .bitmap = "noltlvl1dash5.bmp", .goal = {567, 320}};
    const float g = field.goal.y + GoalFloor;
    return FirstWorld(field, Joined({SideWalls(g),
                                     {FloorLine(0, 300, g)},
                                     Block(130, 160, g - 35, g),
                                     {FloorLine(365, 435, g - 65), FloorLine(500, 640, g)}}));
}

LevelRecord Level7() {
    LevelRecord r = FirstWorld({.name = "Level_7", .width = 1100, .bitmap = "noltlvl1dash7.bmp", .goal = {1028, 272}},
                               {.walls = 8, .floors = 4, .difficulty = 0.25f, .variant = 5});
    Slant(r, {.id = WallId, .pixels = 1});
    return r;
}

LevelRecord Level9() {
    // 37 lines, 26 of them (13 walls, 13 floors) added in both directions;
    // the lip of the first pit comes first, so it is one of them.
    const Playfield field{.name = "Level_9", .width = 640, .bitmap = "noltlvl1dash9.bmp", .goal = {568, 267}};
    RunShape shape{640, 14, 22, field.goal.y + GoalFloor};
    shape.difficulty = 0.35f;
    shape.goalX = field.goal.x;
    shape.stairs = 6;
    std::vector<SegmentRecord> lines = RunLayout(shape);
    AddLip(lines, field.goal.y + GoalFloor);
    std::rotate(lines.rbegin(), lines.rbegin() + 1, lines.rend());
    return Playing(field, "Hall of Mirrors.wav", DoubleLines(lines, 13, 13));
}

LevelRecord Level10() {
    return Playing({.name = "Level_10", .width = 640, .bitmap = "noltlvl1dash10.bmp", .goal = {570, 266}}, "Enter.wav",
                   {{0, 2, 0, 345, 1}, {0, 345, 0, 2, 1}, {637, 0, 637, 460, 1}, {639, 338, 0, 338, 0}});
}

LevelRecord InMediaRes() {
    LevelRecord r = Base("In_Media_Res", 640, 480, Standard, "worldTwoEnterance.bmp");
    r.consoleColour = White;
    r.mapType = 0;
    r.mapRect = {};
    r.levelBehaviors = {T(TimerNo::FinishWorld)};
    r.sounds = Effects();
    r.sounds.push_back(Music("mus", "Enter.wav"));
    r.sounds.push_back(Music("end", "Enter.wav"));
    r.streamedStart = "end";
    r.sprites = Figures();
    r.standardEffects = false;
    return r;
}

// The second world: Illusion, and the clearing columns in its first levels.
enum class Clearing : bool { None, Columns };

LevelRecord SecondWorld(const Playfield& p, std::vector<SegmentRecord> segments, Clearing clearing) {
    LevelRecord r = Playing(p, "Illusion.wav", std::move(segments));
    if (clearing == Clearing::Columns) r.levelBehaviors = {T(TimerNo::ClearGeneration), T(TimerNo::ClearGenerationW)};
    return r;
}

LevelRecord SecondWorldRun(const Playfield& p, const Obstacles& o, Clearing clearing) {
    return SecondWorld(p, Run(p, o), clearing);
}

LevelRecord Level11() {
    const Playfield field{.name = "Level_11", .width = 640, .bitmap = "noltlvl2dash1.bmp", .goal = {554, 321}};
    // Three of its pieces lie past the right edge of its 640-pixel world.
    std::vector<SegmentRecord> s = Run(field, {.walls = 2, .floors = 3, .difficulty = 0.3f, .variant = 1});
    s.push_back(WallFacingRight(774, 300, 393));
    s.push_back(FloorLine(800, 1099, 393));
    s.push_back(FloorLine(820, 1000, 300));
    LevelRecord r = SecondWorld(field, std::move(s), Clearing::Columns);
    Slant(r, {.id = FloorId, .pixels = 1});
    return r;
}

// A climb to a high road and down: four ledges up from the start, two
// stones across at the top, then a drop onto a roof over the goal's door and
// off its far end, under it, to the goal. A slip on the climb lands in a
// trench a jump below the start.
LevelRecord Level18() {
    const Playfield field{.name = "Level_18", .width = 1100, .bitmap = "noltlvl2dash8.bmp", .goal = {1026, 319}};
    const float g = field.goal.y + GoalFloor, road = g - 220;
    std::vector<SegmentRecord> s{WallFacingRight(2, 0, g + 17), WallFacingLeft(1097, 0, g + 17), FloorLine(0, 220, g)};
    for (int step = 1; step <= 4; ++step) {
        const float left = 220 + 30 * float(step) + 70 * float(step - 1);
        s.push_back(FloorLine(left, left + 70, g - 55 * float(step)));
    }
    for (const float left : {720.0f, 880.0f}) s.push_back(FloorLine(left, left + 60, road));
    s.push_back(FloorLine(960, 1097, road + 110));
    s.push_back(FloorLine(990, 1100, g));
    s.push_back(FloorLine(180, 660, g + 60));
    return SecondWorld(field, std::move(s), Clearing::None);
}

std::vector<SegmentRecord> Level19Segments() {
    std::vector<SegmentRecord> s{
        {0, 479, 0, 0, 1}, {49, 52, 49, 197, 1}, {49, 197, 54, 199, 0}, {54, 199, 54, 102, 1}, {54, 102, 95, 102, 0}};
    // The rest, 15 walls and 30 floors, 13 of each added in both directions.
    RunShape rest{640, 15, 30, 264 + GoalFloor};
    rest.leftWall = false;
    rest.goalX = 567;
    rest.difficulty = 0.6f;
    rest.stairs = 7;
    rest.variant = 1;
    for (const SegmentRecord& line : DoubleLines(RunLayout(rest), 13, 13)) s.push_back(line);
    return s;
}

LevelRecord Level19() {
    LevelRecord r = SecondWorld({.name = "Level_19", .width = 640, .bitmap = "noltlvl2dash9.bmp", .goal = {567, 264}},
                                Level19Segments(), Clearing::Columns);
    Slant(r, {.id = FloorId, .pixels = 1});
    return r;
}

LevelRecord Level20() {
    return Playing({.name = "Level_20", .width = 640, .bitmap = "noltlvl2dash10.bmp", .goal = {570, 266}}, "Enter.wav",
                   {{639, 0, 639, 479, 1}, {0, 479, 0, 0, 1}, {638, 341, 6, 341, 0}});
}

// A descent that first climbs: the start stands in a narrow shaft walled off
// from the goal by a pillar; shelves lead up the shaft and over the pillar.
LevelRecord Level25() {
    const Tower tower{.name = "Level_25",
                      .height = 680,
                      .box = {0, 230, 95, 112},
                      .viewStartY = 200,
                      .bitmap = "noltlvl3dash5.bmp",
                      .goal = {173, 569},
                      .player = {22, 498},
                      .camera = {18, 472}};
    return Climb(tower, {
                            WallFacingRight(0, 0, 671),
                            WallFacingLeft(639, 0, 671),
                            FloorLine(0, 640, 641),
                            FloorLine(0, 105, 532),
                            FloorLine(35, 105, 467),
                            FloorLine(0, 70, 402),
                            FloorLine(35, 105, 337),
                            FloorLine(0, 70, 272),
                            WallFacingLeft(110, 300, 641),
                            FloorLine(110, 150, 300),
                            WallFacingRight(150, 300, 641),
                            FloorLine(330, 430, 571),
                            {560, 506, 470, 507, 0},
                            WallFacingRight(430, 571, 591),
                        });
}

// Rows of stones crossed at one height, joined by steps straight up.
LevelRecord Level26() {
    const Tower tower{.name = "Level_26",
                      .height = 780,
                      .box = {0, 233, 95, 109},
                      .viewStartY = 300,
                      .bitmap = "noltlvl3dash6.bmp",
                      .goal = {271, 84},
                      .player = {43, 601},
                      .camera = {26, 569}};
    LevelRecord r = PathTower(tower, {.walls = 6, .floors = 12}, {.moves = "RrrUllUrrUL", .stepWidth = 70});
    // Its two side walls reach below the world.
    r.segments[0].y1 = 939;
    r.segments[1].y2 = 810;
    Slant(r, {.id = FloorId, .pixels = 2});
    return r;
}

LevelRecord Level30() {
    return Playing({.name = "Level_30", .width = 640, .bitmap = "noltlvl3dash10.bmp", .goal = {568, 267}}, "Enter.wav",
                   {{0, 411, 0, 0, 1}, {639, 0, 639, 460, 1}, {639, 340, 0, 340, 0}});
}

LevelRecord Level31() {
    LevelRecord r = Playing({.name = "Level_31", .width = 5000, .bitmap = "noltlvl4dash1to6.bmp", .goal = {4904, 299}},
                            "Lost.wav", {{0, 479, 0, 0, 1}, {5003, 0, 5003, 401, 1}, {5003, 375, 0, 375, 0}});
    r.mapRect = {0, 0, 2000, 480};
    r.levelBehaviors = {T(TimerNo::CopyGradient)};
    SpriteRecord& protag = *Find(r.sprites, "protag");
    protag.animation = 4;
    protag.zOrder = 1;
    protag.displayList = 3;
    DropShootingLogic(r);
    Find(r.sprites, "masterProjectile")->displayList = 3;
    Find(r.sprites, "goal")->behaviors = {F(FunctionNo::gradientGoalLogic)};
    Find(r.sprites, "mainChar")->displayList = 3;

    SpriteRecord gradient;
    gradient.name = "newGradient";
    gradient.unused = true;
    gradient.actorIndex = 5;
    gradient.displayList = 1;
    r.sprites.push_back(gradient);
    return r;
}

// The fourth world's long crossings, whose walls reach 3 pixels past the world.
struct Crossings {
    int walls, floors;
    std::vector<Crossing> pattern;
};

LevelRecord FourthWorld(const Playfield& p, const Crossings& c) {
    const CrossingShape shape{.worldWidth = int(p.width),
                              .walls = c.walls,
                              .floors = c.floors,
                              .groundY = p.goal.y + GoalFloor,
                              .startX = 57,
                              .goalX = p.goal.x,
                              .rightWallX = float(p.width + 3),
                              .pattern = c.pattern};
    LevelRecord r = Playing(p, "Lost.wav", CrossingLayout(shape));
    DropShootingLogic(r);
    return r;
}

LevelRecord Level40() {
    LevelRecord r =
        Playing({.name = "Level_40", .width = 640, .bitmap = "nolt.bmp", .goal = {1028, 272}}, "Enter.wav", {});
    r.mapTransparency = 0x000000;
    r.levelBehaviors = {T(TimerNo::CopyReveal)};
    SpriteRecord& protag = *Find(r.sprites, "protag");
    protag.startX = 304;
    protag.startY = 224;
    protag.zOrder = 1;
    protag.displayList = 2;
    protag.behaviors.clear();

    SpriteRecord reveal;
    reveal.name = "masterReveal";
    reveal.unused = true;
    reveal.actorIndex = 0;
    reveal.animation = 4;
    reveal.startX = -16;
    reveal.startY = -1;
    reveal.displayList = 1;
    reveal.behaviors = {F(FunctionNo::FinaleBehavior)};
    reveal.directionX = 1;
    reveal.speed = 4.25f;
    reveal.variableCount = 1;
    r.sprites.push_back(reveal);

    SpriteRecord credits;
    credits.name = "credits";
    credits.visible = false;
    credits.actorIndex = 6;
    r.sprites.push_back(credits);
    return r;
}

LevelRecord WithSlant(LevelRecord r, const Tilt& tilt) {
    Slant(r, tilt);
    return r;
}

// The fourth world's long crossings with the lip of the first break tagged as a floor.
LevelRecord FourthWorldWithLip(const Playfield& p, Crossings c) {
    --c.floors;
    LevelRecord r = FourthWorld(p, c);
    AddLip(r.segments, p.goal.y + GoalFloor);
    return r;
}

std::array<LevelRecord, LevelCount> MakeLevels() {
    using enum Crossing;
    // The third world's towers: a staircase, a ladder of ledges, a chimney
    // of staggered steps, a switchback, a shaft over a pillar, rows of stones
    // joined by steps up, a zigzag into a staircase, stairs up a column and
    // back, and a column that turns into a staircase.
    const Box third1{3, 230, 95, 112}, third2{0, 230, 95, 112}, third3{0, 233, 95, 109};
    const Tower level21{.name = "Level_21",
                        .height = 580,
                        .box = third1,
                        .viewStartY = 100,
                        .bitmap = "noltlvl3dash1.bmp",
                        .goal = {524, 1},
                        .player = {26, 395},
                        .camera = {18, 378}};
    const Tower level22{.name = "Level_22",
                        .height = 580,
                        .box = third1,
                        .viewStartY = 100,
                        .bitmap = "noltlvl3dash2.bmp",
                        .goal = {49, 1},
                        .player = {26, 395},
                        .camera = {18, 378}};
    const Tower level23{.name = "Level_23",
                        .height = 680,
                        .box = third2,
                        .viewStartY = 200,
                        .bitmap = "noltlvl3dash3.bmp",
                        .goal = {229, 38},
                        .player = {22, 498},
                        .camera = {18, 472}};
    const Tower level24{.name = "Level_24",
                        .height = 680,
                        .box = {0, 33, 95, 409},
                        .viewStartY = 103,
                        .bitmap = "noltlvl3dash4.bmp",
                        .goal = {559, 25},
                        .player = {77, 502},
                        .camera = {18, 371}};
    const Tower level27{.name = "Level_27",
                        .height = 780,
                        .box = third3,
                        .viewStartY = 300,
                        .bitmap = "noltlvl3dash7.bmp",
                        .goal = {571, 26},
                        .player = {43, 601},
                        .camera = {26, 569}};
    const Tower level28{.name = "Level_28",
                        .height = 780,
                        .box = third3,
                        .viewStartY = 300,
                        .bitmap = "noltlvl3dash8.bmp",
                        .goal = {9, 54},
                        .player = {43, 601},
                        .camera = {26, 569}};
    const Tower level29{.name = "Level_29",
                        .height = 900,
                        .box = {0, 239, 95, 103},
                        .viewStartY = 420,
                        .bitmap = "noltlvl3dash9.bmp",
                        .goal = {478, 68},
                        .player = {52, 720},
                        .camera = {17, 697}};
    return {
        Menu(),
        Level1(),
        Level2(),
        FirstWorld({.name = "Level_3", .width = 640, .bitmap = "noltlvl1dash3.bmp", .sprites = 5, .goal = {563, 322}},
                   {.walls = 6, .floors = 4, .difficulty = 0.05f, .variant = 1}),
        Level4(),
        Level5(),
        FirstWorld({.name = "Level_6", .width = 1100, .bitmap = "noltlvl1dash6.bmp", .goal = {1028, 272}},
                   {.walls = 2, .floors = 6, .difficulty = 0.2f, .variant = 4}),
        Level7(),
        FirstWorld({.name = "Level_8", .width = 1100, .bitmap = "noltlvl1dash8.bmp", .goal = {1028, 272}},
                   {.walls = 3, .floors = 8, .difficulty = 0.3f, .variant = 6}),
        Level9(),
        Level10(),
        InMediaRes(),
        Level11(),
        SecondWorldRun({.name = "Level_12", .width = 640, .bitmap = "noltlvl2dash2.bmp", .goal = {542, 320}},
                       {.walls = 2, .floors = 5, .difficulty = 0.35f, .variant = 2}, Clearing::Columns),
        SecondWorldRun({.name = "Level_13", .width = 1100, .bitmap = "noltlvl2dash3.bmp", .goal = {1006, 317}},
                       {.walls = 2, .floors = 6, .difficulty = 0.4f, .variant = 3}, Clearing::Columns),
        SecondWorldRun({.name = "Level_14", .width = 1100, .bitmap = "noltlvl2dash4.bmp", .goal = {1028, 272}},
                       {.walls = 0, .floors = 6, .difficulty = 0.45f, .variant = 4}, Clearing::Columns),
        SecondWorldRun({.name = "Level_15", .width = 1100, .bitmap = "noltlvl2dash5.bmp", .goal = {1002, 318}},
                       {.walls = 3, .floors = 8, .difficulty = 0.5f, .variant = 5}, Clearing::Columns),
        SecondWorldRun({.name = "Level_16", .width = 1100, .bitmap = "noltlvl2dash6.bmp", .goal = {990, 322}},
                       {.walls = 4, .floors = 9, .difficulty = 0.5f, .variant = 6}, Clearing::None),
        WithSlant(
            SecondWorldRun({.name = "Level_17", .width = 1500, .bitmap = "noltlvl2dash7.bmp", .goal = {1406, 319}},
                           {.walls = 4, .floors = 12, .difficulty = 0.55f, .variant = 7}, Clearing::None),
            {.id = WallId, .pixels = 1}),
        Level18(),
        Level19(),
        Level20(),
        Interlude("Deus_Ex_Machina", "worldThreeEnterance.bmp"),
        WithSlant(PathTower(level21, {.walls = 2, .floors = 7}, {.moves = "RRRRRR", .stepWidth = 90}),
                  {.id = FloorId, .pixels = 1}),
        Climb(level22, ClimbLayout(ShapeOf(level22, {.walls = 2, .floors = 7, .difficulty = 0.55f}))),
        WithSlant(PathTower(level23, {.walls = 7, .floors = 11}, {.moves = "UUUUUUUUUU", .stride = 1, .stagger = 14}),
                  {.id = FloorId, .pixels = 2}),
        PathTower(level24, {.walls = 2, .floors = 9}, {.moves = "RRRLLRRR"}),
        Level25(),
        Level26(),
        PathTower(level27, {.walls = 2, .floors = 9}, {.moves = "RLRRRRRR"}),
        WithSlant(PathTower(level28, {.walls = 2, .floors = 12}, {.moves = "RRRUUUUULLL", .stride = 100}),
                  {.id = FloorId, .pixels = 2}),
        PathTower(level29, {.walls = 2, .floors = 7}, {.moves = "UUURRR"}),
        Level30(),
        Interlude("Dies_Tenebrosa_Sicut_Nox", "worldFourEnterance.bmp"),
        Level31(),
        WithSlant(
            FourthWorldWithLip({.name = "Level_32", .width = 7000, .bitmap = "noltlvl4dash7.bmp", .goal = {6923, 267}},
                               {.walls = 4, .floors = 31, .pattern = {Gap, Stones, Block, Bridge}}),
            {.id = FloorId, .pixels = 1}),
        WithSlant(FourthWorld({.name = "Level_33", .width = 7000, .bitmap = "noltlvl4dash8.bmp", .goal = {6924, 267}},
                              {.walls = 4, .floors = 38, .pattern = {Stones, Bridge, Block, Gap, Gap}}),
                  {.id = FloorId, .pixels = 2}),
        WithSlant(WithSlant(FourthWorldWithLip(
                                {.name = "Level_34", .width = 6400, .bitmap = "noltlvl4dash9.bmp", .goal = {6314, 266}},
                                {.walls = 12, .floors = 60, .pattern = {Block, Gap, Block, Stones, Bridge}}),
                            {.id = WallId, .pixels = 1}),
                  {.id = FloorId, .pixels = 2}),
        Level40(),
    };
}

}  // namespace

const LevelRecord& LevelRecordOf(int levelNumber) {
    static const std::array<LevelRecord, LevelCount> levels = MakeLevels();
    return levels.at(std::size_t(levelNumber));
}

}  // namespace nolt

// The records of the game's 39 levels, in level-list order.
#include <algorithm>
#include <array>
#include <cmath>
#include "levels/LevelData.h"
#include "levels/LevelLayout.h"
#include "levels/StandardSprites.h"
#include "logic/GameDeclarations.h"

namespace nolt {
namespace {

BehaviorRef F(std::uint32_t i) { return {BehaviorRef::Function, i}; }
BehaviorRef T(std::uint32_t i) { return {BehaviorRef::Timer, i}; }
BehaviorRef SM(std::uint32_t i) { return {BehaviorRef::StateMachine, i}; }

constexpr std::uint32_t Black = 0x000000;
constexpr std::uint32_t White = 0xFFFFFF;
// The goal bitmap stands 72 pixels above the floor under it; the player 34.
constexpr float GoalFloor = 72;
constexpr float PlayerFloor = 34;
const char* const FolieImposee = "Folie impos\xE9" "e.wav";

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

// A level the player plays through: music, then the two effects; a standard
// map of the world's size; the standard sprites up to `set`.
LevelRecord Playing(const char* name, std::uint32_t width, const char* music, const char* bitmap, int set,
                    float goalX, float goalY, std::vector<SegmentRecord> segments) {
    LevelRecord r = Base(name, width, 480, Standard, bitmap);
    r.sounds = MusicThenEffects(music);
    r.segments = std::move(segments);
    r.sprites = PlayingSet(set, goalX, goalY);
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

// Tilts one line by `pixels` at its second end: for id 1 the wall of a block
// or a fence, for id 0 a floor other than those under the start and the goal;
// the `nth` nearest the middle of the world.
void Slant(LevelRecord& r, std::int32_t id, float pixels, std::size_t nth = 0) {
    const SpriteRecord &player = *Find(r.sprites, "protag"), &goal = *Find(r.sprites, "goal");
    const SegmentRecord* startFloor = FloorBelow(r.segments, player.startX + 16, player.startY + 32);
    const SegmentRecord* goalFloor = FloorBelow(r.segments, goal.startX + 35, goal.startY + 60);
    std::vector<SegmentRecord*> candidates;
    for (SegmentRecord& line : r.segments) {
        const bool candidate = id == 1 ? line.x1 == line.x2 && std::abs(line.y2 - line.y1) < 150
                                       : line.y1 == line.y2 && line.x1 != line.x2 && &line != startFloor &&
                                             &line != goalFloor;
        if (line.id == id && candidate) candidates.push_back(&line);
    }
    const float middle = float(r.worldWidth) / 2;
    std::stable_sort(candidates.begin(), candidates.end(), [middle](const SegmentRecord* a, const SegmentRecord* b) {
        return std::abs((a->x1 + a->x2) / 2 - middle) < std::abs((b->x1 + b->x2) / 2 - middle);
    });
    SegmentRecord& line = *candidates.at(nth);
    (id == 1 ? line.x2 : line.y2) += pixels;
}

// A run along the ground to the goal; `difficulty` runs from 0 (the first
// level) to 1 (the last), `variant` reorders the obstacles.
std::vector<SegmentRecord> Run(int width, int walls, int floors, float goalX, float goalY, float difficulty,
                               unsigned variant, int stairs = 0) {
    RunShape shape{width, walls, floors, goalY + GoalFloor};
    shape.stairs = stairs;
    shape.difficulty = difficulty;
    shape.variant = variant;
    shape.goalX = goalX;
    return RunLayout(shape);
}

// A climbing level of the third world: taller world, its own camera box and start.
LevelRecord Climb(const char* name, std::uint32_t height, Box box, float viewY, const char* bitmap, int walls,
                  int floors, float goalX, float goalY, float startX, float startY, float camX, float camY,
                  float difficulty) {
    LevelRecord r = Base(name, 640, height, box, bitmap);
    r.viewStartY = viewY;
    r.sounds = MusicThenEffects(FolieImposee);
    r.segments =
        ClimbLayout({640, walls, floors, startX, startY + PlayerFloor, goalX, goalY + GoalFloor, difficulty});
    r.sprites = PlayingSet(7, goalX, goalY);
    Find(r.sprites, "protag")->startX = startX;
    Find(r.sprites, "protag")->startY = startY;
    Find(r.sprites, "mainChar")->startX = camX;
    Find(r.sprites, "mainChar")->startY = camY;
    return r;
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
    const std::pair<const char*, float> figures[] = {{"reveal", 342}, {"eveal", 159}, {"reveal", 104}, {"reveal", 133},
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
    LevelRecord r = Playing("Level_1", 640, "Hall of Mirrors.wav", "noltlvl1dash1.bmp", 4, 552, 322,
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
    RunShape shape{640, 3, 3, 322 + GoalFloor};
    shape.goalX = 552;
    shape.twinFences = true;
    std::vector<SegmentRecord> s = RunLayout(shape);
    LevelRecord r = Playing("Level_2", 640, "Hall of Mirrors.wav", "noltlvl1dash2.bmp", 4, 552, 322, std::move(s));
    r.boxX = WholeView.x, r.boxY = WholeView.y, r.boxWidth = WholeView.width, r.boxHeight = WholeView.height;
    r.inflateMaximum = 0;
    return r;
}

// The first world: levels 3 to 9 run on the same music.
LevelRecord FirstWorld(const char* name, std::uint32_t width, const char* bitmap, int set, float gx, float gy, int walls,
                       int floors, float difficulty, unsigned variant, int stairs = 0) {
    return Playing(name, width, "Hall of Mirrors.wav", bitmap, set, gx, gy,
                   Run(int(width), walls, floors, gx, gy, difficulty, variant, stairs));
}

LevelRecord Level7() {
    LevelRecord r = FirstWorld("Level_7", 1100, "noltlvl1dash7.bmp", 7, 1028, 272, 8, 4, 0.25f, 5);
    Slant(r, 1, 1);
    return r;
}

LevelRecord Level9() {
    // 37 lines, 26 of them (13 walls, 13 floors) added in both directions;
    // the lip of the first pit comes first, so it is one of them.
    RunShape shape{640, 14, 22, 267 + GoalFloor};
    shape.difficulty = 0.35f;
    shape.goalX = 568;
    shape.stairs = 6;
    std::vector<SegmentRecord> lines = RunLayout(shape);
    AddLip(lines, 267 + GoalFloor);
    std::rotate(lines.rbegin(), lines.rbegin() + 1, lines.rend());
    return Playing("Level_9", 640, "Hall of Mirrors.wav", "noltlvl1dash9.bmp", 7, 568, 267, DoubleLines(lines, 13, 13));
}

LevelRecord Level10() {
    return Playing("Level_10", 640, "Enter.wav", "noltlvl1dash10.bmp", 7, 570, 266,
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
LevelRecord SecondWorld(const char* name, std::uint32_t width, const char* bitmap, float gx, float gy,
                        std::vector<SegmentRecord> segments, bool clearing) {
    LevelRecord r = Playing(name, width, "Illusion.wav", bitmap, 7, gx, gy, std::move(segments));
    if (clearing) r.levelBehaviors = {T(TimerNo::ClearGeneration), T(TimerNo::ClearGenerationW)};
    return r;
}

std::vector<SegmentRecord> Level11Segments() {
    // Three of its pieces lie past the right edge of its 640-pixel world.
    std::vector<SegmentRecord> s = Run(640, 2, 3, 554, 321, 0.3f, 1);
    s.push_back(WallFacingRight(774, 300, 393));
    s.push_back(FloorLine(800, 1099, 393));
    s.push_back(FloorLine(820, 1000, 300));
    return s;
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
    LevelRecord r = SecondWorld("Level_19", 640, "noltlvl2dash9.bmp", 567, 264, Level19Segments(), true);
    Slant(r, 0, 1);
    return r;
}

LevelRecord Level20() {
    return Playing("Level_20", 640, "Enter.wav", "noltlvl2dash10.bmp", 7, 570, 266,
                   {{639, 0, 639, 479, 1}, {0, 479, 0, 0, 1}, {638, 341, 6, 341, 0}});
}

// A descent that first climbs: the start stands in a narrow shaft walled off
// from the goal by a pillar; shelves lead up the shaft and over the pillar.
LevelRecord Level25() {
    LevelRecord r = Climb("Level_25", 680, {0, 230, 95, 112}, 200, "noltlvl3dash5.bmp", 5, 9, 173, 569, 22, 498, 18,
                          472, 0.65f);
    r.segments = {
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
    };
    return r;
}

LevelRecord Level26() {
    LevelRecord r = Climb("Level_26", 780, {0, 233, 95, 109}, 300, "noltlvl3dash6.bmp", 6, 12, 271, 84, 43, 601, 26,
                          569, 0.65f);
    // Its two side walls reach below the world.
    r.segments[0].y1 = 939;
    r.segments[1].y2 = 810;
    Slant(r, 0, 2);
    return r;
}

LevelRecord Level30() {
    return Playing("Level_30", 640, "Enter.wav", "noltlvl3dash10.bmp", 7, 568, 267,
                   {{0, 411, 0, 0, 1}, {639, 0, 639, 460, 1}, {639, 340, 0, 340, 0}});
}

LevelRecord Level31() {
    LevelRecord r = Playing("Level_31", 5000, "Lost.wav", "noltlvl4dash1to6.bmp", 7, 4904, 299,
                            {{0, 479, 0, 0, 1}, {5003, 0, 5003, 401, 1}, {5003, 375, 0, 375, 0}});
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

// The fourth world's long runs, whose walls reach 3 pixels past the world.
LevelRecord FourthWorld(const char* name, std::uint32_t width, const char* bitmap, float gx, float gy, int walls,
                        int floors, float difficulty, unsigned variant) {
    RunShape shape{int(width), walls, floors, gy + GoalFloor};
    shape.difficulty = difficulty;
    shape.variant = variant;
    shape.goalX = gx;
    shape.rightWallX = float(width + 3);
    LevelRecord r = Playing(name, width, "Lost.wav", bitmap, 7, gx, gy, RunLayout(shape));
    DropShootingLogic(r);
    return r;
}

LevelRecord Level40() {
    LevelRecord r = Playing("Level_40", 640, "Enter.wav", "nolt.bmp", 7, 1028, 272, {});
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

LevelRecord WithSlant(LevelRecord r, std::int32_t id, float pixels) {
    Slant(r, id, pixels);
    return r;
}

// The fourth world's long runs with the lip of a pit tagged as a floor.
LevelRecord FourthWorldWithLip(const char* name, std::uint32_t width, const char* bitmap, float gx, float gy, int walls,
                               int floors, float difficulty, unsigned variant) {
    LevelRecord r = FourthWorld(name, width, bitmap, gx, gy, walls, floors - 1, difficulty, variant);
    AddLip(r.segments, gy + GoalFloor);
    return r;
}

std::array<LevelRecord, LevelCount> MakeLevels() {
    const Box third1{3, 230, 95, 112}, third2{0, 230, 95, 112}, third3{0, 233, 95, 109};
    return {
        Menu(),
        Level1(),
        Level2(),
        FirstWorld("Level_3", 640, "noltlvl1dash3.bmp", 5, 563, 322, 6, 4, 0.05f, 1),
        FirstWorld("Level_4", 640, "noltlvl1dash4.bmp", 7, 556, 279, 6, 6, 0.1f, 2, 2),
        FirstWorld("Level_5", 640, "noltlvl1dash5.bmp", 7, 567, 320, 4, 4, 0.15f, 3),
        FirstWorld("Level_6", 1100, "noltlvl1dash6.bmp", 7, 1028, 272, 2, 6, 0.2f, 4),
        Level7(),
        FirstWorld("Level_8", 1100, "noltlvl1dash8.bmp", 7, 1028, 272, 3, 8, 0.3f, 6),
        Level9(),
        Level10(),
        InMediaRes(),
        WithSlant(SecondWorld("Level_11", 640, "noltlvl2dash1.bmp", 554, 321, Level11Segments(), true), 0, 1),
        SecondWorld("Level_12", 640, "noltlvl2dash2.bmp", 542, 320, Run(640, 2, 5, 542, 320, 0.35f, 2), true),
        SecondWorld("Level_13", 1100, "noltlvl2dash3.bmp", 1006, 317, Run(1100, 2, 6, 1006, 317, 0.4f, 3), true),
        SecondWorld("Level_14", 1100, "noltlvl2dash4.bmp", 1028, 272, Run(1100, 0, 6, 1028, 272, 0.45f, 4), true),
        SecondWorld("Level_15", 1100, "noltlvl2dash5.bmp", 1002, 318, Run(1100, 3, 8, 1002, 318, 0.5f, 5), true),
        SecondWorld("Level_16", 1100, "noltlvl2dash6.bmp", 990, 322, Run(1100, 4, 9, 990, 322, 0.5f, 6), false),
        WithSlant(SecondWorld("Level_17", 1500, "noltlvl2dash7.bmp", 1406, 319, Run(1500, 4, 12, 1406, 319, 0.55f, 7),
                              false),
                  1, 1),
        SecondWorld("Level_18", 1100, "noltlvl2dash8.bmp", 1026, 319, Run(1100, 2, 10, 1026, 319, 0.6f, 8), false),
        Level19(),
        Level20(),
        Interlude("Deus_Ex_Machina", "worldThreeEnterance.bmp"),
        WithSlant(Climb("Level_21", 580, third1, 100, "noltlvl3dash1.bmp", 2, 7, 524, 1, 26, 395, 18, 378, 0.5f), 0, 1),
        Climb("Level_22", 580, third1, 100, "noltlvl3dash2.bmp", 2, 7, 49, 1, 26, 395, 18, 378, 0.55f),
        WithSlant(Climb("Level_23", 680, third2, 200, "noltlvl3dash3.bmp", 7, 11, 229, 38, 22, 498, 18, 472, 0.6f), 0, 2),
        Climb("Level_24", 680, {0, 33, 95, 409}, 103, "noltlvl3dash4.bmp", 2, 9, 559, 25, 77, 502, 18, 371, 0.6f),
        Level25(),
        Level26(),
        Climb("Level_27", 780, third3, 300, "noltlvl3dash7.bmp", 2, 9, 571, 26, 43, 601, 26, 569, 0.7f),
        WithSlant(Climb("Level_28", 780, third3, 300, "noltlvl3dash8.bmp", 2, 12, 9, 54, 43, 601, 26, 569, 0.7f), 0, 2),
        Climb("Level_29", 900, {0, 239, 95, 103}, 420, "noltlvl3dash9.bmp", 2, 7, 478, 68, 52, 720, 17, 697, 0.75f),
        Level30(),
        Interlude("Dies_Tenebrosa_Sicut_Nox", "worldFourEnterance.bmp"),
        Level31(),
        WithSlant(FourthWorldWithLip("Level_32", 7000, "noltlvl4dash7.bmp", 6923, 267, 4, 31, 0.8f, 1), 0, 1),
        WithSlant(FourthWorld("Level_33", 7000, "noltlvl4dash8.bmp", 6924, 267, 4, 38, 0.9f, 2), 0, 2),
        WithSlant(WithSlant(FourthWorldWithLip("Level_34", 6400, "noltlvl4dash9.bmp", 6314, 266, 12, 60, 1.0f, 3), 1, 1),
                  0, 2),
        Level40(),
    };
}

}  // namespace

const LevelRecord& LevelRecordOf(int levelNumber) {
    static const std::array<LevelRecord, LevelCount> levels = MakeLevels();
    return levels.at(std::size_t(levelNumber));
}

}  // namespace nolt

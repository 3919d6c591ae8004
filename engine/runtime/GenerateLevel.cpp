// The level file's second part: the level's settings, then its cursor, sounds,
// named variables, maps with their alarms, sprites, texts and particle
// systems, each made with the setters a game program would call.
#include <memory>

#include "foundation/Console.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "input/QelCursor.h"
#include "logic/Alarm.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameFileLoadersInternal.h"
#include "runtime/GameNode.h"
#include "sound/LevelSounds.h"
#include "sound/MidiFile.h"
#include "sound/MidiFilePTR.h"
#include "sound/StreamedSound.h"
#include "sound/StreamedSoundPTR.h"
#include "sprites/Sprite.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"
#include "world/ParticleSystem.h"
#include "world/ViewPort.h"

namespace gamefile {

namespace {

using namespace stored;

// The smallest stored size of each record: every choice takes its shortest
// branch, every text and list is empty.
// A sound of a kind other than 0 has no value.
constexpr long SoundBytes = Int + 2 * EmptyText + Bool;
// Its value is a text, and that text is empty.
constexpr long VariableBytes = EmptyText + Bool + EmptyText + EmptyBehaviour;
// A map of an unknown kind is its kind alone.
constexpr long MapBytes = Int;
constexpr long AlarmBytes = EmptyText + 3 * Bool + EmptyBehaviour + EmptyShapes + LocalVariable;
constexpr long SpriteBytes = EmptyText + 4 * Bool + Bool + EmptyText     // name, flags, network player, map
                             + 4 * Int + Bool + 2 * Float                // z-order, actor, animation, frame, peg, x, y
                             + Bool + Int + Float + 5 * Bool             // collision settings
                             + EmptyBehaviour + Bool                     // no path state machine
                             + Bool + 2 * Float                          // direction by angle
                             + 6 * Bool + Float + Int + 2 * Bool         // motion
                             + Int + Bool                                // no alarms, no movement pattern
                             + Bool + 2 * Float + Bool + LocalVariable;  // gravity, pause
constexpr long AlarmNameBytes = EmptyText;
constexpr long TextBytes = EmptyText + 2 * Bool + EmptyText + Int + Float + 2 * Int + 3 * Bool + Rect + Bool +
                           Int                     // name and look
                           + Bool + 2 * Bool       // not in the world, neither on a map nor centred
                           + Int                   // a display type without scroll fields
                           + 4 * Int + Bool        // margins and spacing
                           + Int + 2 * Int + Bool  // effect, delays, no letter sound
                           + Bool + EmptyText      // from a text file with an empty name
                           + 2 * Bool + EmptyBehaviour + LocalVariable;
constexpr long ParticleSystemBytes = 3 * Int + 2 * EmptyText + 3 * Float + 2 * Bool;

void ReadHeader(Reader& r, GameNode& level) {
    r.Section("level settings");
    const std::uint32_t consoleColour = r.UInt();
    const std::uint32_t port = r.UInt(), disconnect = r.UInt(), required = r.UInt(), maximum = r.UInt();
    const bool network = r.Bool();
    _GUID guid;
    std::uint8_t raw[16] = {};
    r.Raw(raw, 16);
    guid.Data1 =
        std::uint32_t(raw[0]) | std::uint32_t(raw[1]) << 8 | std::uint32_t(raw[2]) << 16 | std::uint32_t(raw[3]) << 24;
    guid.Data2 = std::uint16_t(raw[4] | raw[5] << 8);
    guid.Data3 = std::uint16_t(raw[6] | raw[7] << 8);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = raw[8 + i];
    const std::uint32_t worldWidth = r.UInt(), worldHeight = r.UInt(), rate = r.UInt();
    const bool quitOnEscape = r.Bool(), showBox = r.Bool();
    float box[4], inflate[4];
    for (float& v : box) v = r.Float();
    const float worldX = r.Float(), worldY = r.Float();
    for (float& v : inflate) v = r.Float();
    const float viewWidth = r.Float(), viewHeight = r.Float();
    const std::vector<BehaviourEntry> behaviour = r.Behaviour();
    const String palette = r.FileName();
    const std::int32_t local = r.LocalVariable();
    if (!r.Ok()) return;
    if (pConsole != nullptr) pConsole->Color(consoleColour);
    level.NetworkPort = port;
    level.DisconnectLevel = disconnect;
    level.RequiredPlayers = required;
    level.MaximumPlayers = maximum;
    level.NetworkLevel = network;
    level.ApplicationGUID = guid;
    level.WorldWidth(worldWidth);
    level.WorldHeight(worldHeight);
    level.FPStoMS(rate);
    level.QuitOnEscape(quitOnEscape);
    level.ShowScrollingBoundingBox(showBox);
    ViewPort& view = level.GetViewPort();
    view.ViewPortScrollingBB(box[0], box[1], box[2], box[3]);
    view.WorldXPos(worldX);
    view.WorldYPos(worldY);
    view.MaxInflateBBLeft(inflate[0]);
    view.MaxInflateBBTop(inflate[1]);
    view.MaxInflateBBRight(inflate[2]);
    view.MaxInflateBBBottom(inflate[3]);
    view.ViewPortWidth(viewWidth);
    view.ViewPortHeight(viewHeight);
    Apply(behaviour, level.GetBehavior());
    level.PaletteName(palette);
    ApplyLocalVariable(local, level);
}

void ReadCursor(Reader& r) {
    r.Section("cursor");
    if (!r.Bool()) return;
    const std::uint32_t actor = r.UInt(), animation = r.UInt(), frame = r.UInt();
    const bool collisionType = r.Bool();
    const bool atMouse = r.Bool();
    float x = 0, y = 0;
    if (!atMouse) {
        x = r.Float();
        y = r.Float();
    }
    const std::vector<BehaviourEntry> behaviour = r.Behaviour();
    const bool shown = r.Bool();
    const std::int32_t local = r.LocalVariable();
    if (!r.Ok()) return;
    // The cursor of an earlier level file is replaced, not leaked.
    delete pQelCursor;
    pQelCursor = NewQelCursor();
    pQelCursor->AddSpriteCursor(actor, animation, frame, collisionType);
    if (!atMouse)
        pQelCursor->ViewportPosition(static_cast<unsigned int>(TruncToInt32(x)),
                                     static_cast<unsigned int>(TruncToInt32(y)), false);
    Apply(behaviour, pQelCursor->GetBehavior());
    if (myGame != nullptr) myGame->ShowCursor(shown);
    ApplyLocalVariable(local, *pQelCursor);
}

void ReadSounds(Reader& r, GameNode& level) {
    r.Section("sounds");
    const std::int32_t count = r.Count("sounds", SoundBytes);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        const std::int32_t kind = r.Int();
        const String name = r.Text(), file = r.FileName();
        const bool flag = r.Bool();
        const std::int32_t value = kind == 0 ? r.Int() : 0;
        if (!r.Ok()) return;
        if (kind == 0)
            sound::AddSFX(level, name, file, flag, value);
        else if (kind == 1)
            sound::AddMusic(level, name, file, flag);
        else
            sound::AddMidiFile(level, name, file, flag);
    }
}

// A number or a text, as named variables and texts store their value.
void ReadValue(Reader& r, Variable& v) {
    if (r.Bool()) {
        const String text = r.Text();
        if (r.Ok()) v = static_cast<const char*>(text);
    } else {
        const double value = r.Double();
        if (r.Ok()) v = value;
    }
}

void ReadVariables(Reader& r, GameNode& level) {
    r.Section("variables");
    const std::int32_t count = r.Count("variables", VariableBytes);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        Variable v;
        v.Name(r.Text());
        ReadValue(r, v);
        const std::vector<BehaviourEntry> behaviour = r.Behaviour();
        if (!r.Ok()) return;
        Apply(behaviour, v.GetBehavior());
        level.Add(v);
    }
}

void ReadAlarms(Reader& r, Map& map) {
    const std::int32_t count = r.Count("alarms", AlarmBytes);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        Alarm alarm;
        alarm.Name(r.Text());
        alarm.Active(r.Bool());
        alarm.ShowCollision(r.Bool());
        alarm.ExecuteOnce(r.Bool());
        const std::vector<BehaviourEntry> behaviour = r.Behaviour();
        if (!r.Ok()) return;
        Apply(behaviour, alarm.GetBehavior());
        r.Shapes(alarm);
        const std::int32_t local = r.LocalVariable();
        if (!r.Ok()) return;
        ApplyLocalVariable(local, alarm);
        map.Add(alarm);
    }
}

void PlayMapMusic(Reader& r) {
    const std::int32_t kind = r.Int();
    if (kind == 0) return;
    const String name = r.Text();
    if (!r.Ok()) return;
    if (kind == 1)
        StreamedSoundPTR(static_cast<const char*>(name))->Play();
    else
        MidiFilePTR(static_cast<const char*>(name))->Play();
}

void ReadMap(Reader& r, GameNode& level, std::int32_t kind) {
    const String name = r.Text(), bitmap = r.FileName();
    const std::int32_t z = r.Int();
    std::int32_t x = 0, y = 0;
    bool relative = true;
    QelRect area = zrect;
    if (kind != Map::MasterMap) {
        x = r.Int();
        y = r.Int();
        relative = r.Bool();
        area = r.Rect();
    }
    const float speedX = r.Float(), speedY = r.Float();
    const float ratioX = kind != Map::MasterMap ? r.Float() : 0.0f;
    const float ratioY = kind != Map::MasterMap ? r.Float() : 0.0f;
    const bool transparent = r.Bool();
    const std::uint32_t colour = r.UInt();
    const bool visible = r.Bool(), pause = r.Bool(), unused = r.Bool();
    std::uint32_t gridSize = 128;
    bool showCollision = false;
    if (kind != Map::WrappedMap) {
        gridSize = static_cast<std::uint32_t>(r.Int());
        showCollision = r.Bool();
    }
    const std::vector<BehaviourEntry> behaviour = r.Behaviour();
    // The bitmap is set up only for a map whose settings are all there.
    if (!r.Ok()) return;
    Map map(name, bitmap, static_cast<Map::MapType>(kind), z, x, y, relative, area);
    map.SpeedX(speedX);
    map.SpeedY(speedY);
    if (kind != Map::MasterMap) {
        map.ScrollRatioX(ratioX);
        map.ScrollRatioY(ratioY);
    }
    map.UseTransparency(transparent);
    map.TransparencyColor(colour);
    map.Visible(visible);
    map.Pause(pause);
    map.Unused(unused);
    map.SpacePartitionGridSize(gridSize);
    map.ShowMapCollision(showCollision);
    Apply(behaviour, map.GetBehavior());
    if (kind != Map::WrappedMap) {
        ReadAlarms(r, map);
        r.Shapes(map);
    }
    const std::int32_t local = r.LocalVariable();
    if (!r.Ok()) return;
    ApplyLocalVariable(local, map);
    level.Add(map);
    if (kind == Map::MasterMap) PlayMapMusic(r);
}

void ReadMaps(Reader& r, GameNode& level) {
    r.Section("maps");
    const std::int32_t count = r.Count("maps", MapBytes);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        const std::int32_t kind = r.Int();
        if (r.Ok() && kind >= Map::MasterMap && kind <= Map::WrappedMap) ReadMap(r, level, kind);
    }
}

void ReadSpritePaths(Reader& r, Sprite& s) {
    if (r.Bool()) {
        const std::uint32_t machine = r.UInt(), state = r.UInt();
        const bool show = r.Bool();
        const bool hasRoute = r.Bool();
        const std::uint32_t station = hasRoute ? r.UInt() : 0;
        if (!r.Ok()) return;
        s.ApplyPathStateMachine(machine);
        s.ChangePathState(state);
        s.ShowPath(show);
        if (hasRoute) s.ShortestPath(station);
    }
    if (r.Bool()) {
        const float dx = r.Float(), dy = r.Float();
        const std::uint32_t smooth = r.UInt();
        if (r.Ok()) s.VectorDirection(dx, dy, smooth);
    } else {
        const float angle = r.Float(), smooth = r.Float();
        if (r.Ok()) s.VectorAngle(angle, smooth);
    }
}

void ReadSpriteMotion(Reader& r, Sprite& s) {
    s.Canned(r.Bool());
    s.CannedHDirection(r.Bool());
    s.CannedVDirection(r.Bool());
    s.DoNotCutDirection(r.Bool());
    s.ShowVectorOfTranslation(r.Bool());
    s.CollisionType(r.Bool());
    const float speed = r.Float();
    const std::int32_t variables = r.Int();
    const bool showBox = r.Bool(), showCollision = r.Bool();
    if (variables > Sprite::MaxLocalVariables)
        r.Fail("a sprite has %d local variables, more than %d", variables, Sprite::MaxLocalVariables);
    if (!r.Ok()) return;
    s.Speed(speed);
    s.VariableNumber(variables);
    s.ShowSpriteBoundingBox(showBox);
    s.ShowSpriteCollision(showCollision);
    const std::int32_t alarms = r.Count("sprite alarms", AlarmNameBytes);
    for (std::int32_t i = 0; i < alarms && r.Ok(); ++i) {
        const String alarm = r.Text();
        if (r.Ok()) s.AddAlarm(alarm);
    }
    if (r.Bool()) {
        const std::int32_t pattern = r.Int();
        const bool start = r.Bool();
        bool loop = false, backToStart = false;
        if (start) {
            loop = r.Bool();
            backToStart = r.Bool();
        }
        const bool show = r.Bool();
        if (!r.Ok()) return;
        s.ApplyMovementPattern(pattern);
        if (start) s.StartMovementPattern(loop, backToStart);
        s.ShowMovementPattern(show);
    }
    const bool gravity = r.Bool();
    const float gravityPercent = r.Float(), gravityFriction = r.Float();
    const bool pause = r.Bool();
    if (!r.Ok()) return;
    s.Gravity(gravity, gravityPercent);
    s.GravityFriction(gravityFriction);
    s.Pause(pause);
}

void ReadSprite(Reader& r, GameNode& level) {
    Sprite s;
    s.Name(r.Text());
    s.Visible(r.Bool());
    const bool unused = r.Bool();
    s.Reflection(r.Bool());
    s.MainCharacter(r.Bool());
    s.networkPlayer = r.Bool();
    const String map = r.Text();
    const std::uint32_t z = r.UInt();
    const std::int32_t actor = r.Int(), animation = r.Int(), frame = r.Int();
    const bool peg = r.Bool();
    const float x = r.Float(), y = r.Float();
    if (!r.Ok()) return;
    s.Unused(unused);
    s.BelongToMap(map);
    s.ZOrder(z);
    s.ActorIndex(actor);
    s.Animation(animation);
    s.Frame(frame);
    s.PegRegistered(peg);
    s.MapPositionX(x, false);
    s.MapPositionY(y, false);
    s.CheckCollisionWithMap(r.Bool());
    s.DisplayListNumber(r.Int());
    const float friction = r.Float();
    if (!r.Ok()) return;
    s.Friction(friction);
    s.ActivateCollisionWithSprite(r.Bool());
    s.CheckCollisionWithSprite(r.Bool());
    s.CheckSameDisplayList(r.Bool());
    s.GhostCollisionWithSprite(r.Bool());
    s.GhostCollisionWithMap(r.Bool());
    const std::vector<BehaviourEntry> behaviour = r.Behaviour();
    if (!r.Ok()) return;
    Apply(behaviour, s.behavior);
    ReadSpritePaths(r, s);
    if (r.Ok()) ReadSpriteMotion(r, s);
    const std::int32_t local = r.LocalVariable();
    if (!r.Ok()) return;
    ApplyLocalVariable(local, s);
    level.Add(s);
}

void ReadSprites(Reader& r, GameNode& level) {
    r.Section("sprites");
    const std::int32_t count = r.Count("sprites", SpriteBytes);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) ReadSprite(r, level);
}

void ReadScrollKeys(Reader& r, Variable& v, bool horizontal) {
    const std::int32_t first = r.Int(), second = r.Int();
    const std::uint32_t delta = r.UInt();
    const bool triggered = r.Bool();
    if (horizontal) {
        v.HScrollLeftKey(first);
        v.HScrollRightKey(second);
        v.HDeltaScroll(delta);
        v.HScrollTriggered(triggered);
    } else {
        v.VScrollUpKey(first);
        v.VScrollDownKey(second);
        v.VDeltaScroll(delta);
        v.VScrollTriggered(triggered);
    }
}

void ReadTextLook(Reader& r, Variable& v) {
    v.Name(r.Text());
    v.Visible(r.Bool());
    v.Unused(r.Bool());
    const String font = r.Text();
    const std::uint32_t width = r.UInt();
    const float height = r.Float();
    const std::uint32_t weight = r.UInt(), colour = r.UInt();
    const bool italic = r.Bool(), strikeOut = r.Bool(), underline = r.Bool();
    const QelRect frame = r.Rect();
    const bool showFrame = r.Bool();
    const std::uint32_t frameColour = r.UInt();
    if (!r.Ok()) return;
    v.FontName(font);
    v.Width(width);
    v.Height(height);
    v.Weight(weight);
    v.Color(colour);
    v.Italic(italic);
    v.StrikeOut(strikeOut);
    v.Underline(underline);
    v.Frame(frame);
    v.ShowFrame(showFrame);
    v.FrameColor(frameColour);
}

void ReadTextPlace(Reader& r, Variable& v) {
    const bool inWorld = r.Bool();
    v.InWorld(inWorld);
    if (inWorld) v.ActivateOutOfViewport(r.Bool());
    if (r.Bool()) {
        const String map = r.Text();
        const bool topMost = r.Bool();
        if (!r.Ok()) return;
        v.BelongToMap(map);
        v.TopMost(topMost);
    } else if (r.Bool()) {
        if (r.Ok()) v.CenterViewport();
    }
}

void ReadTextLayout(Reader& r, Variable& v) {
    const std::int32_t type = r.Int();
    if (!r.Ok()) return;
    if (type >= Variable::RespectingWords && type <= Variable::HVScrolling) {
        v.DisplayType(static_cast<Variable::DisplayTypes>(type));
        if (type == Variable::HorizontalScrolling || type == Variable::HVScrolling) ReadScrollKeys(r, v, true);
        if (type == Variable::VerticalScrolling || type == Variable::HVScrolling) ReadScrollKeys(r, v, false);
        if (type >= Variable::HorizontalScrolling) {
            v.ArrowsSize(r.UInt());
            v.ArrowsColor(r.UInt());
        }
    }
    v.TopMargin(static_cast<unsigned int>(r.Int()));
    v.LeftMargin(static_cast<unsigned int>(r.Int()));
    v.LineSpacing(static_cast<unsigned int>(r.Int()));
    v.LetterSpacing(static_cast<unsigned int>(r.Int()));
    v.LeadingSpaces(r.Bool());
    const std::int32_t effect = r.Int();
    const std::uint32_t firstDelay = r.UInt(), secondDelay = r.UInt();
    if (!r.Ok()) return;
    if (effect >= Variable::NoEffect && effect <= Variable::SequentialDecoding)
        v.Effect(static_cast<Variable::EffectType>(effect));
    v.Delay(firstDelay, secondDelay);
}

void ReadText(Reader& r, GameNode& level) {
    Variable v;
    ReadTextLook(r, v);
    if (r.Ok()) ReadTextPlace(r, v);
    if (r.Ok()) ReadTextLayout(r, v);
    if (r.Ok() && r.Bool()) {
        const String sound = r.Text();
        if (r.Ok()) v.LetterSound(sound);
    }
    if (r.Ok() && r.Bool()) {
        const String file = r.FileName();
        if (r.Ok()) v.LoadTextFile(file);
    } else if (r.Ok()) {
        ReadValue(r, v);
    }
    const bool integerPart = r.Bool(), pause = r.Bool();
    const std::vector<BehaviourEntry> behaviour = r.Behaviour();
    const std::int32_t local = r.LocalVariable();
    if (!r.Ok()) return;
    v.OnlyIntegerPart(integerPart);
    v.Pause(pause);
    Apply(behaviour, v.GetBehavior());
    ApplyLocalVariable(local, v);
    level.Add(v);
}

void ReadTexts(Reader& r, GameNode& level) {
    r.Section("texts");
    const std::int32_t count = r.Count("texts", TextBytes);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) ReadText(r, level);
}

// The level takes the system at the front of its list and counts it.
void AddParticleSystem(GameNode& level, ParticleSystem* system) {
    level.IdCounter(GameNode::ParticleSystemIds, level.IdCounter(GameNode::ParticleSystemIds) + 1);
    level.ParticleSystems().add(system);
}

void ReadParticleSystems(Reader& r, GameNode& level) {
    r.Section("particle systems");
    const std::int32_t count = r.Count("particle systems", ParticleSystemBytes);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        const std::uint32_t particles = r.UInt();
        const std::int32_t init = r.Int(), update = r.Int();
        const String name = r.Text(), map = r.Text();
        const float gravity = r.Float(), x = r.Float(), y = r.Float();
        const bool unused = r.Bool(), pause = r.Bool();
        if (!r.Ok()) return;
        if (particles > MaxParticles) {
            r.Fail("particle system %s has %u particles, more than %u", static_cast<const char*>(name), particles,
                   MaxParticles);
            return;
        }
        auto* system = new ParticleSystem(particles, init, update);
        system->Name(name);
        system->BelongToMap(map);
        system->Gravity(gravity);
        system->MapPositionX(x);
        system->MapPositionY(y);
        system->Unused(unused);
        system->Pause(pause);
        AddParticleSystem(level, system);
    }
}

}  // namespace

bool ReadLevel(Reader& r, GameNode& level) {
    ReadHeader(r, level);
    // The contents go to the level being built, which is the current one.
    GameNode& current = gNode != nullptr ? *gNode : level;
    if (r.Ok()) ReadCursor(r);
    if (r.Ok()) ReadSounds(r, current);
    if (r.Ok()) ReadVariables(r, current);
    if (r.Ok()) ReadMaps(r, current);
    if (r.Ok()) ReadSprites(r, current);
    if (r.Ok()) ReadTexts(r, current);
    if (r.Ok()) ReadParticleSystems(r, current);
    return r.Ok();
}

}  // namespace gamefile

void GenerateLevel(GameNode* level) {
    gamefile::ReadLevelPart("void GenerateLevel(GameNode *)", level, gamefile::ReadLevel);
}

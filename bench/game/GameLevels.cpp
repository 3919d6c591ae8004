// The game as nolt runs it (its hooks, the shared engine, a real window and
// display, frames drawn and presented at 60 fps), driven through the levels
// named on the command line in that order after the Menu: the engine's side
// of the benches that measure the game's own process (level_switch,
// game_idle). Arguments:
//   --no-thp       refuse transparent huge pages to the process, as a system
//                  set to "never" does
//   --frames N     frames to stay in each level (20)
//   --idle N       then N frames in the last level, measured
//   --plan FILE    write each level's bitmaps and the blits of its last
//                  frame, for the bare-SDL reference (bench/game/SdlLevels.cpp)
//   --all          every level in the order of play after the Menu
//   LEVEL...       the levels to enter
// Prints one line per switch ("switch NAME CPU_MS WALL_MS": the whole
// process's CPU from the left level's exit to the first message read after
// the new level is built, the loading screen included), one per level at its
// last frame ("level NAME RESIDENT_MIB HEAP_IN_USE_MIB HEAP_ARENA_MIB"), and
// with --idle one more ("idle NAME CPU_MS_PER_FRAME FRAME_MS SPREAD_MS
// FARTHEST_MS").
#include <malloc.h>
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "logic/GameDeclarations.h"
#include "platform/MessageQueue.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/QelMain.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "sound/StreamedSound.h"
#include "world/Map.h"
#include "world/ViewPort.h"

#include "LevelRunOptions.h"

extern const qel::ResourceTable noltResources;

namespace {

using Clock = std::chrono::steady_clock;

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

levelrun::Options options;

// --- the switch's start: the exit hook of the level left ---

std::map<GameNode*, LevelFunction> gameExitHooks;
double switchCpu = 0;
Clock::time_point switchWall;
bool switching = false;

void ExitHook(GameNode* leaving) {
    switchCpu = CpuMs();
    switchWall = Clock::now();
    switching = true;
    if (const LevelFunction own = gameExitHooks[leaving]) own(leaving);
}

void HookEveryExit() {
    for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next()) {
        auto* level = static_cast<GameNode*>(n);
        gameExitHooks[level] = level->OnLevelExitP;
        level->OnLevelExitP = ExitHook;
    }
}

std::vector<std::string> PlayOrderAfterMenu() {
    std::map<int, std::string> byId;
    for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next())
        byId[static_cast<GameNode*>(n)->Id()] = static_cast<GameNode*>(n)->Name();
    std::vector<std::string> order;
    for (const auto& [id, name] : byId)
        if (name != "Menu") order.push_back(name);
    return order;
}

// --- the plan for the reference: each level's bitmaps and one frame's blits ---

const std::string Art = "Art Assets/";

struct Blit {
    std::size_t file;
    int sx, sy, w, h, dx, dy;
    bool keyed;
    unsigned long key;  // COLORREF, 0x00BBGGRR
};

std::size_t FileIndex(std::vector<std::string>& files, const std::string& path) {
    const auto at = std::find(files.begin(), files.end(), path);
    if (at != files.end()) return std::size_t(at - files.begin());
    files.push_back(path);
    return files.size() - 1;
}

// The map's part in view, as DisplayMap blits it.
void MapBlits(std::vector<std::string>& files, std::vector<Blit>& blits) {
    for (node* n = gNode->Maps().Head(); !n->EOList(); n = n->Next()) {
        auto* map = static_cast<Map*>(n);
        const std::size_t file = FileIndex(files, Art + "Maps/" + map->FileName());
        if (!map->Visible()) continue;
        const bool keyed = map->UseTransparency();
        if (map->Type() == Map::MasterMap) {
            const QelRect view = gNode->GetViewPort().IntWorldRect();
            const int left = std::max(0, view.left), top = std::max(0, view.top);
            const int right = std::min(int(map->Width()), view.right);
            const int bottom = std::min(int(map->Height()), view.bottom);
            if (right > left && bottom > top)
                blits.push_back({file, left, top, right - left, bottom - top, 0, 0, keyed, map->TransparencyColor()});
        } else {
            const int x = int(std::lround(map->ViewPortOffsetX())), y = int(std::lround(map->ViewPortOffsetY()));
            blits.push_back({file, 0, 0, int(map->Width()), int(map->Height()), x, y, keyed, map->TransparencyColor()});
        }
    }
}

// The sprites drawn, in display-list order.
void SpriteBlits(std::vector<std::string>& files, std::vector<Blit>& blits) {
    for (int list = 0; list < GameNode::DisplayListCount; ++list)
        for (node* n = gNode->DisplayList(list).Head(); !n->EOList(); n = n->Next()) {
            auto* sprite = static_cast<Sprite*>(n);
            const FrameElem* frame = sprite->DisplayedFrame();
            if (!sprite->Visible() || !frame || !*static_cast<const char*>(frame->FileName) || !sprite->InViewport())
                continue;
            const std::size_t file = FileIndex(files, Art + "Actors/" + static_cast<const char*>(frame->FileName));
            blits.push_back({file, 0, 0, frame->Width, frame->Height, sprite->ViewportX(), sprite->ViewportY(),
                             frame->UseColorKey, frame->TransparentColor});
        }
}

// Every actor bitmap the level's table holds, loaded at the switch.
void ActorFiles(std::vector<std::string>& files) {
    std::set<std::string> actors;
    for (SpriteElem& slot : SpriteList)
        for (std::int32_t a = 0; slot.Animations && a < slot.AnimationCount; ++a)
            for (std::int32_t f = 0; slot.Animations[a].Frames && f < slot.Animations[a].FrameCount; ++f)
                if (const char* file = slot.Animations[a].Frames[f].FileName) actors.insert(file);
    for (const std::string& a : actors) FileIndex(files, Art + "Actors/" + a);
}

void WritePlan(std::ofstream& out) {
    std::vector<std::string> files;
    std::vector<Blit> blits;
    MapBlits(files, blits);
    ActorFiles(files);
    SpriteBlits(files, blits);
    out << "level " << gNode->Name() << '\n';
    for (node* n = gNode->StreamedSounds().Head(); !n->EOList(); n = n->Next())
        if (auto* music = static_cast<StreamedSound*>(n); music->IsPlaying())
            out << "music " << Art << "Sounds/Music/" << music->FileName() << '\n';
    for (const std::string& f : files) out << "file " << f << '\n';
    for (const Blit& b : blits)
        out << "blit " << b.file << ' ' << b.sx << ' ' << b.sy << ' ' << b.w << ' ' << b.h << ' ' << b.dx << ' ' << b.dy
            << ' ' << (b.keyed ? 1 : 0) << ' ' << b.key << '\n';
    out << "end\n";
}

// --- frames ---

struct Idle {
    int left = 0;
    double cpuStart = 0;
    std::vector<double> lengths;
    Clock::time_point last;

    void Start(int frames) {
        left = frames;
        cpuStart = CpuMs();
        last = Clock::now();
    }
    // Called once a frame; true when done.
    bool Frame() {
        const Clock::time_point now = Clock::now();
        lengths.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        return --left == 0;
    }
    void Report(const char* level) const {
        const double n = double(lengths.size());
        double mean = 0, square = 0, farthest = 0;
        for (double l : lengths) mean += l / n;
        for (double l : lengths) {
            square += (l - mean) * (l - mean);
            farthest = std::max(farthest, std::fabs(l - mean));
        }
        std::printf("idle %s %.4f %.3f %.3f %.3f\n", level, (CpuMs() - cpuStart) / n, mean, std::sqrt(square / n),
                    farthest);
    }
};

class Driver {
public:
    void Frame() {
        if (myGame == nullptr || gNode == nullptr || done) return;
        if (!hooked) Begin();
        if (switching)
            EndSwitch();
        else if (inLevel < 0 && std::strcmp(gNode->Name(), order[next - 1].c_str()) == 0)
            inLevel = 0;  // entered without an exit hook before it: not timed
        if (idle.left > 0) {
            if (idle.Frame()) {
                idle.Report(gNode->Name());
                End();
            }
            return;
        }
        if (++inLevel < options.frames) return;
        LevelDone();
        if (next == order.size()) {
            if (options.idleFrames > 0 && idle.lengths.empty())
                idle.Start(options.idleFrames);
            else
                End();
            return;
        }
        myGame->LevelName(order[next++].c_str());
        inLevel = -1'000'000;  // until the switch is seen
    }

private:
    void Begin() {
        hooked = true;
        HookEveryExit();
        order = options.all ? PlayOrderAfterMenu() : options.levels;
        if (!options.plan.empty()) plan.open(options.plan);
    }

    void EndSwitch() {
        switching = false;
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - switchWall).count();
        std::printf("switch %s %.3f %.3f\n", gNode->Name(), CpuMs() - switchCpu, wall);
        inLevel = 0;
    }

    void LevelDone() {
        const struct mallinfo2 heap = mallinfo2();
        std::printf("level %s %.3f %.3f %.3f\n", gNode->Name(), ResidentMiB(), double(heap.uordblks) / 1048576.0,
                    double(heap.arena) / 1048576.0);
        if (plan.is_open()) WritePlan(plan);
        std::fflush(stdout);
    }

    void End() {
        done = true;
        std::fflush(stdout);
        myGame->EndGame();
    }

    bool hooked = false;
    bool done = false;
    std::vector<std::string> order;
    std::size_t next = 0;
    int inLevel = 0;
    std::ofstream plan;
    Idle idle;
};

}  // namespace

int main(int argc, char** argv) {
    if (!levelrun::ReadOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--no-thp] [--frames N] [--idle N] [--plan FILE] (--all | LEVEL...)\n",
                     argv[0]);
        return 2;
    }
    InstallGameHooks();
    Driver driver;
    qel::SetFrameHook([&driver] { driver.Frame(); });
    char commandLine[] = "";
    constexpr int ShowNormal = 1;
    const int result = QelMain(&noltResources, nullptr, commandLine, ShowNormal);
    qel::SetFrameHook({});
    return result;
}

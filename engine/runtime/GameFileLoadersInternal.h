// The readers behind the game-file loaders: the values and records of the
// binary game and level files, their limits and the parts of each file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "foundation/String.h"
#include "foundation/Types.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "runtime/GameFileLoaders.h"

class Behavior;
class File;

namespace gamefile {

// Path state machines keep a table per pair of stations and route over all
// of them: more stations than this are taken as corrupt data.
constexpr std::int32_t MaxPathStations = 1024;
// Particles are made, not read: a larger system is taken as corrupt data.
constexpr std::uint32_t MaxParticles = 1u << 16;
// Display modes the engine can be asked for.
constexpr std::int32_t MaxDisplaySide = 16384;

// Stored sizes of the values, and of the common records at their shortest,
// from which each loader derives the smallest size of its records: a count
// that more records of that size than the bytes left would need is corrupt.
namespace stored {
constexpr long Int = 4, Float = 4, Bool = 1, Byte = 1, Rect = 16;
constexpr long EmptyText = Int;       // the length 0 alone
constexpr long EmptyBehaviour = Int;  // a count of 0
constexpr long EmptyShapes = Int;     // a count of 0
constexpr long LocalVariable = Int;
// A behaviour entry of a kind beyond 2 is its kind alone.
constexpr long ShortestBehaviourEntry = Int;
// The shorter shape is a circle: its flag, centre, radius, id and type.
constexpr long ShortestShape = Bool + 3 * Float + Int + Byte;
}  // namespace stored

// One entry of a behaviour record: kind 0 function, 1 state machine, 2 timer.
struct BehaviourEntry {
    std::int32_t kind;
    std::uint32_t number;
    bool active;
};

// Reads the values of a game or level file and keeps the first fault found,
// worded for the user. A read past the end yields zeros and is a fault too.
class Reader {
public:
    explicit Reader(File& file) : file(file) {}

    // True while neither the data nor the file has failed.
    bool Ok();
    // The fault, or "" while Ok().
    const std::string& Fault();
    // Records a fault (the first one stays) and puts the file in error.
    void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Names the part being read, for the message of a file that ends early.
    void Section(const char* name) { section = name; }

    std::int32_t Int();
    std::uint32_t UInt();
    float Float();
    double Double();
    bool Bool();
    std::uint8_t Byte();
    void Raw(void* p, int n);
    QelRect Rect();
    // An int32 length and that many bytes.
    String Text();
    // A text naming a file (a bitmap, sound, music, text or level file): one
    // that leaves its folder is a fault.
    String FileName();
    // A count read as int32: negative, or more records of at least recordBytes
    // each than the bytes left can hold, is a fault and reads as 0.
    std::int32_t Count(const char* what, long recordBytes);

    // The common records of both files.
    std::vector<BehaviourEntry> Behaviour();
    CollisionSegment Segment();
    CollisionCircle Circle();
    // -1 for none, else the local-data index.
    std::int32_t LocalVariable() { return Int(); }

    // A collision-shape list, each shape handed to owner.AddCollisionData.
    template <class Owner>
    void Shapes(Owner& owner) {
        const std::int32_t n = Count("collision shapes", stored::ShortestShape);
        for (std::int32_t i = 0; i < n && Ok(); ++i) {
            if (Bool()) {
                CollisionSegment s = Segment();
                if (Ok()) owner.AddCollisionData(s);
            } else {
                CollisionCircle c = Circle();
                if (Ok()) owner.AddCollisionData(c);
            }
        }
    }

    File& file;

private:
    std::string fault;
    const char* section = "";
};

// The behaviour record's entries added to the owner's behaviour.
void Apply(const std::vector<BehaviourEntry>& entries, Behavior& behaviour);
// Passes the local-data index to the owner unless it is -1.
template <class Owner>
void ApplyLocalVariable(std::int32_t index, Owner& owner) {
    if (index != -1) owner.AddLocalVariable(static_cast<unsigned int>(index));
}

// The parts of the files, read with `r`; false (with r.Fault()) when the data
// is corrupt. The logic tables and the levels change only when their whole
// part reads well.
bool ReadMode(Reader& r);
bool ReadLogic(Reader& r);
bool ReadLevels(Reader& r);
bool ReadActors(Reader& r, GameNode& level);
bool ReadLevel(Reader& r, GameNode& level);

// Run a part on _GameFile or _LevelFile: with no file open (or no level) a
// user error under the signature; a corrupt file ends the program.
void ReadGamePart(const char* signature, bool (*part)(Reader&));
void ReadLevelPart(const char* signature, GameNode* level, bool (*part)(Reader&, GameNode&));

}  // namespace gamefile

// Repeatable random numbers: the Park-Miller minimal standard generator with a
// Bays-Durham shuffle, whose whole state is saved with a game.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"

class QEL_API Random : public node {
public:
    Random();

    // The next draw initialises the generator from s.
    void Seed(unsigned int s);
    // A float in (0, 0.99999988].
    float Next();
    float Float(float max);
    // 0 <= result < n (0 when n is 0).
    unsigned int Int(unsigned int n);

    // iy, idum and the 32 table entries, each int32 (136 bytes).
    void Save(File& file) override;
    // A record that no generator could have written marks the file in error
    // and leaves this generator as it was.
    void Load(File& file) override;
    const char* ClassName() const override;

    static node* CreateObject();
    static CREATE cr;

    static constexpr int tableSize = 32;

private:
    std::int32_t iy;
    std::int32_t idum;
    std::int32_t table[tableSize];
};

// The engine's float and integer generators (saved with a level).
QEL_API Random& FloatGenerator();
QEL_API Random& IntegerGenerator();

QEL_API float RandFlt(float max);
QEL_API unsigned int RandInt(unsigned int n);
// Seeds the float generator with s and the integer generator with s + 77.
QEL_API void RandReset(unsigned int s);

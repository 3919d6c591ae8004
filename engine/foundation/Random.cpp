#include "foundation/Random.h"

#include <bit>
#include "foundation/File.h"

namespace {

constexpr std::int32_t multiplier = 16807;
constexpr std::int32_t modulus = 2147483647;
constexpr std::int32_t schrageQ = 127773;
constexpr std::int32_t schrageR = 2836;
constexpr std::uint32_t tableDivisor = 1 + (modulus - 1) / Random::tableSize;
constexpr int warmUp = 8;
constexpr int recordBytes = (2 + Random::tableSize) * 4;

// 1/(2^31 - 1) in single precision is exactly 2^-31.
constexpr float scale = std::bit_cast<float>(0x30000000u);
constexpr float largest = std::bit_cast<float>(0x3F7FFFFEu);

// One Park-Miller step by Schrage's method; idum is in 1..2^31-1, so nothing overflows.
std::int32_t Advance(std::int32_t idum) {
    std::int32_t k = idum / schrageQ;
    std::int32_t next = multiplier * (idum - k * schrageQ) - schrageR * k;
    return next < 0 ? next + modulus : next;
}

}  // namespace

CREATE Random::cr("Random", Random::CreateObject);

node* Random::CreateObject() { return new Random; }

Random::Random() : iy(0), idum(0), table{} {}

const char* Random::ClassName() const { return "Random"; }

void Random::Seed(unsigned int s) {
    auto asSigned = static_cast<std::int32_t>(s);
    // Negated in 64 bits: a seed of 2^31 leaves idum at INT_MIN, which the
    // next draw treats as 1.
    idum = asSigned < 1 ? asSigned : static_cast<std::int32_t>(-static_cast<std::int64_t>(asSigned));
}

float Random::Next() {
    if (idum <= 0 || iy == 0) {
        std::int64_t start = -static_cast<std::int64_t>(idum);
        idum = start < 1 || start > modulus ? 1 : static_cast<std::int32_t>(start);
        for (int j = tableSize + warmUp - 1; j >= 0; --j) {
            idum = Advance(idum);
            if (j < tableSize) table[j] = idum;
        }
        iy = table[0];
    }
    idum = Advance(idum);
    // Unsigned and masked: even a value no generator makes stays in the table.
    std::uint32_t j = (static_cast<std::uint32_t>(iy) / tableDivisor) % tableSize;
    iy = table[j];
    table[j] = idum;
    float temp = static_cast<float>(iy) * scale;
    return temp > largest ? largest : temp;
}

float Random::Float(float max) { return Next() * max; }

unsigned int Random::Int(unsigned int n) {
    // A draw is a whole number of 2^-31 steps, so the product is taken exactly
    // in integers and truncated: every build and every peer agrees.
    auto steps = static_cast<std::uint64_t>(Next() * 2147483648.0f);
    return static_cast<unsigned int>((steps * n) >> 31);
}

void Random::Save(File& file) {
    file.Write(iy);
    file.Write(idum);
    for (std::int32_t entry : table) file.Write(entry);
}

void Random::Load(File& file) {
    if (file.BytesLeft() < recordBytes) {
        file.SetError();
        return;
    }
    std::int32_t storedIy = 0;
    std::int32_t storedIdum = 0;
    std::int32_t storedTable[tableSize];
    file.Read(storedIy);
    file.Read(storedIdum);
    bool valid = storedIy >= 0;
    for (std::int32_t& entry : storedTable) {
        file.Read(entry);
        valid = valid && entry >= 0;
    }
    // Outputs and table entries are never negative; idum of any value is
    // handled by the next draw.
    if (!valid || file.HasError()) {
        file.SetError();
        return;
    }
    iy = storedIy;
    idum = storedIdum;
    for (int i = 0; i < tableSize; ++i) table[i] = storedTable[i];
}

Random& FloatGenerator() {
    static Random generator;
    return generator;
}

Random& IntegerGenerator() {
    static Random generator;
    return generator;
}

float RandFlt(float max) { return FloatGenerator().Float(max); }

unsigned int RandInt(unsigned int n) { return IntegerGenerator().Int(n); }

void RandReset(unsigned int s) {
    FloatGenerator().Seed(s);
    IntegerGenerator().Seed(s + 77);
}

namespace {

// The engine's generators start from a fixed seed when the library loads.
const bool seededAtLoad = (RandReset(1), true);

}  // namespace

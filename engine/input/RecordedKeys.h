// The keys held in every recorded frame, kept flat as the replay file keeps
// them: all frames' scan codes one after another in one block, and where each
// frame's codes end. A frame costs its codes and four bytes, with no heap
// block of its own, and a whole file's frames load into two blocks.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

// The scan codes held in one frame, in the order recorded.
using KeyboardInputKeys = std::span<const unsigned char>;

class RecordedKeys {
public:
    // The most codes a recording holds, as the replay file counts them; a
    // frame past it is not recorded.
    static constexpr std::size_t MaxCodes = 0x7FFFFFFF;

    // Number of frames.
    unsigned int Size() const { return static_cast<unsigned int>(ends.size()); }

    // Frame f's codes; f must be below Size().
    KeyboardInputKeys operator[](unsigned int f) const {
        const std::uint32_t begin = f ? ends[f - 1] : 0;
        return {codes.data() + begin, ends[f] - begin};
    }

    // Appends a frame; false, recording nothing, once the codes would pass MaxCodes.
    bool Add(KeyboardInputKeys held) {
        if (held.size() > MaxCodes - codes.size() || ends.size() >= MaxCodes) return false;
        MakeRoom(codes, held.size());
        codes.insert(codes.end(), held.begin(), held.end());
        MakeRoom(ends, 1);
        ends.push_back(static_cast<std::uint32_t>(codes.size()));
        return true;
    }
    bool Add(std::initializer_list<unsigned char> held) { return Add(KeyboardInputKeys(held.begin(), held.size())); }

    // Room for `frames` more frames holding `codeCount` codes in all, made at once.
    void Reserve(std::size_t frames, std::size_t codeCount) {
        codes.reserve(codes.size() + codeCount);
        ends.reserve(ends.size() + frames);
    }

    // Empties the recording and gives its memory back.
    void Clear() {
        std::vector<unsigned char>().swap(codes);
        std::vector<std::uint32_t>().swap(ends);
    }

private:
    // Grows by half rather than doubling: an hour's recording leaves less room unused.
    template <class V>
    static void MakeRoom(V& v, std::size_t more) {
        if (v.size() + more > v.capacity()) v.reserve(std::max(v.size() + more, v.capacity() + v.capacity() / 2));
    }

    std::vector<unsigned char> codes;
    std::vector<std::uint32_t> ends;
};

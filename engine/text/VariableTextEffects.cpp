// Variable's text effects: the text typed character by character, revealed
// line by line, flickering as scrambled letters, or decoded letter by letter
// at random or in reading order; each plays the variable's letter sound.
#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <vector>
#include "foundation/MessageTable.h"
#include "foundation/Random.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "text/TextDisplayInternal.h"
#include "text/TextLayoutInternal.h"

namespace {

[[maybe_unused]] const bool installed = TextDisplay::Install();

constexpr int MsgSoundMissing = 24;
constexpr int MsgEffectType = 50;

char* Prefix(const char* s, std::size_t n) {
    char* copy = new char[n + 1]();
    std::memcpy(copy, s, std::min(n, std::strlen(s)));
    return copy;
}

void Replace(char*& field, char* text) {
    delete[] field;
    field = text;
}

bool Scrambles(char c) { return c != '\n'; }

// A letter stays a letter of its case and a digit a digit; the rest stays.
char Scrambled(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isupper(u)) return Variable::ASCIIRandUpperChar();
    if (std::islower(u)) return Variable::ASCIIRandLowerChar();
    if (std::isdigit(u)) return Variable::ASCIIRandNumber();
    return c;
}

std::int64_t KeptLength(const Variable& v) { return v.m_KeptText ? std::int64_t(std::strlen(v.m_KeptText)) : 0; }

// The first EffectLength characters of the kept text (never more than it has).
std::size_t ScreenfulLength(const Variable& v) {
    return std::size_t(std::clamp<std::int64_t>(v.m_EffectLength, 0, KeptLength(v)));
}

bool Ready(const Variable& v, bool needsSecond) {
    return v.m_FirstDelay != 0 && v.m_KeptText && (!needsSecond || v.m_SecondDelay != 0);
}

// One frame off a delay count, never below 0 (a saved count may be any value).
void CountDown(std::int32_t& count) { count = count > 0 ? count - 1 : 0; }

// One frame of the step delay; true when a step happens now.
bool Tick(Variable& v) {
    CountDown(v.m_FirstDelayCount);
    if (v.m_FirstDelayCount != 0) return false;
    v.m_FirstDelayCount = v.m_FirstDelay;
    return true;
}

void Finish(Variable& v) {
    v.m_EffectFinished = true;
    v.m_EffectStarted = false;
    if (v.m_KeptText) {
        const std::size_t n = std::min<std::size_t>(v.m_TextLength, std::strlen(v.m_KeptText));
        Replace(v.m_DisplayedText, Prefix(v.m_KeptText, n));
    }
    Replace(v.m_KeptText, nullptr);
    if (v.m_EffectType == Variable::CharacterByCharacterEffect) v.m_EffectLength = 0;
    if (v.m_EffectType >= Variable::ASCIIEffect) v.Play();
}

// The screenful with every position still hidden scrambled.
void ShowScrambledHidden(Variable& v) {
    const std::size_t n = ScreenfulLength(v);
    std::vector<bool> hidden(n, false);
    for (std::int32_t k = 0; k < v.m_EffectLength && v.m_IndexArray[k] != -1; ++k)
        if (v.m_IndexArray[k] >= 0 && std::size_t(v.m_IndexArray[k]) < n) hidden[std::size_t(v.m_IndexArray[k])] = true;
    char* text = Prefix(v.m_KeptText, n);
    for (std::size_t i = 0; i < n; ++i)
        if (hidden[i] && Scrambles(text[i])) text[i] = Scrambled(text[i]);
    Replace(v.m_DisplayedText, text);
}

void NewIndexArray(Variable& v) {
    const std::int32_t n = std::max(v.m_EffectLength, 0);
    std::int32_t* entries = new std::int32_t[std::size_t(n) + 1];
    for (std::int32_t i = 0; i < n; ++i) entries[i] = i;
    entries[n] = -1;
    delete[] v.m_IndexArray;
    v.m_IndexArray = entries;
}

enum class Reveal { Letter, Skipped, End };

// The kept character at a position: letters and digits are revealed; what is
// neither is taken out silently; the end of the text ends the effect.
Reveal Classify(const Variable& v, std::int32_t position, std::int64_t keptLength) {
    const unsigned char c =
        position >= 0 && position < keptLength ? static_cast<unsigned char>(v.m_KeptText[position]) : 0;
    if (c == 0) return Reveal::End;
    return std::isalnum(c) ? Reveal::Letter : Reveal::Skipped;
}

// The live entries of the index array while one step looks for the next
// letter to reveal. A long run of spaces is taken out entry by entry, as
// RandIndexArray and UpdateIndexArray would, but the k-th live entry is found
// in log time and the array is closed up once at the end, so a text of any
// length costs one pass per step instead of one per character taken out.
class LiveEntries {
public:
    explicit LiveEntries(Variable& v) : v(v) {
        while (count < v.m_EffectLength && v.m_IndexArray[count] != -1) ++count;
        left = count;
        removed.assign(std::size_t(count), false);
        tree.assign(std::size_t(count) + 1, 0);
        for (std::int32_t i = 1; i <= count; ++i) {
            tree[std::size_t(i)] += 1;
            const std::int32_t parent = i + (i & -i);
            if (parent <= count) tree[std::size_t(parent)] += tree[std::size_t(i)];
        }
    }
    ~LiveEntries() {
        std::int32_t to = 0;
        for (std::int32_t from = 0; from < count; ++from)
            if (!removed[std::size_t(from)]) v.m_IndexArray[to++] = v.m_IndexArray[from];
        std::fill(v.m_IndexArray + to, v.m_IndexArray + count, -1);
    }
    LiveEntries(const LiveEntries&) = delete;
    LiveEntries& operator=(const LiveEntries&) = delete;

    std::int32_t Left() const { return left; }

    // The array index of the k-th live entry (0 the first).
    std::int32_t Find(std::int32_t k) const {
        std::int32_t at = 0, rest = k + 1;
        for (auto step = std::int32_t(std::bit_floor(std::uint32_t(std::max(count, 1)))); step > 0; step >>= 1)
            if (at + step <= count && tree[std::size_t(at + step)] < rest) {
                at += step;
                rest -= tree[std::size_t(at)];
            }
        return at;
    }

    void Remove(std::int32_t index) {
        removed[std::size_t(index)] = true;
        --left;
        for (std::int32_t i = index + 1; i <= count; i += i & -i) --tree[std::size_t(i)];
    }

private:
    Variable& v;
    std::int32_t count = 0;
    std::int32_t left = 0;
    std::vector<bool> removed;
    std::vector<std::int32_t> tree;
};

// Common frame of effects 4 and 5: the scrambled screenful, then, when the
// second delay runs out, one more position revealed.
void DecodingFrame(Variable& v, bool inOrder) {
    if (!Ready(v, true) || !Tick(v)) return;
    if (v.m_AllRevealed || !v.m_IndexArray) {
        Finish(v);
        return;
    }
    ShowScrambledHidden(v);
    CountDown(v.m_SecondDelayCount);
    if (v.m_SecondDelayCount != 0) return;
    v.m_SecondDelayCount = v.m_SecondDelay;
    const std::int64_t keptLength = KeptLength(v);
    LiveEntries live(v);
    for (;;) {
        if (live.Left() == 0) {
            v.m_AllRevealed = true;
            return;
        }
        const std::int32_t k = inOrder ? 0 : std::int32_t(Variable::TextEffectGenerator().Int(unsigned(live.Left())));
        const std::int32_t index = live.Find(k);
        const Reveal r = Classify(v, v.m_IndexArray[index], keptLength);
        if (r == Reveal::End) {
            v.m_AllRevealed = true;
            return;
        }
        live.Remove(index);
        if (r == Reveal::Skipped) continue;
        if (inOrder) v.Play();
        return;
    }
}

}  // namespace

// Prepares the current effect for the current display text: the screenful
// that takes part, the delays, and the text kept aside.
void RestartVariableEffect(Variable& v) {
    const Variable::DisplayTypes type = v.m_DisplayType;
    if (type < Variable::RespectingWords || type > Variable::HVScrolling) return;
    v.m_LinesPerFrame = TextLayout::LinesPerFrame(v);
    const Variable::EffectType effect = v.m_EffectType;
    if (effect == Variable::NoEffect) return;
    if (effect != Variable::LineByLineEffect) {
        TextLayout layout(v, nullptr);
        v.m_EffectLength = textmath::ToInt32(layout.FirstScreenful(v.m_LinesPerFrame));
    }
    const bool delays = v.m_FirstDelay != 0 && (effect <= Variable::LineByLineEffect || v.m_SecondDelay != 0);
    if (delays) {
        v.m_FirstDelayCount = v.m_FirstDelay;
        if (effect == Variable::CharacterByCharacterEffect || effect == Variable::LineByLineEffect) v.m_ShownCount = 0;
        if (effect == Variable::LineByLineEffect) v.m_ShownLines = 0;
        if (effect >= Variable::ASCIIEffect) v.m_SecondDelayCount = v.m_SecondDelay;
        if (effect >= Variable::RandomDecoding) v.m_AllRevealed = false;
    }
    Replace(v.m_KeptText, nullptr);
    delete[] v.m_IndexArray;
    v.m_IndexArray = nullptr;
    if (!v.m_DisplayedText || !*v.m_DisplayedText) {
        v.m_ShownCount = 0;
        return;
    }
    v.m_KeptText = Prefix(v.m_DisplayedText, std::strlen(v.m_DisplayedText));
    if (effect == Variable::RandomDecoding || effect == Variable::SequentialDecoding) {
        const std::size_t n =
            std::min<std::size_t>(std::size_t(std::max(v.m_EffectLength, 0)), std::strlen(v.m_DisplayedText));
        std::memset(v.m_DisplayedText, 0, n + 1);
        NewIndexArray(v);
    } else {
        Replace(v.m_DisplayedText, nullptr);
    }
}

// An effect asked for while another runs starts again on the whole text.
void Variable::Effect(EffectType type) {
    if (type < NoEffect || type > SequentialDecoding) {
        UserError::Report("void Variable::Effect(EffectType)", "%s", MessageTable[MsgEffectType]);
        return;
    }
    if (type == NoEffect) return;
    m_EffectFinished = false;
    m_EffectType = type;
    if (!m_DisplayedText && !m_KeptText) return;
    if (m_KeptText) Replace(m_DisplayedText, Prefix(m_KeptText, std::strlen(m_KeptText)));
    InitEffects();
}

void Variable::Delay(unsigned int firstDelay, unsigned int secondDelay) {
    m_FirstDelay = m_FirstDelayCount = static_cast<std::int32_t>(firstDelay);
    m_SecondDelay = m_SecondDelayCount = static_cast<std::int32_t>(secondDelay);
}

void Variable::UpdateEffects() {
    switch (m_EffectType) {
        case CharacterByCharacterEffect: ChrChrEffect(); break;
        case LineByLineEffect: LnLnEffect(); break;
        case ASCIIEffect: AsciiEffect(); break;
        case RandomDecoding: RandomDecodingStep(); break;
        case SequentialDecoding: SequentialDecodingStep(); break;
        default: break;
    }
}

void Variable::ChrChrEffect() {
    if (!Ready(*this, false)) return;
    const std::int32_t length = std::int32_t(ScreenfulLength(*this));
    if (m_ShownCount >= length) {
        Finish(*this);
        return;
    }
    if (!Tick(*this)) return;
    m_ShownCount = std::max(m_ShownCount, 0) + 1;
    const char c = m_KeptText[m_ShownCount - 1];
    if (c != '\n' && c != ' ') Play();
    Replace(m_DisplayedText, Prefix(m_KeptText, std::size_t(m_ShownCount)));
}

void Variable::LnLnEffect() {
    if (!Ready(*this, false)) return;
    if (m_ShownLines >= m_LinesPerFrame) {
        Finish(*this);
        return;
    }
    if (!Tick(*this)) return;
    const std::int64_t length = KeptLength(*this);
    std::int64_t shown = std::clamp<std::int64_t>(m_ShownCount, 0, length);
    while (shown < length && m_KeptText[shown] != '\n') ++shown;
    if (shown < length) {
        ++shown;  // the line's '\n'
        if (shown == length) ++m_ShownLines;
    }
    ++m_ShownLines;
    m_ShownCount = std::int32_t(shown);
    Replace(m_DisplayedText, Prefix(m_KeptText, std::size_t(shown)));
    Play();
}

void Variable::AsciiEffect() {
    if (!Ready(*this, true) || !Tick(*this)) return;
    if (m_SecondDelayCount < 1) {
        Finish(*this);
        return;
    }
    const std::size_t n = ScreenfulLength(*this);
    char* text = Prefix(m_KeptText, n);
    for (std::size_t i = 0; i < n && text[i]; ++i) {
        if (!Scrambles(text[i])) continue;
        text[i] = Scrambled(text[i]);
        Play();
    }
    Replace(m_DisplayedText, text);
    --m_SecondDelayCount;
}

void Variable::RandomDecodingStep() { DecodingFrame(*this, false); }

void Variable::SequentialDecodingStep() { DecodingFrame(*this, true); }

bool Variable::IndexInIndexArray(int position) const {
    if (!m_IndexArray) return false;
    for (std::int32_t k = 0; k < m_EffectLength && m_IndexArray[k] != -1; ++k)
        if (m_IndexArray[k] == position) return true;
    return false;
}

void Variable::UpdateIndexArray(int entry) {
    if (!m_IndexArray || entry < 0 || entry >= m_EffectLength) return;
    std::copy(m_IndexArray + entry + 1, m_IndexArray + m_EffectLength + 1, m_IndexArray + entry);
}

int Variable::RandIndexArray() {
    std::int32_t live = 0;
    while (m_IndexArray && live < m_EffectLength && m_IndexArray[live] != -1) ++live;
    if (live == 0) {
        m_AllRevealed = true;
        return -1;
    }
    return static_cast<int>(TextEffectGenerator().Int(static_cast<unsigned int>(live)));
}

char Variable::ASCIIRandLowerChar() { return static_cast<char>('a' + TextEffectGenerator().Int(26)); }
char Variable::ASCIIRandUpperChar() { return static_cast<char>('A' + TextEffectGenerator().Int(26)); }
char Variable::ASCIIRandNumber() { return static_cast<char>('0' + TextEffectGenerator().Int(10)); }

int Variable::LinesCount(const char* text) {
    if (!text) return 0;
    return textmath::ToInt32(1 + std::count(text, text + std::strlen(text), '\n'));
}

void Variable::LetterSound(const char* soundName) {
    m_LetterSound = soundName && links.findSound ? links.findSound(soundName) : nullptr;
    if (!m_LetterSound)
        UserError::Report("void Variable::LetterSound(const char *)", MessageTable[MsgSoundMissing],
                          soundName ? soundName : "");
}

void Variable::Play() {
    if (m_LetterSound && links.playSound) links.playSound(m_LetterSound);
}

// The engine's dynamically typed value (a number, a pointer or a text) with the
// operators the game's behaviour code uses, and a text that can be displayed.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "foundation/Types.h"
#include "platform/Handles.h"

class Alarm;
class Behavior;
class File;
class List;
class Map;
class Random;
class SoundBase;
class Sprite;
class Variable;

// What a Variable needs from the level, the world, the sound and the text
// display, which sit above the foundation and fill these in when they start.
// An unset entry means "not found" or "nothing to do".
struct VariableLinks {
    // The current level's variables (null without a level).
    List* (*levelVariables)() = nullptr;
    // Adds the variable to the current level, which then owns it; false: refused.
    bool (*addToLevel)(Variable* v) = nullptr;
    Map* (*findMap)(const char* name) = nullptr;
    const char* (*mapName)(const Map* map) = nullptr;
    // Appends to the map's text-variable array (not owning).
    void (*addToMapTexts)(Map* map, Variable* v) = nullptr;
    SoundBase* (*findSound)(const char* name) = nullptr;
    const char* (*soundName)(const SoundBase* sound) = nullptr;
    // The text display: restart the effect, lay out and draw, (re)build the
    // font from the font fields and measure CharSizes, delete the font.
    void (*initEffects)(Variable& v) = nullptr;
    void (*displayText)(Variable& v) = nullptr;
    void (*buildFont)(Variable& v) = nullptr;
    void (*releaseFont)(Variable& v) = nullptr;
};

// The font description the text display builds its font from.
struct QelLogFont {
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 1;  // the default character set
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    char faceName[32] = {};
};

class QEL_API Variable : public node {
public:
    enum Tag : std::uint32_t { Number = 0, Pointer = 1, Text = 2 };
    enum DisplayTypes : std::int32_t {
        RespectingWords = 0,
        ConsecutiveCharacters = 1,
        HorizontalScrolling = 2,
        VerticalScrolling = 3,
        HVScrolling = 4,
        NoDisplay = 5
    };
    enum EffectType : std::int32_t {
        NoEffect = 0,
        CharacterByCharacterEffect = 1,
        LineByLineEffect = 2,
        ASCIIEffect = 3,
        RandomDecoding = 4,
        SequentialDecoding = 5
    };
    static constexpr int ValueTextSize = 50;
    static constexpr int RecordNameSize = 32;  // stored map and sound names

    // --- construction and copying ---
    Variable();
    Variable(double x);
    Variable(const int x);
    Variable(unsigned int x);
    Variable(const char* s);  // null is the empty text
    Variable(void* p);
    Variable(const Variable& other);
    Variable(Variable* other);
    Variable(const Variable* other);
    ~Variable() override;

    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;

    // Value and display text only; name, behaviour and text settings stay.
    Variable& operator=(const Variable& o);
    Variable& operator=(double x);
    Variable& operator=(float x);
    Variable& operator=(const int x);
    Variable& operator=(unsigned int x);
    Variable& operator=(const char* s);
    Variable& operator=(void* p);

    // Copies every member of src (value, behaviour, texts, local variable, and
    // the text-display fields when src is displayed).
    void ObjectCopy(const Variable& src);
    void ObjectCopy(const Variable* src);

    // --- arithmetic: numbers only, then the display text is rebuilt ---
    Variable& operator+=(double x);
    Variable& operator+=(int x);
    Variable& operator+=(float x);
    Variable& operator+=(const char* s);  // appends to a text
    Variable& operator+=(const Variable& o);
    Variable& operator-=(double x);
    Variable& operator-=(int x);
    Variable& operator-=(float x);
    Variable& operator-=(const Variable& o);
    Variable& operator*=(double x);
    Variable& operator*=(int x);
    Variable& operator*=(float x);
    Variable& operator*=(const Variable& o);
    Variable& operator/=(double x);
    Variable& operator/=(int x);
    Variable& operator/=(float x);
    Variable& operator/=(const Variable& o);
    Variable& operator%=(double x);
    Variable& operator%=(int x);
    Variable& operator%=(float x);
    Variable& operator%=(const Variable& o);
    Variable operator++();     // the new number
    Variable operator--();
    Variable operator++(int);  // the old number
    Variable operator--(int);

    // --- comparisons: false (true for > and >=) when the kinds differ ---
    bool operator==(const Variable& o) const;
    bool operator==(char x) const;
    bool operator==(unsigned char x) const;
    bool operator==(int x) const;
    bool operator==(unsigned int x) const;
    bool operator==(float x) const;
    bool operator==(const char* s) const;
    bool operator==(void* p) const;
    bool operator<(const Variable& o) const;
    bool operator<(char x) const;
    bool operator<(unsigned char x) const;
    bool operator<(int x) const;
    bool operator<(unsigned int x) const;
    bool operator<(float x) const;
    bool operator<(const char* s) const;
    template <class T> bool operator<=(const T& x) const { return *this < x || *this == x; }
    template <class T> bool operator!=(const T& x) const { return !(*this == x); }
    template <class T> bool operator>(const T& x) const { return !(*this <= x); }
    template <class T> bool operator>=(const T& x) const { return !(*this < x); }
    bool operator!() const;

    // --- conversions: 0 or null when the kind does not match ---
    operator double() const;
    operator float() const;
    operator long() const;
    operator int() const;
    operator unsigned int() const;
    operator char() const;
    operator unsigned char() const;
    operator bool() const;
    operator const char*() const;
    operator void*() const;
    operator Sprite*() const;
    operator Map*() const;
    operator Alarm*() const;
    operator Variable*() const;

    void OnlyIntegerPart(bool on) { m_OnlyIntegerPart = on; }
    bool OnlyIntegerPart() const { return m_OnlyIntegerPart; }
    void Pause(bool on) { m_Pause = on; }
    bool Pause() const { return m_Pause; }
    std::uint32_t GetTag() const { return m_Tag; }

    // The value as text: a number ("%.0f" or "%f"), a pointer ("%p") or the text.
    const char* AsciiValue();

    // --- named variables of the current level ---
    static Variable* Search(const char* name);
    static void Use(const char* name);
    // A copy of this variable added to the current level (and to its map's
    // texts); null when the level refuses it.
    Variable* CreateVariable();
    Variable* CreateText() { return CreateVariable(); }

    // --- text files ---
    bool Load(const char* file);
    bool LoadTextFile(const char* file);
    void Save(const char* file);

    void Name(const char* name);
    const char* Name() const { return m_Name; }
    void Id(int id) { m_Id = id; }
    int Id() const { return m_Id; }
    void Visible(bool on) { m_Visible = on; }
    bool Visible() const { return m_Visible; }
    void TopMost(bool on) { m_TopMost = on; }
    bool TopMost() const { return m_TopMost; }
    void Unused(bool on) { m_Unused = on; }
    bool Unused() const { return m_Unused; }
    Behavior& GetBehavior() { return *m_Behavior; }

    // Text-display services (provided by the text display through links).
    void InitEffects();
    void DisplayText();
    void RebuildFont();

    static VariableLinks links;
    // The text-effect random generator, reseeded by every construction.
    static Random& TextEffectGenerator();
    static CREATE cr;
    static node* CreateObject();

    // --- value half ---
    Behavior* m_Behavior;  // owned; run every frame with the variable as owner
    std::uint32_t m_Tag;
    union {
        double number;
        void* pointer;
        char* text;  // owned
    } m_Value;
    bool m_OnlyIntegerPart;
    bool m_Pause;
    char m_ValueText[ValueTextSize];
    char* m_DisplayedText;  // owned, null when nothing is shown
    String m_Name;

    // --- text half, in the order of the saved record ---
    std::int32_t m_Id;
    Map* m_TextMap;  // not owned
    bool m_InWorld;
    bool m_Visible;
    String m_FontName;
    std::uint32_t m_Width;
    std::uint32_t m_Weight;
    float m_Height;
    std::int32_t m_Italic;
    std::int32_t m_StrikeOut;
    std::int32_t m_Underline;
    COLORREF m_Color;
    QelRect m_ScreenRect;
    COLORREF m_FrameColor;
    COLORREF m_ArrowsColor;
    bool m_ShowFrame;
    std::int32_t m_HScrollOffset;
    std::int32_t m_VScrollOffset;
    std::uint32_t m_HDeltaScroll;
    std::uint32_t m_VDeltaScroll;
    bool m_LeadingSpaces;
    std::int32_t m_LongestLineSize;
    std::int32_t m_LargestBloc;
    std::int32_t m_NumberOfLines;
    QelRect m_Frame;
    tagRECT m_ArrowRects[4];  // right, left, up, down
    std::int32_t m_LinesPerFrame;
    std::uint32_t m_LineSpacing;
    std::uint32_t m_LetterSpacing;
    std::uint32_t m_LeftMargin;
    std::uint32_t m_TopMargin;
    std::uint32_t m_ArrowsSize;
    std::int32_t m_ArrowsInsetX;
    std::int32_t m_ArrowsInsetY;
    std::uint32_t m_TextLength;  // length of the displayed text
    char* m_KeptText;            // owned: the whole text while an effect reveals it
    std::int32_t m_ShownCount;
    std::int32_t m_EffectLength;
    DisplayTypes m_DisplayType;
    EffectType m_EffectType;
    std::int32_t m_HScrollRightKey;
    std::int32_t m_HScrollLeftKey;
    std::int32_t m_VScrollUpKey;
    std::int32_t m_VScrollDownKey;
    bool m_HScrollTriggered;
    bool m_VScrollTriggered;
    bool m_ActivateOutOfViewport;
    std::int32_t m_NextHScrollOffset;
    std::int32_t m_NextVScrollOffset;
    bool m_TopMost;
    bool m_Unused;
    std::int32_t m_FirstDelay;
    std::int32_t m_FirstDelayCount;
    std::int32_t m_SecondDelay;
    std::int32_t m_SecondDelayCount;
    std::int32_t m_ShownLines;
    SoundBase* m_LetterSound;  // not owned
    std::int32_t* m_IndexArray;  // owned, ends with -1
    bool m_AllRevealed;
    bool m_EffectStarted;
    bool m_EffectFinished;
    std::int32_t m_FrameWidth;
    std::int32_t m_FrameHeight;
    std::int32_t m_PenX;
    std::int32_t m_LocalVariableIndex;
    // Not saved: rebuilt from the fields above.
    QelLogFont m_LogFont;
    qel::Font* m_FontHandle;  // owned by the text display's font service
    struct CharSize {
        std::int32_t width;
        std::int32_t height;
    } m_CharSizes[256];

    node* LocalVariable() const { return localVariable; }
    void LocalVariable(node* n) { localVariable = n; }

private:
    static char* CopyText(const char* s);
    void Init();
    void FreeTextValue();
    void SetText(const char* s);
    void CopyValue(const Variable& src);
    void SetNumber(double x);
    void Rebuild();
    void DisplayReset();
    void Changed();  // rebuild, then display reset
    double NumberOrZero() const { return m_Tag == Number ? m_Value.number : 0.0; }
    void CopyTextFields(const Variable& src);
    void RebuildLoadedTexts(bool keptText);
    void RebuildIndexArray();
};

// Free arithmetic: a copy of the Variable with the operation applied, or, with
// the plain number on the left, a new number.
#define QEL_VARIABLE_FREE_ARITHMETIC(T)                              \
    QEL_API Variable operator+(const Variable& v, T x);              \
    QEL_API Variable operator+(T x, const Variable& v);              \
    QEL_API Variable operator*(const Variable& v, T x);              \
    QEL_API Variable operator*(T x, const Variable& v);              \
    QEL_API Variable operator-(const Variable& v, T x);              \
    QEL_API Variable operator-(T x, const Variable& v);              \
    QEL_API Variable operator/(const Variable& v, T x);              \
    QEL_API Variable operator/(T x, const Variable& v);              \
    QEL_API Variable operator%(const Variable& v, T x);              \
    QEL_API Variable operator%(T x, const Variable& v);
QEL_VARIABLE_FREE_ARITHMETIC(double)
QEL_VARIABLE_FREE_ARITHMETIC(int)
QEL_VARIABLE_FREE_ARITHMETIC(float)
#undef QEL_VARIABLE_FREE_ARITHMETIC
QEL_API Variable operator+(const Variable& a, const Variable& b);
QEL_API Variable operator-(const Variable& a, const Variable& b);
QEL_API Variable operator*(const Variable& a, const Variable& b);
QEL_API Variable operator/(const Variable& a, const Variable& b);
QEL_API Variable operator%(const Variable& a, const Variable& b);

// Comparisons with the plain value on the left, defined from the member forms.
#define QEL_VARIABLE_REVERSED_COMPARISONS(T)                                        \
    inline bool operator==(T x, const Variable& v) { return v == x; }               \
    inline bool operator!=(T x, const Variable& v) { return !(v == x); }            \
    inline bool operator<(T x, const Variable& v) { return !(v <= x); }             \
    inline bool operator<=(T x, const Variable& v) { return !(v < x); }             \
    inline bool operator>(T x, const Variable& v) { return !(v >= x); }             \
    inline bool operator>=(T x, const Variable& v) { return !(v > x); }
QEL_VARIABLE_REVERSED_COMPARISONS(char)
QEL_VARIABLE_REVERSED_COMPARISONS(unsigned char)
QEL_VARIABLE_REVERSED_COMPARISONS(int)
QEL_VARIABLE_REVERSED_COMPARISONS(unsigned int)
QEL_VARIABLE_REVERSED_COMPARISONS(float)
QEL_VARIABLE_REVERSED_COMPARISONS(const char*)
#undef QEL_VARIABLE_REVERSED_COMPARISONS
inline bool operator==(void* p, const Variable& v) { return v == p; }
inline bool operator!=(void* p, const Variable& v) { return !(v == p); }

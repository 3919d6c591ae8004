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
namespace qel {
class DrawContext;
}

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
    // Takes the variable out of every map's text-variable array.
    void (*dropFromMapTexts)(const Variable* v) = nullptr;
    SoundBase* (*findSound)(const char* name) = nullptr;
    const char* (*soundName)(const SoundBase* sound) = nullptr;
    // The text display: restart the effect, lay out and draw, (re)build the
    // font from the font fields and measure CharSizes, delete the font.
    void (*initEffects)(Variable& v) = nullptr;
    void (*displayText)(Variable& v) = nullptr;
    // buildFont makes the font from m_LogFont; when that fails m_FontHandle
    // stays null and m_CharSizes keeps the sizes of the last good font.
    void (*buildFont)(Variable& v) = nullptr;
    void (*releaseFont)(Variable& v) = nullptr;
    // True when the back buffer can be drawn on (fonts are only rebuilt then).
    bool (*drawContextReady)() = nullptr;
    // Plays a letter sound (the sound's own Play).
    void (*playSound)(SoundBase* sound) = nullptr;
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
    Variable operator++();  // the new number
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
    template <class T>
    bool operator<=(const T& x) const {
        return *this < x || *this == x;
    }
    template <class T>
    bool operator!=(const T& x) const {
        return !(*this == x);
    }
    template <class T>
    bool operator>(const T& x) const {
        return !(*this <= x);
    }
    template <class T>
    bool operator>=(const T& x) const {
        return !(*this < x);
    }
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

    // --- text settings ---
    // The members of m_LogFont that a font setting updates.
    enum FontMember : unsigned int {
        FontHeight = 1,
        FontWidth = 2,
        FontWeight = 4,
        FontItalic = 8,
        FontStrikeOut = 16,
        FontUnderline = 32,
        FontFace = 64,
        FontAll = 127
    };
    static constexpr std::int32_t LogPixelsPerInch = 96;
    static constexpr unsigned int MaxFontWeight = 900;

    void InWorld(bool on) { m_InWorld = on; }
    bool InWorld() const { return m_InWorld; }
    void ShowFrame(bool on) { m_ShowFrame = on; }
    bool ShowFrame() const { return m_ShowFrame; }
    void LeadingSpaces(bool on) { m_LeadingSpaces = on; }
    void LineSpacing(unsigned int pixels) { m_LineSpacing = pixels; }
    unsigned int LineSpacing() const { return m_LineSpacing; }
    void LetterSpacing(unsigned int pixels) { m_LetterSpacing = pixels; }
    unsigned int LetterSpacing() const { return m_LetterSpacing; }
    void LeftMargin(unsigned int pixels) { m_LeftMargin = pixels; }
    void TopMargin(unsigned int pixels) { m_TopMargin = pixels; }
    void HDeltaScroll(unsigned int step) { m_HDeltaScroll = step; }
    void VDeltaScroll(unsigned int step) { m_VDeltaScroll = step; }
    void HScrollRightKey(int key) { m_HScrollRightKey = key; }
    void HScrollLeftKey(int key) { m_HScrollLeftKey = key; }
    void VScrollUpKey(int key) { m_VScrollUpKey = key; }
    void VScrollDownKey(int key) { m_VScrollDownKey = key; }
    void HScrollTriggered(bool on) { m_HScrollTriggered = on; }
    void VScrollTriggered(bool on) { m_VScrollTriggered = on; }
    void ActivateOutOfViewport(bool on) { m_ActivateOutOfViewport = on; }
    void FrameColor(unsigned long colour) { m_FrameColor = COLORREF(colour); }
    unsigned long FrameColor() const { return m_FrameColor; }
    void ArrowsColor(unsigned long colour) { m_ArrowsColor = COLORREF(colour); }
    unsigned long ArrowsColor() const { return m_ArrowsColor; }
    // Rounded down to a multiple of 4.
    void ArrowsSize(unsigned int size) { m_ArrowsSize = size / 4 * 4; }
    unsigned int ArrowsSize() const { return m_ArrowsSize; }

    // The font settings rebuild the font; a refused font is reported.
    void Color(unsigned long colour);
    unsigned long Color() const { return m_Color; }
    void FontName(const char* name);  // null is "Arial"
    void Width(unsigned int points);
    unsigned int Width() const { return m_Width; }
    void Height(float points);
    float Height() const { return m_Height; }
    // Rounded down to a multiple of 100, at most 900.
    void Weight(unsigned int weight);
    unsigned int Weight() const { return m_Weight; }
    void Italic(bool on);
    bool Italic() const { return m_Italic != 0; }
    void StrikeOut(bool on);
    bool StrikeOut() const { return m_StrikeOut != 0; }
    void Underline(bool on);
    bool Underline() const { return m_Underline != 0; }
    // Values above 4 are reported and stored all the same (no text is drawn).
    void DisplayType(DisplayTypes type);
    DisplayTypes DisplayType() const { return m_DisplayType; }
    // On a map the frame is cut to the map's rectangle.
    void Frame(QelRect r);
    QelRect Frame() const { return m_Frame; }
    void Move(float dx, float dy);
    // Puts the frame's top-left corner on the sprite's hot spot n (once).
    void Follow(Sprite* sprite, int hotSpot);
    void Follow(const char* spriteName, int hotSpot);
    void BelongToMap(const char* mapName);
    // Centres the frame of a text without a map on the screen.
    void CenterViewport();
    // m_LogFont's chosen members from the settings (sizes at 96 pixels per inch).
    void UpdateLogFont(unsigned int members);

    // --- drawing ---
    // Draw the text when it is shown: on a map / without a map.
    void DisplayTextMap();
    void DisplayTextNoMap();
    void DisplayRespectingWords(qel::DrawContext* dc);
    void DisplayConsecutivesCharacter(qel::DrawContext* dc);
    void DisplayConsecutivesCharacterHScrolling(qel::DrawContext* dc);
    void DisplayConsecutivesCharacterVScrolling(qel::DrawContext* dc);
    void DisplayConsecutivesCharacterHVScrolling(qel::DrawContext* dc);
    void GetNumberOfLines();
    void GetLongestLineSize();
    void GetLargestBlocVS();
    void GetLargestBlocHSHVS();
    int GetRectWordLenght(int index);

    // --- frame, arrows and scrolling ---
    void ShowFrame(unsigned long colour);
    void DrawRightArrow(unsigned long colour);
    void DrawLeftArrow(unsigned long colour);
    void DrawUpArrow(unsigned long colour);
    void DrawDownArrow(unsigned long colour);
    void ArrowsStatus();
    void ArrowsMouseStatus();
    void HorizontalScroll();
    void VerticalScroll();

    // --- effects and letter sounds ---
    void Effect(EffectType type);
    void Delay(unsigned int firstDelay, unsigned int secondDelay);
    void UpdateEffects();
    void ChrChrEffect();
    void LnLnEffect();
    void AsciiEffect();
    // One frame of effects 4 and 5 (the enumerators bear the effects' names).
    void RandomDecodingStep();
    void SequentialDecodingStep();
    bool IndexInIndexArray(int position) const;
    void UpdateIndexArray(int entry);
    int RandIndexArray();
    static char ASCIIRandLowerChar();
    static char ASCIIRandUpperChar();
    static char ASCIIRandNumber();
    static int LinesCount(const char* text);
    void LetterSound(const char* soundName);
    void Play();

    // --- map text lists and local data ---
    static void UpdateTextMaps();
    void AddLocalVariable(unsigned int index);

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
    SoundBase* m_LetterSound;    // not owned
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
    // The saved record, in file order, for saving, loading and copying alike
    // (see foundation/FieldWalk.h): the value, the text display, the local data.
    template <class Walk, class... Self>
    static void ValueFields(Walk& walk, Self&... self);
    template <class Walk, class... Self>
    static void TextFields(Walk& walk, Self&... self);
    template <class Walk, class... Self>
    static void LocalDataFields(Walk& walk, Self&... self);
    void WriteValue(File& file) const;
    bool ReadValue(File& file);
    void RebuildLoadedTexts(bool keptText);
    void RebuildIndexArray();
    // Updates the chosen m_LogFont members and rebuilds the font when the back
    // buffer can be drawn on; false when the font could not be made.
    bool ApplyFont(unsigned int members);
};

// Free arithmetic: a copy of the Variable with the operation applied, or, with
// the plain number on the left, a new number.
#define QEL_VARIABLE_FREE_ARITHMETIC(T)                 \
    QEL_API Variable operator+(const Variable& v, T x); \
    QEL_API Variable operator+(T x, const Variable& v); \
    QEL_API Variable operator*(const Variable& v, T x); \
    QEL_API Variable operator*(T x, const Variable& v); \
    QEL_API Variable operator-(const Variable& v, T x); \
    QEL_API Variable operator-(T x, const Variable& v); \
    QEL_API Variable operator/(const Variable& v, T x); \
    QEL_API Variable operator/(T x, const Variable& v); \
    QEL_API Variable operator%(const Variable& v, T x); \
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
#define QEL_VARIABLE_REVERSED_COMPARISONS(T)                             \
    inline bool operator==(T x, const Variable& v) { return v == x; }    \
    inline bool operator!=(T x, const Variable& v) { return !(v == x); } \
    inline bool operator<(T x, const Variable& v) { return !(v <= x); }  \
    inline bool operator<=(T x, const Variable& v) { return !(v < x); }  \
    inline bool operator>(T x, const Variable& v) { return !(v >= x); }  \
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

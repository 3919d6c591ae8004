#include "foundation/Variable.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include "foundation/AssetName.h"
#include "foundation/File.h"
#include "foundation/List.h"
#include "foundation/MessageTable.h"
#include "foundation/Random.h"
#include "foundation/UserError.h"
#include "logic/Behavior.h"
#include "platform/Paths.h"

CREATE Variable::cr("Variable", &Variable::CreateObject);
VariableLinks Variable::links;

namespace {

// The first n characters of s (n at most strlen(s)) in a zero-filled buffer.
char* CopyPrefix(const char* s, std::size_t n) {
    char* copy = new char[n + 1]();
    std::memcpy(copy, s, n);
    return copy;
}

// An index array has room for effectLength entries and its -1 (the text
// display moves entries up to that last place); the live entries, those
// before the first -1, are copied and the rest is -1.
std::int32_t* CopyIndexArray(const std::int32_t* from, std::int32_t effectLength) {
    std::int32_t n = 0;
    while (n < effectLength && from[n] != -1) ++n;
    std::int32_t* copy = new std::int32_t[effectLength + 1];
    std::copy(from, from + n, copy);
    std::fill(copy + n, copy + effectLength + 1, -1);
    return copy;
}

// A map or sound name in a record: 32 bytes, NUL-terminated.
void WriteRecordName(File& file, const char* name) {
    char buffer[Variable::RecordNameSize] = {};
    std::snprintf(buffer, sizeof buffer, "%s", name ? name : "");
    file.Write(buffer, sizeof buffer);
}

std::string ReadRecordName(File& file) {
    char buffer[Variable::RecordNameSize];
    file.Read(buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

}  // namespace

Random& Variable::TextEffectGenerator() {
    static Random generator;
    return generator;
}

node* Variable::CreateObject() { return new Variable(); }

// --- construction ---

void Variable::Init() {
    m_Behavior = new Behavior();
    m_Tag = Pointer;
    m_Value.pointer = nullptr;
    m_OnlyIntegerPart = true;
    m_Pause = false;
    std::memset(m_ValueText, 0, sizeof m_ValueText);
    m_DisplayedText = nullptr;

    m_Id = 0;
    m_TextMap = nullptr;
    m_InWorld = false;
    m_Visible = true;
    m_FontName = "Arial";
    m_Width = 6;
    m_Weight = 100;
    m_Height = 16.0f;
    m_Italic = m_StrikeOut = m_Underline = 0;
    m_Color = 0x70A7BC;
    m_ScreenRect = QelRect{};
    m_FrameColor = m_ArrowsColor = 0xFF00FF;
    m_ShowFrame = false;
    m_HScrollOffset = m_VScrollOffset = 0;
    m_HDeltaScroll = m_VDeltaScroll = 1;
    m_LeadingSpaces = false;
    m_LongestLineSize = m_LargestBloc = m_NumberOfLines = 0;
    m_Frame = QelRect{};
    for (tagRECT& r : m_ArrowRects) r = tagRECT{};
    m_LinesPerFrame = 0;
    m_LineSpacing = m_LetterSpacing = m_LeftMargin = m_TopMargin = 0;
    m_ArrowsSize = 16;
    m_ArrowsInsetX = m_ArrowsInsetY = 1;
    m_TextLength = 0;
    m_KeptText = nullptr;
    m_ShownCount = m_EffectLength = 0;
    m_DisplayType = NoDisplay;
    m_EffectType = NoEffect;
    m_HScrollRightKey = 77;
    m_HScrollLeftKey = 75;
    m_VScrollUpKey = 76;
    m_VScrollDownKey = 80;
    m_HScrollTriggered = m_VScrollTriggered = false;
    m_ActivateOutOfViewport = true;
    m_NextHScrollOffset = m_NextVScrollOffset = 1;
    m_TopMost = m_Unused = false;
    m_FirstDelay = m_FirstDelayCount = m_SecondDelay = m_SecondDelayCount = 0;
    m_ShownLines = 0;
    m_LetterSound = nullptr;
    m_IndexArray = nullptr;
    m_AllRevealed = false;
    m_EffectStarted = false;
    m_EffectFinished = true;
    m_FrameWidth = m_FrameHeight = m_PenX = 0;
    m_LocalVariableIndex = -1;
    m_LogFont = QelLogFont{};
    m_FontHandle = nullptr;
    std::memset(m_CharSizes, 0, sizeof m_CharSizes);

    TextEffectGenerator().Seed(static_cast<unsigned int>(std::time(nullptr)));
}

Variable::Variable() { Init(); }

Variable::Variable(double x) {
    Init();
    m_Tag = Number;
    m_Value.number = x;
    Rebuild();
}

Variable::Variable(const int x) : Variable(static_cast<double>(x)) {}
Variable::Variable(unsigned int x) : Variable(static_cast<double>(x)) {}

Variable::Variable(const char* s) {
    Init();
    SetText(s);
    Rebuild();
}

Variable::Variable(void* p) {
    Init();
    m_Value.pointer = p;
}

Variable::Variable(const Variable& other) : node() {
    Init();
    ObjectCopy(other);
}

Variable::Variable(Variable* other) {
    Init();
    ObjectCopy(other);
}

Variable::Variable(const Variable* other) {
    Init();
    ObjectCopy(other);
}

Variable::~Variable() {
    // Only a text with a map is ever listed by one; the text display would
    // otherwise draw through a dangling entry.
    if (m_TextMap && links.dropFromMapTexts) links.dropFromMapTexts(this);
    if (m_FontHandle && links.releaseFont) links.releaseFont(*this);
    delete[] m_DisplayedText;
    delete[] m_KeptText;
    delete[] m_IndexArray;
    FreeTextValue();
    delete localVariable;
    localVariable = nullptr;
    delete m_Behavior;
}

node* Variable::Clone() const { return new Variable(*this); }

const char* Variable::ClassName() const { return "Variable"; }

void Variable::Name(const char* name) {
    if (name) m_Name = name;
}

// --- copying ---

void Variable::ObjectCopy(const Variable* src) {
    if (src) ObjectCopy(*src);
}

void Variable::ObjectCopy(const Variable& src) {
    if (&src == this) return;
    CopyValue(src);
    *m_Behavior = *src.m_Behavior;
    m_OnlyIntegerPart = src.m_OnlyIntegerPart;
    m_Pause = src.m_Pause;

    // The texts are copied whole: while an effect runs the displayed text is
    // shorter than the display length.
    delete[] m_DisplayedText;
    delete[] m_KeptText;
    m_DisplayedText = src.m_DisplayedText ? CopyText(src.m_DisplayedText) : nullptr;
    m_KeptText = src.m_KeptText ? CopyText(src.m_KeptText) : nullptr;
    m_TextLength = src.m_TextLength;

    if (src.m_TextMap) m_TextMap = src.m_TextMap;
    m_Name = src.m_Name;

    delete localVariable;
    localVariable = nullptr;
    m_LocalVariableIndex = -1;
    if (src.localVariable) {
        localVariable = src.localVariable->Clone();
        m_LocalVariableIndex = src.m_LocalVariableIndex;
    }

    if (src.m_DisplayType != NoDisplay) CopyTextFields(src);
}

void Variable::CopyTextFields(const Variable& src) {
    std::memcpy(m_ValueText, src.m_ValueText, sizeof m_ValueText);
    m_Id = src.m_Id;
    m_InWorld = src.m_InWorld;
    m_Visible = src.m_Visible;
    m_FontName = src.m_FontName;
    m_Width = src.m_Width;
    m_Weight = src.m_Weight;
    m_Height = src.m_Height;
    m_Italic = src.m_Italic;
    m_StrikeOut = src.m_StrikeOut;
    m_Underline = src.m_Underline;
    m_Color = src.m_Color;
    m_ScreenRect = src.m_ScreenRect;
    m_FrameColor = src.m_FrameColor;
    m_ArrowsColor = src.m_ArrowsColor;
    m_ShowFrame = src.m_ShowFrame;
    m_HScrollOffset = src.m_HScrollOffset;
    m_VScrollOffset = src.m_VScrollOffset;
    m_HDeltaScroll = src.m_HDeltaScroll;
    m_VDeltaScroll = src.m_VDeltaScroll;
    m_LeadingSpaces = src.m_LeadingSpaces;
    m_LongestLineSize = src.m_LongestLineSize;
    m_LargestBloc = src.m_LargestBloc;
    m_NumberOfLines = src.m_NumberOfLines;
    m_Frame = src.m_Frame;
    std::copy(src.m_ArrowRects, src.m_ArrowRects + 4, m_ArrowRects);
    m_LinesPerFrame = src.m_LinesPerFrame;
    m_LineSpacing = src.m_LineSpacing;
    m_LetterSpacing = src.m_LetterSpacing;
    m_LeftMargin = src.m_LeftMargin;
    m_TopMargin = src.m_TopMargin;
    m_ArrowsSize = src.m_ArrowsSize;
    m_ArrowsInsetX = src.m_ArrowsInsetX;
    m_ArrowsInsetY = src.m_ArrowsInsetY;
    m_ShownCount = src.m_ShownCount;
    m_EffectLength = src.m_EffectLength;
    m_DisplayType = src.m_DisplayType;
    m_EffectType = src.m_EffectType;
    m_HScrollRightKey = src.m_HScrollRightKey;
    m_HScrollLeftKey = src.m_HScrollLeftKey;
    m_VScrollUpKey = src.m_VScrollUpKey;
    m_VScrollDownKey = src.m_VScrollDownKey;
    m_HScrollTriggered = src.m_HScrollTriggered;
    m_VScrollTriggered = src.m_VScrollTriggered;
    m_ActivateOutOfViewport = src.m_ActivateOutOfViewport;
    m_NextHScrollOffset = src.m_NextHScrollOffset;
    m_NextVScrollOffset = src.m_NextVScrollOffset;
    m_TopMost = src.m_TopMost;
    m_Unused = src.m_Unused;
    m_FirstDelay = src.m_FirstDelay;
    m_FirstDelayCount = src.m_FirstDelayCount;
    m_SecondDelay = src.m_SecondDelay;
    m_SecondDelayCount = src.m_SecondDelayCount;
    m_ShownLines = src.m_ShownLines;
    m_LetterSound = src.m_LetterSound;
    m_AllRevealed = src.m_AllRevealed;
    m_EffectStarted = src.m_EffectStarted;
    m_EffectFinished = src.m_EffectFinished;
    m_FrameWidth = src.m_FrameWidth;
    m_FrameHeight = src.m_FrameHeight;
    m_PenX = src.m_PenX;
    m_LogFont = src.m_LogFont;
    std::memcpy(m_CharSizes, src.m_CharSizes, sizeof m_CharSizes);

    delete[] m_IndexArray;
    m_IndexArray = nullptr;
    if (m_KeptText && src.m_IndexArray)
        m_IndexArray = CopyIndexArray(src.m_IndexArray, std::max<std::int32_t>(src.m_EffectLength, 0));
    RebuildFont();
}

// --- text-display services ---

void Variable::InitEffects() {
    if (links.initEffects) links.initEffects(*this);
}

void Variable::DisplayText() {
    if (links.displayText) links.displayText(*this);
}

void Variable::RebuildFont() {
    if (m_FontHandle && links.releaseFont) links.releaseFont(*this);
    if (links.buildFont) links.buildFont(*this);
}

// --- text settings ---

namespace {

// Points to pixels as the font description wants them (negative: the
// character height), toward zero and saturated.
std::int32_t PointsToLogical(double points) {
    double pixels = Variable::LogPixelsPerInch * points * (-1.0 / 72.0);
    if (!(pixels > -2147483648.0)) return pixels > 0 ? INT32_MAX : (pixels == pixels ? INT32_MIN : 0);
    if (!(pixels < 2147483647.0)) return INT32_MAX;
    return static_cast<std::int32_t>(pixels);
}

std::int32_t HeightForMessage(float height) {
    if (!(height > -2147483648.0f)) return height == height ? INT32_MIN : 0;
    if (!(height < 2147483647.0f)) return INT32_MAX;
    return static_cast<std::int32_t>(height);
}

}  // namespace

void Variable::UpdateLogFont(unsigned int members) {
    if (members & FontHeight) m_LogFont.height = PointsToLogical(m_Height);
    if (members & FontWidth) m_LogFont.width = PointsToLogical(m_Width);
    if (members & FontWeight) m_LogFont.weight = static_cast<std::int32_t>(std::min(m_Weight, 1000u));
    if (members & FontItalic) m_LogFont.italic = m_Italic != 0;
    if (members & FontStrikeOut) m_LogFont.strikeOut = m_StrikeOut != 0;
    if (members & FontUnderline) m_LogFont.underline = m_Underline != 0;
    if (members & FontFace)
        std::snprintf(m_LogFont.faceName, sizeof m_LogFont.faceName, "%s", static_cast<const char*>(m_FontName));
    m_LogFont.escapement = m_LogFont.orientation = 0;
    m_LogFont.charSet = 1;
    m_LogFont.outPrecision = m_LogFont.clipPrecision = m_LogFont.quality = m_LogFont.pitchAndFamily = 0;
}

// Without a surface to draw on nothing changes, the description included.
bool Variable::ApplyFont(unsigned int members) {
    if (!links.drawContextReady || !links.drawContextReady()) return true;
    UpdateLogFont(members);
    RebuildFont();
    return m_FontHandle != nullptr;
}

void Variable::Color(unsigned long colour) {
    m_Color = COLORREF(colour);
    ApplyFont(FontHeight | FontWidth | FontWeight);
}

void Variable::FontName(const char* name) {
    const char* face = name ? name : "Arial";
    if (!links.drawContextReady || !links.drawContextReady()) return;
    m_FontName = face;
    if (!ApplyFont(FontFace)) UserError::Report("void Variable::FontName(const char *)", MessageTable[40], face);
}

void Variable::Width(unsigned int points) {
    m_Width = points;
    if (!ApplyFont(FontWidth))
        UserError::Report("void Variable::Width(unsigned int)", MessageTable[41], static_cast<int>(points));
}

void Variable::Height(float points) {
    m_Height = points;
    if (!ApplyFont(FontHeight))
        UserError::Report("void Variable::Height(unsigned int)", MessageTable[42], HeightForMessage(points));
}

void Variable::Weight(unsigned int weight) {
    m_Weight = std::min(weight / 100 * 100, MaxFontWeight);
    if (!ApplyFont(FontWeight))
        UserError::Report("void Variable::Weight(unsigned int)", MessageTable[43], static_cast<int>(weight));
}

void Variable::Italic(bool on) {
    m_Italic = on ? 1 : 0;
    if (!ApplyFont(FontItalic)) UserError::Report("void Variable::Italic(bool)", "%s", MessageTable[44]);
}

void Variable::StrikeOut(bool on) {
    m_StrikeOut = on ? 1 : 0;
    if (!ApplyFont(FontStrikeOut)) UserError::Report("void Variable::StrikeOut(bool)", "%s", MessageTable[45]);
}

void Variable::Underline(bool on) {
    m_Underline = on ? 1 : 0;
    if (!ApplyFont(FontUnderline)) UserError::Report("void Variable::Underline(bool)", "%s", MessageTable[46]);
}

void Variable::DisplayType(DisplayTypes type) {
    const bool known = type >= RespectingWords && type <= HVScrolling;
    if (!known) UserError::Report("void Variable::DisplayType(DisplayTypes)", "%s", MessageTable[47]);
    m_DisplayType = type;
    if (!known) return;
    if (type == RespectingWords || type == ConsecutiveCharacters) m_ArrowsSize = 0;
    ApplyFont(FontHeight | FontWidth);
}

namespace {

std::int32_t Saturate(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Float to int32 toward zero, saturating (NaN gives 0).
std::int32_t TruncSaturate(double v) {
    if (v != v) return 0;
    if (v <= -2147483648.0) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return static_cast<std::int32_t>(v);
}

}  // namespace

// A text on a map stays within the map: its first frame is the map inset by
// 10 pixels, later ones are cut to the map.
void Variable::Frame(QelRect r) {
    if (!m_TextMap) {
        m_Frame = r;
    } else if (m_Frame.left == 0 && m_Frame.top == 0 && m_Frame.right == 0 && m_Frame.bottom == 0) {
        m_Frame = QelRect{Saturate(std::int64_t(m_ScreenRect.left) + 10), Saturate(std::int64_t(m_ScreenRect.top) + 10),
                          Saturate(std::int64_t(m_ScreenRect.right) - 10),
                          Saturate(std::int64_t(m_ScreenRect.bottom) - 10)};
    } else {
        m_Frame = QelRect{std::max(r.left, m_ScreenRect.left), std::max(r.top, m_ScreenRect.top),
                          std::min(r.right, m_ScreenRect.right), std::min(r.bottom, m_ScreenRect.bottom)};
    }
    m_FrameWidth = Saturate(std::int64_t(m_Frame.right) - m_Frame.left - 1);
    m_FrameHeight = Saturate(std::int64_t(m_Frame.bottom) - m_Frame.top - 1);
}

void Variable::Move(float dx, float dy) {
    const std::int64_t x = TruncSaturate(dx), y = TruncSaturate(dy);
    m_Frame = QelRect{Saturate(m_Frame.left + x), Saturate(m_Frame.top + y), Saturate(m_Frame.right + x),
                      Saturate(m_Frame.bottom + y)};
}

// --- named variables ---

Variable* Variable::Search(const char* name) {
    List* variables = links.levelVariables ? links.levelVariables() : nullptr;
    if (variables) {
        for (node* n = variables->Head(); !n->EOList(); n = n->Next()) {
            Variable* v = static_cast<Variable*>(n);
            if (v->m_Name == name) return v;
        }
    }
    UserError::Report("Variable* Variable::Search(char *)", MessageTable[36], name ? name : "");
    return nullptr;
}

void Variable::Use(const char* name) {
    List* variables = links.levelVariables ? links.levelVariables() : nullptr;
    if (variables) {
        for (node* n = variables->Head(); !n->EOList(); n = n->Next()) {
            Variable* v = static_cast<Variable*>(n);
            if (v->m_Unused && v->m_Name == name) {
                v->m_Unused = false;
                return;
            }
        }
    }
    UserError::Report("void Variable::Use(char *)", MessageTable[36], name ? name : "");
}

// The copy joins its map's texts only once the level has taken it, so a
// refused copy leaves nothing behind.
Variable* Variable::CreateVariable() {
    Variable* copy = new Variable(*this);
    if (!links.addToLevel || !links.addToLevel(copy)) {
        delete copy;
        return nullptr;
    }
    if (copy->m_TextMap && links.addToMapTexts) links.addToMapTexts(copy->m_TextMap, copy);
    return copy;
}

// --- the saved record ---

void Variable::Save(File& file) {
    m_Behavior->Save(file);
    m_Name.Save(file);
    file.Write(static_cast<unsigned int>(m_Tag));
    switch (m_Tag) {
    case Number: file.Write(m_Value.number); break;
    case Pointer: file.Write(static_cast<node*>(m_Value.pointer)); break;
    case Text: {
        const char* text = m_Value.text ? m_Value.text : "";
        int length = static_cast<int>(std::strlen(text));
        file.Write(length);
        file.Write(text, length);
        break;
    }
    default: break;
    }
    file.Write(m_OnlyIntegerPart);
    file.Write(m_Pause);
    file.Write(static_cast<int>(m_Id));
    file.Write(m_ValueText, sizeof m_ValueText);
    file.Write(m_TextMap != nullptr);
    if (m_TextMap) WriteRecordName(file, links.mapName ? links.mapName(m_TextMap) : "");
    file.Write(m_InWorld);
    file.Write(m_Visible);
    m_FontName.Save(file);
    file.Write(static_cast<unsigned int>(m_Width));
    file.Write(m_Height);
    file.Write(static_cast<unsigned int>(m_Weight));
    file.Write(static_cast<int>(m_Italic));
    file.Write(static_cast<int>(m_StrikeOut));
    file.Write(static_cast<int>(m_Underline));
    file.Write(static_cast<unsigned int>(m_Color));
    file.Write(m_ScreenRect);
    file.Write(static_cast<unsigned int>(m_FrameColor));
    file.Write(static_cast<unsigned int>(m_ArrowsColor));
    file.Write(m_ShowFrame);
    file.Write(static_cast<int>(m_HScrollOffset));
    file.Write(static_cast<int>(m_VScrollOffset));
    file.Write(static_cast<unsigned int>(m_HDeltaScroll));
    file.Write(static_cast<unsigned int>(m_VDeltaScroll));
    file.Write(m_LeadingSpaces);
    file.Write(static_cast<int>(m_LongestLineSize));
    file.Write(static_cast<int>(m_LargestBloc));
    file.Write(static_cast<int>(m_NumberOfLines));
    file.Write(m_Frame);
    for (const tagRECT& r : m_ArrowRects) file.Write(r);
    file.Write(static_cast<int>(m_LinesPerFrame));
    file.Write(static_cast<unsigned int>(m_LineSpacing));
    file.Write(static_cast<unsigned int>(m_LetterSpacing));
    file.Write(static_cast<unsigned int>(m_LeftMargin));
    file.Write(static_cast<unsigned int>(m_TopMargin));
    file.Write(static_cast<unsigned int>(m_ArrowsSize));
    file.Write(static_cast<int>(m_ArrowsInsetX));
    file.Write(static_cast<int>(m_ArrowsInsetY));
    file.Write(static_cast<unsigned int>(m_TextLength));
    file.Write(m_KeptText != nullptr);
    file.Write(static_cast<int>(m_ShownCount));
    file.Write(static_cast<int>(m_EffectLength));
    file.Write(static_cast<int>(m_DisplayType));
    file.Write(static_cast<int>(m_EffectType));
    file.Write(static_cast<int>(m_HScrollRightKey));
    file.Write(static_cast<int>(m_HScrollLeftKey));
    file.Write(static_cast<int>(m_VScrollUpKey));
    file.Write(static_cast<int>(m_VScrollDownKey));
    file.Write(m_HScrollTriggered);
    file.Write(m_VScrollTriggered);
    file.Write(m_ActivateOutOfViewport);
    file.Write(static_cast<int>(m_NextHScrollOffset));
    file.Write(static_cast<int>(m_NextVScrollOffset));
    file.Write(m_TopMost);
    file.Write(m_Unused);
    file.Write(static_cast<int>(m_FirstDelay));
    file.Write(static_cast<int>(m_FirstDelayCount));
    file.Write(static_cast<int>(m_SecondDelay));
    file.Write(static_cast<int>(m_SecondDelayCount));
    file.Write(static_cast<int>(m_ShownLines));
    file.Write(m_LetterSound != nullptr);
    if (m_LetterSound) WriteRecordName(file, links.soundName ? links.soundName(m_LetterSound) : "");
    file.Write(m_AllRevealed);
    file.Write(m_EffectStarted);
    file.Write(m_EffectFinished);
    file.Write(static_cast<int>(m_FrameWidth));
    file.Write(static_cast<int>(m_FrameHeight));
    file.Write(static_cast<int>(m_PenX));
    file.Write(static_cast<int>(m_LocalVariableIndex));
    file.Write(localVariable);
}

namespace {

template <class T>
T ReadValue(File& file) {
    T value{};
    file.Read(value);
    return value;
}

std::int32_t ReadInt(File& file) { return ReadValue<int>(file); }
std::uint32_t ReadUint(File& file) { return ReadValue<unsigned int>(file); }

}  // namespace

// Reads the record of Save. Every stored length and count is checked against
// the file and the texts it applies to; a record that cannot be right marks the
// file in error and leaves the variable consistent (but partly loaded).
void Variable::Load(File& file) {
    m_Behavior->Load(file);
    m_Name.Load(file);
    if (m_Name == "FPS") m_Name = "FPS_COPY";

    std::uint32_t tag = ReadUint(file);
    switch (tag) {
    case Number: SetNumber(ReadValue<double>(file)); break;
    case Pointer: {
        node* p = nullptr;
        file.Read(p);
        FreeTextValue();
        m_Tag = Pointer;
        m_Value.pointer = p;
        break;
    }
    case Text: {
        std::int32_t length = ReadInt(file);
        if (length < 0 || length > file.BytesLeft()) {
            file.SetError();
            return;
        }
        std::string text(static_cast<std::size_t>(length), '\0');
        file.Read(text.data(), length);
        SetText(text.c_str());
        break;
    }
    default:
        file.SetError();
        return;
    }
    m_OnlyIntegerPart = ReadValue<bool>(file);
    m_Pause = ReadValue<bool>(file);
    m_Id = ReadInt(file);
    file.Read(m_ValueText, sizeof m_ValueText);
    m_ValueText[sizeof m_ValueText - 1] = '\0';
    m_TextMap = nullptr;
    if (ReadValue<bool>(file)) {
        std::string mapName = ReadRecordName(file);
        if (links.findMap) m_TextMap = links.findMap(mapName.c_str());
    }
    m_InWorld = ReadValue<bool>(file);
    m_Visible = ReadValue<bool>(file);
    m_FontName.Load(file);
    m_Width = ReadUint(file);
    m_Height = ReadValue<float>(file);
    m_Weight = ReadUint(file);
    m_Italic = ReadInt(file);
    m_StrikeOut = ReadInt(file);
    m_Underline = ReadInt(file);
    m_Color = ReadUint(file);
    file.Read(m_ScreenRect);
    m_FrameColor = ReadUint(file);
    m_ArrowsColor = ReadUint(file);
    m_ShowFrame = ReadValue<bool>(file);
    m_HScrollOffset = ReadInt(file);
    m_VScrollOffset = ReadInt(file);
    m_HDeltaScroll = ReadUint(file);
    m_VDeltaScroll = ReadUint(file);
    m_LeadingSpaces = ReadValue<bool>(file);
    m_LongestLineSize = ReadInt(file);
    m_LargestBloc = ReadInt(file);
    m_NumberOfLines = ReadInt(file);
    file.Read(m_Frame);
    for (tagRECT& r : m_ArrowRects) file.Read(r);
    m_LinesPerFrame = ReadInt(file);
    m_LineSpacing = ReadUint(file);
    m_LetterSpacing = ReadUint(file);
    m_LeftMargin = ReadUint(file);
    m_TopMargin = ReadUint(file);
    m_ArrowsSize = ReadUint(file);
    m_ArrowsInsetX = ReadInt(file);
    m_ArrowsInsetY = ReadInt(file);
    m_TextLength = ReadUint(file);
    bool keptText = ReadValue<bool>(file);
    m_ShownCount = ReadInt(file);
    m_EffectLength = ReadInt(file);
    RebuildLoadedTexts(keptText);

    std::int32_t displayType = ReadInt(file);
    std::int32_t effectType = ReadInt(file);
    // The display type setter stores any value (above 4 shows nothing), so
    // every value a save can hold loads back; an effect type is one of six.
    if (effectType < NoEffect || effectType > SequentialDecoding) {
        file.SetError();
        return;
    }
    m_DisplayType = static_cast<DisplayTypes>(displayType);
    m_EffectType = static_cast<EffectType>(effectType);
    m_HScrollRightKey = ReadInt(file);
    m_HScrollLeftKey = ReadInt(file);
    m_VScrollUpKey = ReadInt(file);
    m_VScrollDownKey = ReadInt(file);
    m_HScrollTriggered = ReadValue<bool>(file);
    m_VScrollTriggered = ReadValue<bool>(file);
    m_ActivateOutOfViewport = ReadValue<bool>(file);
    m_NextHScrollOffset = ReadInt(file);
    m_NextVScrollOffset = ReadInt(file);
    m_TopMost = ReadValue<bool>(file);
    m_Unused = ReadValue<bool>(file);
    m_FirstDelay = ReadInt(file);
    m_FirstDelayCount = ReadInt(file);
    m_SecondDelay = ReadInt(file);
    m_SecondDelayCount = ReadInt(file);
    m_ShownLines = ReadInt(file);
    m_LetterSound = nullptr;
    if (ReadValue<bool>(file)) {
        std::string soundName = ReadRecordName(file);
        if (links.findSound) m_LetterSound = links.findSound(soundName.c_str());
    }
    RebuildIndexArray();
    m_AllRevealed = ReadValue<bool>(file);
    m_EffectStarted = ReadValue<bool>(file);
    m_EffectFinished = ReadValue<bool>(file);
    m_FrameWidth = ReadInt(file);
    m_FrameHeight = ReadInt(file);
    m_PenX = ReadInt(file);
    m_LocalVariableIndex = ReadInt(file);
    node* local = nullptr;
    file.Read(local);
    // An object the file gave another owner (or this variable itself) is not
    // this variable's to keep.
    if (!file.Claim(local)) local = nullptr;
    delete localVariable;
    localVariable = local;
    if (file.HasError()) return;

    // Only a whole record joins its map's texts.
    if (m_TextMap && links.addToMapTexts) links.addToMapTexts(m_TextMap, this);
    UpdateLogFont(FontAll);
    RebuildFont();
}

// The kept text comes back from the value; the displayed text from the value,
// or, while an effect runs, from the part of the kept text already shown. The
// stored lengths are bounded by the texts they describe.
void Variable::RebuildLoadedTexts(bool keptText) {
    const char* value = AsciiValue();
    std::size_t valueLength = std::strlen(value);
    delete[] m_KeptText;
    m_KeptText = keptText ? CopyText(value) : nullptr;
    delete[] m_DisplayedText;
    m_DisplayedText = nullptr;
    if (m_ShownCount <= 0 || !m_KeptText) {
        if (m_TextLength != 0) m_DisplayedText = CopyText(value);
    } else {
        m_ShownCount = static_cast<std::int32_t>(std::min<std::size_t>(m_ShownCount, valueLength));
        m_DisplayedText = CopyPrefix(m_KeptText, static_cast<std::size_t>(m_ShownCount));
    }
    m_TextLength = static_cast<std::uint32_t>(std::min<std::size_t>(m_TextLength, valueLength));
}

// Effects 4 and 5 hide the positions 0 .. EffectLength - 1 of the kept text.
void Variable::RebuildIndexArray() {
    delete[] m_IndexArray;
    m_IndexArray = nullptr;
    if (!m_KeptText || (m_EffectType != RandomDecoding && m_EffectType != SequentialDecoding)) return;
    std::int32_t length = static_cast<std::int32_t>(std::strlen(m_KeptText));
    m_EffectLength = std::clamp(m_EffectLength, 0, length);
    m_IndexArray = new std::int32_t[m_EffectLength + 1];
    for (std::int32_t i = 0; i < m_EffectLength; ++i) m_IndexArray[i] = i;
    m_IndexArray[m_EffectLength] = -1;
}

// --- text files ---

namespace {

// Longer texts than any display shows; a larger file is not read.
constexpr std::size_t MaxTextFileBytes = std::size_t(16) << 20;

// The bytes of a regular file, with the CR of each CRLF dropped so that a
// file written with Windows line ends reads like one written here.
bool ReadTextFile(const char* name, std::string& text) {
    std::vector<unsigned char> bytes;
    if (!ReadRegularFile(qel::NativePath(name), MaxTextFileBytes, bytes)) return false;
    text.assign(bytes.begin(), bytes.end());
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    text.swap(lines);
    return true;
}

constexpr int TabWidth = 16;

}  // namespace

bool Variable::Load(const char* file) {
    if (!file) return false;
    std::string content;
    if (!ReadTextFile(file, content) || content.empty()) return false;

    // One place per character, TabWidth per TAB, and one for the end.
    std::size_t count = 1;
    for (char c : content) count += c == '\t' ? TabWidth : 1;
    char* text = new char[count + 1]();
    std::size_t at = 0;
    for (char c : content) {
        if (c == '\t') {
            std::memset(text + at, ' ', TabWidth);
            at += TabWidth;
        } else {
            text[at++] = c;
        }
    }
    delete[] m_DisplayedText;
    m_DisplayedText = text;
    m_TextLength = static_cast<std::uint32_t>(count);
    SetText(text);
    return true;
}

bool Variable::LoadTextFile(const char* file) {
    std::uint32_t length = m_TextLength;
    if (Load(file)) {
        m_HScrollOffset = 0;
        m_VScrollOffset = 0;
        m_TextLength = static_cast<std::uint32_t>(std::strlen(m_DisplayedText));
        if (!m_EffectFinished) InitEffects();
        m_EffectStarted = false;
        return true;
    }
    UserError::Report("bool Variable::LoadTextFile(char *)", MessageTable[37], file ? file : "");
    m_TextLength = length;
    return false;
}

void Variable::Save(const char* file) {
    if (!file) return;
    const char* text = m_DisplayedText ? m_DisplayedText : m_KeptText;
    if (!text) return;
    std::FILE* f = std::fopen(qel::NativePath(file).c_str(), "w");
    if (!f) return;
    std::fputs(text, f);
    std::fclose(f);
}

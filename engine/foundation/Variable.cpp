#include "foundation/Variable.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include "foundation/AssetName.h"
#include "foundation/FieldWalk.h"
#include "foundation/File.h"
#include "foundation/FloatToInt.h"
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
    qel::FieldCopier copier;
    ValueFields(copier, *this, src);

    // The texts are copied whole: while an effect runs the displayed text is
    // shorter than the display length.
    delete[] m_DisplayedText;
    delete[] m_KeptText;
    m_DisplayedText = src.m_DisplayedText ? CopyText(src.m_DisplayedText) : nullptr;
    m_KeptText = src.m_KeptText ? CopyText(src.m_KeptText) : nullptr;
    m_TextLength = src.m_TextLength;
    if (src.m_TextMap) m_TextMap = src.m_TextMap;
    LocalDataFields(copier, *this, src);

    if (src.m_DisplayType != NoDisplay) CopyTextFields(src);
}

void Variable::CopyTextFields(const Variable& src) {
    qel::FieldCopier copier;
    TextFields(copier, *this, src);
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
    return TruncToInt32(Variable::LogPixelsPerInch * points * (-1.0 / 72.0));
}

std::int32_t HeightForMessage(float height) { return TruncToInt32(height); }

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

}  // namespace

// A text on a map stays within the map: its first frame is the map inset by
// 10 pixels, later ones are cut to the map.
void Variable::Frame(QelRect r) {
    if (!m_TextMap) {
        m_Frame = r;
    } else if (m_Frame.left == 0 && m_Frame.top == 0 && m_Frame.right == 0 && m_Frame.bottom == 0) {
        m_Frame =
            QelRect{Saturate(std::int64_t(m_ScreenRect.left) + 10), Saturate(std::int64_t(m_ScreenRect.top) + 10),
                    Saturate(std::int64_t(m_ScreenRect.right) - 10), Saturate(std::int64_t(m_ScreenRect.bottom) - 10)};
    } else {
        m_Frame = QelRect{std::max(r.left, m_ScreenRect.left), std::max(r.top, m_ScreenRect.top),
                          std::min(r.right, m_ScreenRect.right), std::min(r.bottom, m_ScreenRect.bottom)};
    }
    m_FrameWidth = Saturate(std::int64_t(m_Frame.right) - m_Frame.left - 1);
    m_FrameHeight = Saturate(std::int64_t(m_Frame.bottom) - m_Frame.top - 1);
}

void Variable::Move(float dx, float dy) {
    const std::int64_t x = TruncToInt32(dx), y = TruncToInt32(dy);
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

// The value half of the record: what every copy takes.
template <class Walk, class... Self>
void Variable::ValueFields(Walk& walk, Self&... self) {
    walk(*self.m_Behavior...);
    walk.Step([](File& f, Variable& v) { v.m_Name.Save(f); },
              [](File& f, Variable& v) {
                  v.m_Name.Load(f);
                  if (v.m_Name == "FPS") v.m_Name = "FPS_COPY";
                  return true;
              },
              [](Variable& to, const Variable& from) { to.m_Name = from.m_Name; }, self...);
    walk.Step([](File& f, Variable& v) { v.WriteValue(f); }, [](File& f, Variable& v) { return v.ReadValue(f); },
              [](Variable& to, const Variable& from) { to.CopyValue(from); }, self...);
    walk(self.m_OnlyIntegerPart...);
    walk(self.m_Pause...);
}

// The text half: taken by a copy only from a variable that is displayed. The
// map, the texts and their length come with the value.
template <class Walk, class... Self>
void Variable::TextFields(Walk& walk, Self&... self) {
    walk(self.m_Id...);
    walk.Step([](File& f, Variable& v) { f.Write(v.m_ValueText, sizeof v.m_ValueText); },
              [](File& f, Variable& v) {
                  f.Read(v.m_ValueText, sizeof v.m_ValueText);
                  v.m_ValueText[sizeof v.m_ValueText - 1] = '\0';
                  return true;
              },
              [](Variable& to, const Variable& from) {
                  std::memcpy(to.m_ValueText, from.m_ValueText, sizeof to.m_ValueText);
              },
              self...);
    walk.Step(
        [](File& f, Variable& v) {
            f.Write(v.m_TextMap != nullptr);
            if (v.m_TextMap) WriteRecordName(f, links.mapName ? links.mapName(v.m_TextMap) : "");
        },
        [](File& f, Variable& v) {
            v.m_TextMap = nullptr;
            bool hasMap = false;
            f.Read(hasMap);
            if (!hasMap) return true;
            std::string mapName = ReadRecordName(f);
            if (links.findMap) v.m_TextMap = links.findMap(mapName.c_str());
            return true;
        },
        [](Variable&, const Variable&) {}, self...);
    walk(self.m_InWorld...);
    walk(self.m_Visible...);
    walk(self.m_FontName...);
    walk(self.m_Width...);
    walk(self.m_Height...);
    walk(self.m_Weight...);
    walk(self.m_Italic...);
    walk(self.m_StrikeOut...);
    walk(self.m_Underline...);
    walk(self.m_Color...);
    walk(self.m_ScreenRect...);
    walk(self.m_FrameColor...);
    walk(self.m_ArrowsColor...);
    walk(self.m_ShowFrame...);
    walk(self.m_HScrollOffset...);
    walk(self.m_VScrollOffset...);
    walk(self.m_HDeltaScroll...);
    walk(self.m_VDeltaScroll...);
    walk(self.m_LeadingSpaces...);
    walk(self.m_LongestLineSize...);
    walk(self.m_LargestBloc...);
    walk(self.m_NumberOfLines...);
    walk(self.m_Frame...);
    walk(self.m_ArrowRects...);
    walk(self.m_LinesPerFrame...);
    walk(self.m_LineSpacing...);
    walk(self.m_LetterSpacing...);
    walk(self.m_LeftMargin...);
    walk(self.m_TopMargin...);
    walk(self.m_ArrowsSize...);
    walk(self.m_ArrowsInsetX...);
    walk(self.m_ArrowsInsetY...);
    walk.Step(
        [](File& f, Variable& v) {
            f.Write(v.m_TextLength);
            f.Write(v.m_KeptText != nullptr);
            f.Write(v.m_ShownCount);
            f.Write(v.m_EffectLength);
        },
        [](File& f, Variable& v) {
            bool keptText = false;
            f.Read(v.m_TextLength);
            f.Read(keptText);
            f.Read(v.m_ShownCount);
            f.Read(v.m_EffectLength);
            v.RebuildLoadedTexts(keptText);
            return true;
        },
        [](Variable& to, const Variable& from) {
            to.m_ShownCount = from.m_ShownCount;
            to.m_EffectLength = from.m_EffectLength;
        },
        self...);
    walk.Step(
        [](File& f, Variable& v) {
            f.Write(std::int32_t(v.m_DisplayType));
            f.Write(std::int32_t(v.m_EffectType));
        },
        [](File& f, Variable& v) {
            std::int32_t displayType = 0, effectType = 0;
            f.Read(displayType);
            f.Read(effectType);
            // The display type setter stores any value (above 4 shows nothing), so
            // every value a save can hold loads back; an effect type is one of six.
            if (effectType < NoEffect || effectType > SequentialDecoding) return false;
            v.m_DisplayType = static_cast<DisplayTypes>(displayType);
            v.m_EffectType = static_cast<EffectType>(effectType);
            return true;
        },
        [](Variable& to, const Variable& from) {
            to.m_DisplayType = from.m_DisplayType;
            to.m_EffectType = from.m_EffectType;
        },
        self...);
    walk(self.m_HScrollRightKey...);
    walk(self.m_HScrollLeftKey...);
    walk(self.m_VScrollUpKey...);
    walk(self.m_VScrollDownKey...);
    walk(self.m_HScrollTriggered...);
    walk(self.m_VScrollTriggered...);
    walk(self.m_ActivateOutOfViewport...);
    walk(self.m_NextHScrollOffset...);
    walk(self.m_NextVScrollOffset...);
    walk(self.m_TopMost...);
    walk(self.m_Unused...);
    walk(self.m_FirstDelay...);
    walk(self.m_FirstDelayCount...);
    walk(self.m_SecondDelay...);
    walk(self.m_SecondDelayCount...);
    walk(self.m_ShownLines...);
    walk.Step(
        [](File& f, Variable& v) {
            f.Write(v.m_LetterSound != nullptr);
            if (v.m_LetterSound) WriteRecordName(f, links.soundName ? links.soundName(v.m_LetterSound) : "");
        },
        [](File& f, Variable& v) {
            v.m_LetterSound = nullptr;
            bool hasSound = false;
            f.Read(hasSound);
            if (hasSound) {
                std::string soundName = ReadRecordName(f);
                if (links.findSound) v.m_LetterSound = links.findSound(soundName.c_str());
            }
            v.RebuildIndexArray();
            return true;
        },
        [](Variable& to, const Variable& from) { to.m_LetterSound = from.m_LetterSound; }, self...);
    walk(self.m_AllRevealed...);
    walk(self.m_EffectStarted...);
    walk(self.m_EffectFinished...);
    walk(self.m_FrameWidth...);
    walk(self.m_FrameHeight...);
    walk(self.m_PenX...);
    // Rebuilt from the fields above when loaded.
    walk.Unsaved(self.m_LogFont...);
    walk.Unsaved(self.m_CharSizes...);
}

template <class Walk, class... Self>
void Variable::LocalDataFields(Walk& walk, Self&... self) {
    walk.Step(
        [](File& f, Variable& v) {
            f.Write(v.m_LocalVariableIndex);
            f.Write(v.localVariable);
        },
        [](File& f, Variable& v) {
            f.Read(v.m_LocalVariableIndex);
            node* local = nullptr;
            f.Read(local);
            // An object the file gave another owner (or this variable itself) is
            // not this variable's to keep.
            if (!f.Claim(local)) local = nullptr;
            delete v.localVariable;
            v.localVariable = local;
            return true;
        },
        [](Variable& to, const Variable& from) {
            delete to.localVariable;
            to.localVariable = from.localVariable ? from.localVariable->Clone() : nullptr;
            to.m_LocalVariableIndex = from.localVariable ? from.m_LocalVariableIndex : -1;
        },
        self...);
}

void Variable::WriteValue(File& file) const {
    file.Write(m_Tag);
    switch (m_Tag) {
        case Number: file.Write(m_Value.number); break;
        case Pointer: file.Write(static_cast<node*>(m_Value.pointer)); break;
        case Text: {
            const char* text = m_Value.text ? m_Value.text : "";
            const auto length = static_cast<std::int32_t>(std::strlen(text));
            file.Write(length);
            file.Write(text, length);
            break;
        }
        default: break;
    }
}

bool Variable::ReadValue(File& file) {
    std::uint32_t tag = 0;
    file.Read(tag);
    switch (tag) {
        case Number: {
            double number = 0;
            file.Read(number);
            SetNumber(number);
            return true;
        }
        case Pointer: {
            node* p = nullptr;
            file.Read(p);
            FreeTextValue();
            m_Tag = Pointer;
            m_Value.pointer = p;
            return true;
        }
        case Text: {
            std::int32_t length = 0;
            file.Read(length);
            if (length < 0 || length > file.BytesLeft()) return false;
            std::string text(static_cast<std::size_t>(length), '\0');
            file.Read(text.data(), length);
            SetText(text.c_str());
            return true;
        }
        default: return false;
    }
}

void Variable::Save(File& file) {
    qel::FieldWriter writer(file);
    ValueFields(writer, *this);
    TextFields(writer, *this);
    LocalDataFields(writer, *this);
}

// Reads the record of Save. Every stored length and count is checked against
// the file and the texts it applies to; a record that cannot be right marks the
// file in error and leaves the variable consistent (but partly loaded).
void Variable::Load(File& file) {
    qel::FieldReader reader(file);
    ValueFields(reader, *this);
    TextFields(reader, *this);
    LocalDataFields(reader, *this);
    if (!reader.Accepted()) {
        file.SetError();
        return;
    }
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

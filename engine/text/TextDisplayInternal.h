// The text display's services to every Variable: building and releasing its
// font (with the 256-entry character-size table), restarting effects and
// drawing; installed into Variable::links when the text display is linked in.
#pragma once
#include <cstdint>

class Variable;

class TextDisplay {
public:
    // Largest character height and average width, in pixels, that a font is
    // made with; larger ones are refused like a font the system cannot make.
    static constexpr std::int32_t MaxFontPixels = 512;

    // Installs the services (once); true. Every text module calls it, so
    // linking any of them brings the whole display in.
    static bool Install();

    // The font of v.m_LogFont, shared with every text of the same description;
    // a face that cannot be served is drawn with the default face, as the
    // system's font mapper would. On success
    // m_CharSizes holds each byte's cell; on failure m_FontHandle stays null
    // and m_CharSizes is left as it was.
    static void BuildFont(Variable& v);
    static void ReleaseFont(Variable& v);
    static bool DrawContextReady();
};

// The layout's and the effects' entries behind Variable::DisplayText() and
// Variable::InitEffects().
void DrawVariableText(Variable& v);
void RestartVariableEffect(Variable& v);

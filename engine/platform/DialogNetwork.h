// The network play dialogs, shown modally over the game's window: the choice
// to create or join a session, the session fields, the choice of a player and
// the wait for the other players. A run without a display shows none: each
// answers as if cancelled, unless a test supplies the answers.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "QelExport.h"
#include "platform/Handles.h"

namespace qel {

// What the session dialog reads and fills: session or host, player, port.
struct SessionFields {
    std::string first;
    std::string second;
    std::uint32_t port = 0;
};

// Buttons of the dialogs.
enum DialogButton : int { ButtonOk = 1, ButtonCancel = 2, ButtonExitGame = 3, ButtonCreate = 1003, ButtonJoin = 1004 };

// "Network Option": ButtonCreate, ButtonJoin, or ButtonCancel when closed.
QEL_API int NetworkOptionDialog(HWND owner);
// "Create Session" (join false) or "Join Session": ButtonOk with the fields
// filled (the port shown first is fields.port), ButtonCancel or ButtonExitGame.
QEL_API int SessionDialog(HWND owner, bool join, SessionFields& fields);
// "Select a Player": ButtonOk or ButtonCancel, with the selected line (-1 none).
QEL_API int SelectPlayerDialog(HWND owner, const std::vector<std::string>& names, int& selected);
// The wait for other players: ButtonOk once `done` answers true (asked every
// pollMs), ButtonCancel when the player resigns.
QEL_API int WaitDialog(HWND owner, const std::function<bool()>& done, std::uint32_t pollMs);

// Test hook: answers the dialogs instead of the player. Unset parts answer as
// if cancelled; an empty responder removes it.
struct DialogResponder {
    std::function<int()> option;
    std::function<int(bool join, SessionFields& fields)> session;
    std::function<int(const std::vector<std::string>& names, int& selected)> selectPlayer;
    std::function<int(const std::function<bool()>& done)> wait;
};
QEL_API void SetDialogResponderForTests(DialogResponder responder);

}  // namespace qel

#include "network/NetDialogsInternal.h"

#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "network/NetEnvironment.h"
#include "network/NetSession.h"
#include "network/NetworkComponent.h"
#include "platform/DialogNetwork.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/SpriteLevelInternal.h"

namespace net {

namespace {

constexpr std::uint32_t ResignedPlayers = 0xFFFFFFFF;
constexpr std::uint32_t WaitPollMs = 250;
constexpr std::uint32_t IconMask = 0xF0;

qel::MessageBoxIcon IconOf(std::uint32_t flags) {
    switch (flags & IconMask) {
        case 0x10: return qel::MessageBoxIcon::Error;
        case 0x30: return qel::MessageBoxIcon::Warning;
        case 0x40: return qel::MessageBoxIcon::Information;
        default: return qel::MessageBoxIcon::None;
    }
}

bool LevelSpriteName(std::uint32_t id, std::string& name) {
    Sprite* found = sprites::ForEachSprite([id](Sprite* s) { return s->Id() == int(id); });
    if (found == nullptr) return false;
    name = static_cast<const char*>(found->Name());
    return true;
}

int ServeDialog(int kind) {
    if (kind == NetworkRequest::SelectPlayer) {
        std::vector<std::uint32_t> offered;
        {
            std::lock_guard<qel::CriticalSection> hold(PlayerListLock);
            offered = EngineNetEnvironment().OfferedIds();
        }
        return SelectPlayer(offered, LevelSpriteName);
    }
    return WaitForPlayersDialog();
}

}  // namespace

int SelectPlayer(const std::vector<std::uint32_t>& offered, const SpriteNamer& name) {
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id : offered) {
        std::string text;
        if (!name(id, text)) continue;
        names.push_back(text);
        ids.push_back(id);
    }
    int selected = -1;
    const int button = qel::SelectPlayerDialog(_Ghwnd, names, selected);
    if (button != qel::ButtonOk || selected < 0 || selected >= int(ids.size())) return qel::ButtonCancel;
    return int((ids[std::size_t(selected)] & 0xFFFF) | 0x10000);
}

int WaitForPlayersDialog() {
    const auto done = [] {
        NetworkComponent* session = net::Current();
        if (session == nullptr) return true;
        return gNode != nullptr && gNode->RequiredPlayers != ResignedPlayers &&
               gNode->RequiredPlayers <= session->PlayerCount();
    };
    const int button = qel::WaitDialog(_Ghwnd, done, WaitPollMs);
    if (button == qel::ButtonOk) return 1;
    if (gNode != nullptr) {
        gNode->RequiredPlayers = ResignedPlayers;
        if (myGame != nullptr) myGame->LevelNumber(int(gNode->DisconnectLevel));
    }
    return qel::ButtonCancel;
}

}  // namespace net

NetworkRequest::Presenter EngineRequestPresenter() {
    NetworkRequest::Presenter p;
    p.begin = [] {
        if (pKeyboard != nullptr) pKeyboard->StopReceivingData();
        if (pMouse != nullptr) pMouse->StopReceivingData();
        qel::ShowCursor(true);
    };
    p.dialog = net::ServeDialog;
    p.messageBox = [](const char* text, const char* caption, std::uint32_t flags) {
        qel::ShowMessageBox(_Ghwnd, text, caption, net::IconOf(flags));
    };
    p.end = [] {
        qel::ShowCursor(false);
        if (gNode != nullptr) gNode->NResetKM();
        if (pMouse != nullptr) pMouse->StartReceivingData();
        if (pKeyboard != nullptr) pKeyboard->StartReceivingData();
    };
    return p;
}

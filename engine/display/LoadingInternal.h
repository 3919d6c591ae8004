// The loading screen: "Loading ..." is shown for the life of the guard
// (level switches, loading a game, rebuilding the display).
#pragma once

class Loading {
public:
    Loading();
    ~Loading();
    Loading(const Loading&) = delete;
    Loading& operator=(const Loading&) = delete;
};

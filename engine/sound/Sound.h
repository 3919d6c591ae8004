// A one-shot sound effect of a level: its buffer holds the whole WAVE data.
// Playing it again while it plays restarts it only once it has played a given
// share of its buffer, so rapid repeats neither stack nor cut in too early.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "sound/SoundBase.h"

class QEL_API Sound : public SoundBase {
public:
    // The percentage is clamped to [0, 100].
    Sound(const char* name, const char* file, bool loop, int playPercentage);
    Sound();
    ~Sound() override;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;
    static node* CreateObject();
    static CREATE cr;

    void Play() override;
    // Back to rest at the start.
    void Stop() override;
    void SetPlayPercentage(int percentage);
    std::int32_t PlayPercentage() const { return playPercentage; }

    // The current level's sound of that name; a misuse report and null when missing.
    static Sound* Search(const char* name);

private:
    // Starts the buffer, restoring and refilling it while the device has lost it.
    void Start();

    std::int32_t playPercentage = 0;
};

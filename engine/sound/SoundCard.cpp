#include "sound/SoundCard.h"

#include <cstdint>
#include <string>

#include "foundation/Console.h"
#include "foundation/List.h"
#include "platform/AudioDevice.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sound/MidiFile.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"

bool SoundCard::m_Created = false;
HWND SoundCard::m_GameWindow = nullptr;

namespace {

struct DeviceError {
    std::uint32_t code;
    const char* name;
    const char* description;
};

constexpr DeviceError DeviceErrors[] = {
    {0x80070005, "DSERR_ACCESSDENIED", "The request failed because access was denied."},
    {0x8878000A, "DSERR_ALLOCATED",
     "The request failed because resources, such as a priority level, were already in use by another caller."},
    {0x88780082, "DSERR_ALREADYINITIALIZED", "The object is already initialized."},
    {0x88780064, "DSERR_BADFORMAT", "The specified wave format is not supported."},
    {0x88780096, "DSERR_BUFFERLOST", "The buffer memory has been lost and must be restored."},
    {0x8878001E, "DSERR_CONTROLUNAVAIL",
     "The buffer control (volume, pan, and so on) requested by the caller is not available."},
    {0x80004005, "DSERR_GENERIC", "An undetermined error occurred inside the DirectSound subsystem."},
    {0x88780032, "DSERR_INVALIDCALL", "This function is not valid for the current state of this object."},
    {0x80070057, "DSERR_INVALIDPARAM", "An invalid parameter was passed to the returning function."},
    {0x80040110, "DSERR_NOAGGREGATION", "The object does not support aggregation."},
    {0x88780078, "DSERR_NODRIVER", "No sound driver is available for use."},
    {0x80004002, "DSERR_NOINTERFACE", "The requested COM interface is not available."},
    {0x887800A0, "DSERR_OTHERAPPHASPRIO",
     "Another application has a higher priority level, preventing this call from succeeding."},
    {0x8007000E, "DSERR_OUTOFMEMORY",
     "The DirectSound subsystem could not allocate sufficient memory to complete the caller's request."},
    {0x88780046, "DSERR_PRIOLEVELNEEDED",
     "The caller does not have the priority level required for the function to succeed."},
    {0x887800AA, "DSERR_UNINITIALIZED",
     "The IDirectSound::Initialize method has not been called or has not been called successfully before other "
     "methods were called."},
    {0x80004001, "DSERR_UNSUPPORTED", "The function called is not supported at this time."},
};

template <class T, class F>
void ForEach(List& list, F f) {
    for (node* p = list.Head(); p && !p->EOList(); p = p->Next()) f(*static_cast<T*>(p));
}

}  // namespace

SoundCard::SoundCard(int samplesPerSecond, int bitsPerSample, int channels, HWND window)
    : channels(channels), bitsPerSample(bitsPerSample), samplesPerSecond(samplesPerSecond) {
    if (m_Created) return;
    m_Created = true;
    m_GameWindow = window;
    holdsDevice = qel::OpenAudioDevice(samplesPerSecond, bitsPerSample, channels);
}

SoundCard::~SoundCard() {
    if (holdsDevice) qel::CloseAudioDevice();
}

SoundCard& SoundCard::Instance() {
    static SoundCard card(44100, 16, 2, _Ghwnd);
    return card;
}

void SoundCard::UpdateBuffers() {
    if (!gNode) return;
    ForEach<StreamedSound>(gNode->StreamedSounds(), [](StreamedSound& s) { s.UpdateBuffer(); });
}

void SoundCard::ManageBuffers(bool play) {
    if (!gNode) return;
    if (!play) {
        auto pause = [](SoundBase& s) {
            if (!s.IsPlaying()) return;
            s.Pause();
            s.PausedByCard(true);
        };
        ForEach<StreamedSound>(gNode->StreamedSounds(), pause);
        ForEach<Sound>(gNode->Sounds(), pause);
        ForEach<MidiFile>(gNode->MidiFiles(), [](MidiFile& m) {
            if (!m.IsPlaying()) return;
            m.Pause();
            m.PausedByCard(true);
        });
        return;
    }
    ForEach<StreamedSound>(gNode->StreamedSounds(), [](StreamedSound& s) {
        if (s.HasBuffer() && s.IsBufferLost() && s.RestoreBuffer()) s.FillFromLostBuffer();
        if (s.PausedByCard()) {
            s.Play();
            s.PausedByCard(false);
        }
    });
    ForEach<Sound>(gNode->Sounds(), [](Sound& s) {
        if (s.HasBuffer() && s.IsBufferLost() && s.RestoreBuffer()) {
            s.Reset();
            s.FillBuffer();
        }
        if (s.PausedByCard()) {
            s.Play();
            s.PausedByCard(false);
        }
    });
    ForEach<MidiFile>(gNode->MidiFiles(), [](MidiFile& m) {
        if (!m.PausedByCard()) return;
        m.Play();
        m.PausedByCard(false);
    });
}

void SoundCard::DSError(const char* file, int line, long result) {
    if (result == 0) return;
    std::string text = "DirectSound Error in File " + std::string(file ? file : "") + " Line :" + std::to_string(line) +
                       ".\n" + "Error Code Is ";
    const std::uint32_t code = std::uint32_t(result);
    const DeviceError* known = nullptr;
    for (const DeviceError& e : DeviceErrors)
        if (e.code == code) known = &e;
    if (known)
        text += std::string(known->name) + ".\n" + "Description : " + known->description;
    else
        text += "UNKNOWN.\n";
    if (!pConsole) return;
    pConsole->Show(true);
    pConsole->Print("%s", text.c_str());
    pConsole->Print("\n");
}

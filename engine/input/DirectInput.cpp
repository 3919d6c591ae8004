#include "input/DirectInput.h"

#include <string>

#include "input/InputSessionInternal.h"
#include "platform/InputDevices.h"

std::int32_t DirectInput::References = 0;
HWND DirectInput::hWnd = nullptr;

namespace {

bool systemRunning = false;

struct ResultText {
    std::uint32_t code;
    const char* name;
    const char* description;
};

// 0x80070005 carries the input system's own name for it: the answer of an
// acquire while another window has the focus.
constexpr ResultText kResults[] = {
    {0x00000001, "DI_BUFFEROVERFLOW",
     "The device buffer overflowed and some input was lost.This value is equal to the S_FALSE standard COM return value."},
    {0x00000002, "DI_POLLEDDEVICE",
     "The device is a polled device. As a result, device buffering does not collect any data and event notifications is not signaled until the IDirectInputDevice7::Poll method is called."},
    {0x00000003, "DI_DOWNLOADSKIPPED",
     "The parameters of the effect were successfully updated, but the effect could not be downloaded because the associated device was not acquired in exclusive mode."},
    {0x00000004, "DI_EFFECTRESTARTED",
     "The effect was stopped, the parameters were updated, and the effect was restarted."},
    {0x00000008, "DI_TRUNCATED",
     "The parameters of the effect were successfully updated, but some of them were beyond the capabilities of the device and were truncated to the nearest supported value."},
    {0x0000000C, "DI_TRUNCATEDANDRESTARTED", "Equal to DI_EFFECTRESTARTED | DI_TRUNCATED."},
    {0x8000000A, "E_PENDING", "Data is not yet available."},
    {0x80004001, "DIERR_UNSUPPORTED",
     "The function called is not supported at this time. This value is equal to the E_NOTIMPL standard COM return value."},
    {0x80004002, "DIERR_NOINTERFACE",
     "The specified interface is not supported by the object. This value is equal to the E_NOINTERFACE standard COM return value."},
    {0x80004005, "DIERR_GENERIC",
     "An undetermined error occurred inside the DirectInput subsystem. This value is equal to the E_FAIL standard COM return value."},
    {0x80040110, "DIERR_NOAGGREGATION", "This object does not support aggregation."},
    {0x80040154, "DIERR_DEVICENOTREG",
     "The device or device instance is not registered with DirectInput. This value is equal to the REGDB_E_CLASSNOTREG standard COM return value."},
    {0x80040201, "DIERR_DEVICEFULL", "The device is full."},
    {0x80040202, "DIERR_MOREDATA", "Not all the requested information fit into the buffer."},
    {0x80040203, "DIERR_NOTDOWNLOADED", "The effect is not downloaded."},
    {0x80040204, "DIERR_HASEFFECTS",
     "The device cannot be reinitialized because there are still effects attached to it."},
    {0x80040205, "DIERR_NOTEXCLUSIVEACQUIRED",
     "The operation cannot be performed unless the device is acquired in DISCL_EXCLUSIVE mode."},
    {0x80040206, "DIERR_INCOMPLETEEFFECT",
     "The effect could not be downloaded because essential information is missing. For example, no axes have been associated with the effect, or no type-specific information has been supplied."},
    {0x80040207, "DIERR_NOTBUFFERED",
     "The device is not buffered. Set the DIPROP_BUFFERSIZE property to enable buffering."},
    {0x80040208, "DIERR_EFFECTPLAYING",
     "The parameters were updated in memory but were not downloaded to the device because the device does not support updating an effect while it is still playing."},
    {0x80040209, "DIERR_UNPLUGGED", "The operation could not be completed because the device is not plugged in."},
    {0x8004020A, "DIERR_REPORTFULL", "More information was requested to be sent than can be sent to the device."},
    {0x80070002, "DIERR_NOTFOUND", "The requested object does not exist."},
    {0x80070005, "DIERR_OTHERAPPHASPRIO", "The request failed because access was denied."},
    {0x80070006, "E_HANDLE", "The HWND parameter is not a valid top-level window that belongs to the process."},
    {0x8007000C, "DIERR_NOTACQUIRED", "The operation cannot be performed unless the device is acquired."},
    {0x8007000E, "DIERR_OUTOFMEMORY",
     "The DirectInput subsystem could not allocate sufficient memory to complete the call. This value is equal to the E_OUTOFMEMORY standard COM return value."},
    {0x80070015, "DIERR_NOTINITIALIZED", "This object has not been initialized."},
    {0x8007001E, "DIERR_INPUTLOST", "Access to the input device has been lost. It must be reacquired."},
    {0x80070057, "DIERR_INVALIDPARAM",
     "An invalid parameter was passed to the returning function, or the object was not in a state that permitted the function to be called. This value is equal to the E_INVALIDARG standard COM return value."},
    {0x80070077, "DIERR_BADDRIVERVER",
     "The object could not be created due to an incompatible driver version or mismatched or incomplete driver components."},
    {0x800700AA, "DIERR_ACQUIRED", "The operation cannot be performed while the device is acquired."},
    {0x8007047E, "DIERR_OLDDIRECTINPUTVERSION", "The application requires a newer version of DirectInput."},
    {0x80070481, "DIERR_BETADIRECTINPUTVERSION",
     "The application was written for an unsupported prerelease version of DirectInput."},
    {0x800704DF, "DIERR_ALREADYINITIALIZED", "This object is already initialized."},
};

const ResultText* FindResult(std::int32_t hr) {
    for (const ResultText& r : kResults)
        if (r.code == std::uint32_t(hr)) return &r;
    return nullptr;
}

}  // namespace

DirectInput::DirectInput(HWND hwnd, HINSTANCE) {
    hWnd = hwnd;
    if (References++ == 0) systemRunning = qel::StartInputSystem();
}

DirectInput::~DirectInput() {
    if (--References > 0) return;
    References = 0;
    if (systemRunning) qel::StopInputSystem();
    systemRunning = false;
}

bool DirectInput::Ready() { return systemRunning; }

void DirectInput::DIError(const char* file, int line, std::int32_t hr) {
    if (hr == 0) return;
    std::string text = "DirectInput Error in File ";
    text += file ? file : "";
    text += " Line :" + std::to_string(line) + ".\n";
    if (const ResultText* r = FindResult(hr)) {
        text += "Error Code Is " + std::string(r->name) + ".\n";
        text += "Description : " + std::string(r->description);
    } else {
        text += "Error Code Is UNKNOWN.\n";
    }
    InputSession& session = CurrentInputSession();
    session.ConsolePrint("Direct Input Error:\n");
    session.ConsolePrint(text.c_str());
    session.ConsolePrint("\n");
    session.ConsoleShow();
}

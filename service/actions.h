// The two things a person can do: install the driver service, or remove it.
#pragma once

#include <windows.h>

// One message box: always a single OK button, with an information or error icon.
struct Notice {
    const char* text;
    const char* caption;
    UINT iconKind;  // MB_ICONINFORMATION or MB_ICONERROR

    UINT MessageBoxType() const { return MB_OK | iconKind; }
};

// Supplied by the caller of an action: shows one notice modally and returns
// when the person has dismissed it.
class NoticeSink {
public:
    virtual void ShowNotice(const Notice& notice) = 0;

protected:
    ~NoticeSink() = default;
};

// Registers KESTRAMO.SYS from the current directory as an auto-start kernel
// driver and starts it; shows exactly one notice. Does nothing unless isNT.
void InstallDriverService(bool isNT, NoticeSink& sink);

// Stops the service and deletes its registration; shows no notice when no
// service is registered, else one or two. Does nothing unless isNT.
void RemoveDriverService(bool isNT, NoticeSink& sink);

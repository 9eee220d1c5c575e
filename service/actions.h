// The two things a person can do: install the driver service, or remove it.
#pragma once

#include <windows.h>

// One message box: always a single OK button, with an information or error icon.
struct Notice {
    const char* text;
    const char* caption;
    UINT iconKind;  // MB_ICONINFORMATION or MB_ICONERROR
    // Where set, the text and caption shown, in UTF-16: the text names a
    // path the ANSI code page may not hold (the program's own refusal).
    const wchar_t* wideText = nullptr;
    const wchar_t* wideCaption = nullptr;

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

// Both actions return the code of their outcome: ERROR_SUCCESS, or the code
// shown in the failure notice that ended the action; ERROR_CANCELLED when
// they did nothing because the system is not NT.

// Registers KESTRAMO.SYS from the current directory as an auto-start kernel
// driver and starts it; shows exactly one notice. Does nothing unless isNT.
// Registers nothing from a place others than administrators could change
// (trust/gather.h): its notice then says which place, why, and what to do,
// and the outcome is ERROR_DRIVER_BLOCKED, or the code of a query that
// failed.
DWORD InstallDriverService(bool isNT, NoticeSink& sink);

// Stops the service and deletes its registration; shows no notice when no
// service is registered, else one or two. A stop failure alone still ends in
// success once the registration is deleted, or in
// ERROR_SUCCESS_REBOOT_REQUIRED while the driver still runs, since the
// registration then goes only at the next restart; so does a deletion
// refused because an earlier one is waiting for that. When the service
// cannot be opened, returns the code OpenServiceA left
// (ERROR_SERVICE_DOES_NOT_EXIST, or ERROR_INVALID_HANDLE without a manager).
// Does nothing unless isNT.
DWORD RemoveDriverService(bool isNT, NoticeSink& sink);

#pragma once

// Exit-code bits of probe_child.exe.
enum {
    kProbeIsNT = 1,
    kProbeInstallEnabled = 2,
    kProbeRemoveEnabled = 4,
    kProbeOs9x = 8,
    kProbeStatusNotNeeded = 16,
    kProbeStatusInstalled = 32,
    kProbeStatusNotInstalled = 64,
};

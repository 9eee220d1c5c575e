// Runs the state probe once and reports it in the exit code, so a test can
// run the probe in a process to which Wine reports another OS version.
#include "driver_service.h"
#include "probe.h"

#include "probe_child.h"

#include <string.h>

int main()
{
    InstallState state = ProbeInstallState();
    int code = 0;
    if (state.isNT)
        code |= kProbeIsNT;
    if (state.installEnabled)
        code |= kProbeInstallEnabled;
    if (state.removeEnabled)
        code |= kProbeRemoveEnabled;
    if (strcmp(state.osText, kTexts.osName9x) == 0)
        code |= kProbeOs9x;
    if (strcmp(state.statusText, kTexts.statusNotNeeded) == 0)
        code |= kProbeStatusNotNeeded;
    else if (strcmp(state.statusText, kTexts.statusInstalled) == 0)
        code |= kProbeStatusInstalled;
    else if (strcmp(state.statusText, kTexts.statusNotInstalled) == 0)
        code |= kProbeStatusNotInstalled;
    return code;
}

#pragma once

// Restricts where the process looks for DLLs loaded by bare name to the
// system folder, so that no DLL placed beside the program or in the current
// folder is picked up by what loads later (the window manager, common
// controls, input methods). Functions missing from an older system are
// skipped: it still starts.
void HardenDllSearchPath();

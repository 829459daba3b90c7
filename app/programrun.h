#pragma once

// The program's whole run inside its application object: the practice is
// found or made, an old Access file brought over, then the splash and the
// access check, and only then the main window and its event loop. Returns
// the program's exit code.
int RunProgram();

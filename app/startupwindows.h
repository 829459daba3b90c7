#pragma once

// The windows created once at start-up and reused for the whole run: each
// is declared beside its class (Form7, Form14, Form15, Form18, Form22,
// Form72) and used by the windows that show it.

// Creates them in the start-up order; DestroyStartupWindows deletes them
// and leaves each pointer null.
void CreateStartupWindows();
void DestroyStartupWindows();

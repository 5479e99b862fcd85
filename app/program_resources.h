#pragma once
// The worksheet program's own resources (app/wkelvo.res), compiled into the program.

// Loads them into the GUI layer's resource registry; idempotent.  False (with a message on
// stderr) when the text does not parse.
bool loadProgramResources();

#pragma once

// Typed passwords and opened card numbers live in this process's memory: no core file is
// written of it and no debugger of the same user may attach. Called first thing in main().
void closeProcessToInspection();

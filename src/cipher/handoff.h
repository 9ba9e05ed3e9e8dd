#pragma once

// Hands a file named on the command line to the cipher window: a path ending in "D0C" is
// decrypted at once (the window stays hidden), any other existing file is put ready for
// encryption. Called at the end of the search window's load step.
void CommandLineHandOff();

#pragma once

// True when the process's standard error goes to a terminal (not a file or a pipe), so that
// a progress line rewritten in place is worth showing there.
bool StandardErrorIsTerminal();

// Columns of the terminal standard error goes to; 80 when that cannot be told.
int StandardErrorColumns();

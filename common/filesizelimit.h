#pragma once
// A write past the file size limit (ulimit -f) raises SIGXFSZ, whose default
// ends the program on the spot, settings half typed and all. With it
// ignored, the write fails with EFBIG and a save can say why.

namespace parlowen {

// Call first thing in main: a signal's handling belongs to the program, not
// to the library code that happens to write a file.
void makeFileSizeLimitAnError();

} // namespace parlowen

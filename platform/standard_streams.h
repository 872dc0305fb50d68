#pragma once

#include <string>

namespace platform {

// A program started with standard input, output or error closed would hand those numbers to
// the next files it opens, and its output would land in them. Each closed one is taken by
// /dev/null opened for reading, so output to it fails as output to a closed stream should.
void reserveStandardDescriptors();

// Writes data to standard output past the stdio buffer (which is flushed first, so the order
// holds): 0 when all of it was written, else the errno of the failure, exact even where a
// buffered write would have lost it.
int writeStandardOutput(const std::string& data);

// Flushes standard output; 0 when everything written to it arrived, else the errno of the
// failure (EIO when none is known).
int flushStandardOutput();

// Standard error is a terminal (a person watches it), not a file, pipe or log.
bool standardErrorIsTerminal();

// A closed pipe or socket on the other end of an output is a write error to report (EPIPE),
// not a signal that ends the program before it could say so.
void reportBrokenPipesAsErrors();

} // namespace platform

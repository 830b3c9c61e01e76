// The MPEG file that the Tunepress benchmarks copy into their inputs: MP3 encoded by lame
// from a signal of its own making, or without lame, silent layer II frames (which decode
// with less work).
#pragma once

#include <QString>

// Makes a file of `seconds` in `folder` and returns its path, empty when it cannot be made;
// `encoded` tells whether lame made it.
QString makeMpegSource(const QString& folder, int seconds, bool& encoded);

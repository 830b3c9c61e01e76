// File names as the system has them: bytes, in whatever encoding they were written. Qt
// decodes them as UTF-8 and, for a byte that is not, gives U+FFFD for good (and its own
// folder listing leaves such files out), so the file could no longer be opened. Here each
// such byte becomes a lone surrogate, U+DC80 to U+DCFF, which turns back into that byte:
// names that are UTF-8 read as usual, and every other name survives the trip.
#pragma once

#include <QByteArray>
#include <QString>

#include <filesystem>

QString pathFromNative(QByteArrayView bytes);
QByteArray nativePath(const QString& path);
std::filesystem::path filesystemPath(const QString& path);
// For people to read: each byte that is not UTF-8 shows as U+FFFD.
QString shownPath(const QString& path);

// Output names made from a stream's tags: a pattern such as
// "{artist}/{album}/{track:02} - {title}", whose fields are filled from the tags the engine
// reads, and whose "/" make folders.
#pragma once

#include <QHash>
#include <QList>
#include <QString>

// A file's tags by field ("artist" -> "Queen"), as the engine reads them; empty for a file
// that cannot be read or is no regular file (a pipe would hold up whoever asks).
using Tags = QHash<QString, QString>;
Tags readTags(const QString& path);

class NamePattern {
public:
    // Fields: {artist}, {album}, {title}, {track}, {date} and {genre}. {track} is the
    // number before any "/" ("3/12"), and a width such as {track:02} pads a number with zeros.
    explicit NamePattern(const QString& text = QString());

    bool isEmpty() const { return m_pieces.isEmpty() && m_error.isEmpty(); }
    // What keeps the pattern from naming anything ("Unknown field {year}"), or nothing.
    QString error() const { return m_error; }
    // The name for a file with `tags`, folders and all, without ".wav"; empty when a field
    // of the pattern is missing from the tags, so that the file keeps its own name. A value's
    // "/" and the characters that some file systems refuse are replaced with "_".
    QString nameFor(const Tags& tags) const;

private:
    struct Piece {
        QString text{};   // as it stands, or
        QString field{};  // a field's value
        int width = 0;  // to pad a number to
    };
    static QString valueOf(const Piece& field, const Tags& tags);

    QList<Piece> m_pieces;
    QString m_error;
};

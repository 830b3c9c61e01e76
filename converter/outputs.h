// Where the files of a run go, decided before the run: the output folder made ready, each
// input's WAV name, the names that are taken already or that two inputs would share, and
// the MPEG audio files below a folder. Nothing here touches a widget.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The extensions of MPEG audio files, in any case: what a folder gives, what the list
// takes and what the file chooser shows.
extern const QStringList MpegExtensions;
bool hasMpegExtension(const QString& path);

// Whether `output` names `input` itself, by its path or through links: converting a file
// onto itself would replace the source with its WAV file.
bool isSameFile(const QString& input, const QString& output);

// A file to convert and its place below the output folder: a file found in a folder keeps
// the tree it has there, the folder's own name at its top ("Album/CD 2/01 - Intro.mp3");
// a file given by itself has its bare name.
struct SourceFile {
    QString path;
    QString treePath;
};
SourceFile singleFile(const QString& path);

// The WAV file that `file` is converted to: below `folder` at its tree path, or beside the
// source when `folder` is empty. A name made from tags ("Artist/Album/01 - Title") takes
// the place of the tree path and of the file's own name.
QString wavPathFor(const SourceFile& file, const QString& folder, const QString& taggedName = QString());

// The folder as the user meant it: "~" and "~/..." stand for the home folder; blanks
// around the name do not count.
QString expandedFolder(const QString& folder);

// Makes the output folder (with any folders above it that are missing) and checks that
// files can be written in it. Returns what is wrong in plain words, naming the folder
// ("Cannot create the output folder /x/y: permission denied"), or nothing.
std::optional<QString> prepareOutputFolder(const QString& folder);

// The MPEG audio files in a folder and all the folders below it, in no particular order,
// with their tree below the folder's own name; hidden files and folders and links to
// folders are left out. A folder that cannot be read comes as a file of its own, which
// then fails with the reason: nothing below it goes missing unsaid.
QList<SourceFile> mpegFilesBelow(const QString& folder);

enum class ClashAnswer { Overwrite, Skip, KeepBoth, Cancel };

struct PlannedFile {
    QString input;
    QString output;  // empty: skipped
};

// The question put for an output that is there before the run; the answer, and whether it
// holds for every such output after it too.
struct ClashDecision {
    ClashAnswer answer = ClashAnswer::Skip;
    bool applyToAll = false;
};
using AskClash = std::function<ClashDecision(const PlannedFile& file)>;

// The output as its row shows it: below the output folder ("Album/01 - Intro.wav"), or
// beside its source when `folder` is empty.
QString shownOutput(const PlannedFile& file, const QString& folder);

// The outputs of `files`, each given with the output it would have, in their order. An
// output that is there already is put to `ask` (once more only until an answer is given
// for all): Overwrite keeps the name, Skip leaves the output empty, KeepBoth gives the
// first free numbered name, "song (2).wav", "song (3).wav", .., free both on disk and among
// the outputs planned before it, and Cancel plans nothing. An output that an earlier input
// of the run has is numbered so without a question: no file of a run replaces another. An
// input converted onto itself is skipped without a question.
std::optional<QList<PlannedFile>> planOutputs(QList<PlannedFile> files, const AskClash& ask);

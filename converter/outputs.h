// Where the files of a run go, decided before the run: the output folder made ready, each
// input's WAV name, the names that are taken already or that two inputs would share, and
// the MPEG audio files below a folder. Nothing here touches a widget.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Error texts start with a capital; ours go in the middle of a sentence.
QString lowerFirst(QString text);

// Whether `output` names `input` itself, by its path or through links: converting a file
// onto itself would replace the source with its WAV file.
bool isSameFile(const QString& input, const QString& output);

// The WAV file that `input` is converted to: in `folder`, or beside the input when
// `folder` is empty.
QString wavPathFor(const QString& input, const QString& folder);

// The folder as the user meant it: "~" and "~/..." stand for the home folder; blanks
// around the name do not count.
QString expandedFolder(const QString& folder);

// Makes the output folder (with any folders above it that are missing) and checks that
// files can be written in it. Returns what is wrong in plain words, naming the folder
// ("Cannot create the output folder /x/y: permission denied"), or nothing.
std::optional<QString> prepareOutputFolder(const QString& folder);

// The MPEG audio files (.mp1 .mp2 .mp3 .mpa .mpg, in any case) in a folder and all the
// folders below it, sorted by path without regard to case; hidden files and folders and
// links to folders are left out.
QStringList mpegFilesBelow(const QString& folder);

// What stands in an output's way before the run.
enum class Clash {
    None,
    Exists,      // a file of that name is there already
    SameOutput,  // an earlier input of the run goes to the same name
};

enum class ClashAnswer { Overwrite, Skip, KeepBoth };

struct PlannedFile {
    QString input;
    QString output;  // empty: skipped
    Clash clash = Clash::None;
};

// The question put for one clash; the answer, and whether it holds for every clash
// after it too.
struct ClashDecision {
    ClashAnswer answer = ClashAnswer::KeepBoth;
    bool applyToAll = false;
};
using AskClash = std::function<ClashDecision(const PlannedFile& file)>;

// The outputs of `inputs` in their order. Each clash is put to `ask` (once more only
// until an answer is given for all): Overwrite keeps the name (for two inputs of the
// run, the later one's WAV is what stays), Skip leaves the output empty, KeepBoth gives
// the first free numbered name, "song (2).wav", "song (3).wav", .., free both on disk and
// among the outputs planned before it. An input converted onto itself is never planned
// for: it is skipped without a question.
QList<PlannedFile> planOutputs(const QStringList& inputs, const QString& folder, const AskClash& ask);

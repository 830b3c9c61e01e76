// The conversion of a run's files to WAV files, as many at once as the machine has cores:
// one job per file on a thread pool, each with its own engine context. Converter lives on
// the GUI thread and reports through its signals; the jobs never touch a widget, and what
// they tell reaches the GUI thread through its event loop, where the signals are emitted.
#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

// One file of a run: `id` is what the signals name it by (the dialog uses its list row).
struct ConversionJob {
    int id = 0;
    QString input;
    QString output;  // the WAV file; written under a temporary name and renamed when complete
};

enum class FileOutcome {
    Converted,  // detail: the length of the audio, "3:25"
    Failed,     // detail: the reason in words, "No MPEG audio in /x/a.mp3"
    Stopped,    // Stop came first: nothing of the file is left, an earlier WAV stays
};
Q_DECLARE_METATYPE(FileOutcome)

class Converter : public QObject {
    Q_OBJECT

public:
    explicit Converter(QObject* parent = nullptr);
    // Stops the run without a signal and waits for its jobs (see hasStuckJobs for one that
    // hangs).
    ~Converter() override;

    // At most this many files at once; by default one per core.
    void setWorkers(int count);
    // Trims the encoder's delay and padding where the stream says what they are.
    void setGapless(bool gapless);

    // Starts converting; more files may be added to a run under way. An empty list starts
    // a run that finishes as soon as the event loop runs.
    void start(const QList<ConversionJob>& jobs);
    // Ends the run at once: every file under way or waiting ends as Stopped and the run
    // is finished before this returns. A job stuck in a read that never returns is left
    // to itself; its file, if any, is removed when it comes back or the program ends.
    void stop();
    bool isRunning() const;

    // True when jobs of a stopped run have still not come back after `milliseconds`:
    // the program should then end without them (removeAbandonedFiles, then _Exit).
    bool hasStuckJobs(int milliseconds) const;
    // Removes the temporary files of jobs that never came back.
    static void removeAbandonedFiles();

signals:
    // All emitted on the Converter's thread. A file gives fileStarted, then streamChanged
    // and fileProgress, then one fileFinished; files under way at once interleave. A file
    // that a stop ends may have given nothing but its fileFinished. finished() comes last
    // in a run: nothing of the run follows it.
    void fileStarted(int id);
    // Only when the whole percent changes.
    void fileProgress(int id, int percent);
    // The stream line of a file: "MPEG 1, layer III, 128 kbps, 44100 hz, Jnt-Stereo, 215 sec".
    void streamChanged(int id, const QString& text);
    void fileFinished(int id, FileOutcome outcome, const QString& detail);
    // The engine itself could not be set up ("Cannot init decoder (...)"), told once a run;
    // the file ends as Failed with the same text.
    void engineFailed(const QString& text);
    // Every file has finished, or the run was stopped.
    void finished();

private:
    struct Run;

    // On a thread of the pool.
    void runJob(const std::shared_ptr<Run>& run, const ConversionJob& job, bool gapless);
    // Runs `signal` on this object's thread, unless the run is over by then.
    void post(const std::shared_ptr<Run>& run, std::function<void()> signal);
    void fileDone(const std::shared_ptr<Run>& run, int id, FileOutcome outcome, const QString& detail);
    void finishIfDone(const std::shared_ptr<Run>& run);
    // Ends the run and lets its jobs end at their next frame; the ids it had not finished.
    QList<int> end();
    // The pool's size: the workers asked for, and one for each job a stop left stuck.
    void applyWorkers();

    std::shared_ptr<Run> m_run;
    // Stopped runs whose jobs may still be out; hasStuckJobs waits for them.
    std::vector<std::shared_ptr<Run>> m_stopped;
    int m_workers = 0;
    QThreadPool m_pool;
    bool m_gapless = true;
};

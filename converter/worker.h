// The conversion of a run's files to WAV files, as many at once as the machine has cores:
// one job per file on a thread pool, each with its own engine context. Converter lives on
// the GUI thread and reports through its signals; the jobs never touch a widget. What they
// tell waits for the GUI thread to take it, ten times a second, and is told there in one
// go: a run of thousands of short files wakes the GUI thread no more often than one file.
#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

// One file of a run: `id` is what the signals name it by (the dialog uses its list row).
struct ConversionJob {
    int id = 0;
    QString input;
    QString output;  // the WAV file; written under a temporary name and renamed when complete, its
                     // folder made when missing
};

enum class FileOutcome {
    Converted,  // detail: the length of the audio, "3:25"
    Failed,     // detail: the reason in words, without the file's path: "No MPEG audio"
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

    // Starts converting; more files may be added to a run under way. Part files that no
    // running Tunepress writes in the outputs' folders (those of a run that crashed) are
    // removed first. An empty list starts a run that finishes from the event loop.
    void start(const QList<ConversionJob>& jobs);
    // Ends the run at once: what the jobs told before is told first, then every file under
    // way or waiting ends as Stopped, and the run is finished before this returns. A job
    // stuck in a read that never returns is left to itself; its file, if any, is removed
    // when it comes back or the program ends.
    void stop();
    bool isRunning() const;

    // True when jobs of a stopped run have still not come back after `milliseconds`:
    // the program should then end without them (removeAbandonedFiles, then _Exit).
    bool hasStuckJobs(int milliseconds) const;
    // Removes the temporary files of jobs that never came back.
    static void removeAbandonedFiles();

signals:
    // All emitted on the Converter's thread, from the event loop. A file gives fileStarted,
    // then streamChanged and fileProgress, then one fileFinished; files under way at once
    // interleave. A file that a stop ends may have given nothing but its fileFinished.
    // finished() comes last in a run: nothing of the run follows it.
    void fileStarted(int id);
    // The whole percent, when it changed: the latest one each time the jobs' reports are taken.
    void fileProgress(int id, int percent);
    // The stream line of a file: "MPEG 1, layer III, 128 kbps, 44100 Hz, Jnt-Stereo, 215 sec".
    void streamChanged(int id, const QString& text);
    void fileFinished(int id, FileOutcome outcome, const QString& detail);
    // The engine itself could not be set up ("Cannot init decoder (...)"), told once a run;
    // the file ends as Failed with the same text.
    void engineFailed(const QString& text);
    // Every file has finished, or the run was stopped.
    void finished();

private:
    struct Run;
    // What a job told, kept until the GUI thread takes it.
    struct Report {
        enum Kind { Started, Progress, Stream, Finished } kind = Started;
        int id = 0;
        int percent = 0;                            // Progress
        QString text{};                             // Stream: the stream line; Finished: the detail
        FileOutcome outcome = FileOutcome::Failed;  // Finished
        bool engineFailed = false;                  // Finished
    };

    // On a thread of the pool.
    static void runJob(const std::shared_ptr<Run>& run, const ConversionJob& job, bool gapless);
    static void tell(Run& run, Report report);
    // On this object's thread: tells what the jobs told since the last time.
    void deliver();
    void finishFile(Run& run, const Report& report);
    void finishIfDone(Run& run);
    // Ends the run and lets its jobs end at their next frame; the ids it had not finished.
    QList<int> end();
    // The pool's size: the workers asked for, and one for each job a stop left stuck.
    void applyWorkers();

    std::shared_ptr<Run> m_run;
    // Stopped runs whose jobs may still be out; hasStuckJobs waits for them.
    std::vector<std::shared_ptr<Run>> m_stopped;
    int m_workers = 0;
    QThreadPool m_pool;
    QTimer m_delivery;
    std::deque<Report> m_told;  // taken from the run's jobs and not told yet
    bool m_gapless = true;
};

// The Tunepress dialog: the files to convert with the status of each, the output folder and
// how outputs are named, the progress of a run, and the buttons that drive the Converter.
#pragma once

#include <QDialog>
#include <QHash>
#include <QMap>
#include <QStringList>
#include <QTimer>

#include "outputs.h"
#include "run_clock.h"
#include "worker.h"

class ElidedLabel;
class FileList;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class Report;

class MainDialog : public QDialog {
    Q_OBJECT

public:
    explicit MainDialog(QWidget* parent = nullptr);

    // Asks what to do about an output in the way; the program's own asks in a message box.
    void setClashFunction(AskClash askClash);
    // Adds MPEG audio files, and every one below the folders among them, each with its tree;
    // the other files are left out, and one line of the report says how many. Returns that
    // number.
    int addFiles(const QStringList& paths);
    QStringList files() const;
    // Adds `paths`, converts them at once, keeping both where an output is in the way, and
    // asks for the end of the program when done.
    void convertAndEnd(const QStringList& paths);
    // True when a stopped file's input has still not come back after a short wait: the
    // program should end without waiting for it.
    bool hasStuckInputs() const;

public slots:
    // Stops a run under way, as Stop does.
    void stop();
    // During a run, asks "Stop and close?" first.
    void reject() override;
    // Keeps the window's size and place for the next start.
    void done(int result) override;

signals:
    // The program's work is done, with `exitStatus`: a command-line run is over, or the
    // engine could not be set up.
    void endRequested(int exitStatus);
    // A line of the report: a file not converted ("PATH: reason"), files left out, or an
    // output folder or name pattern that cannot be used.
    void reported(const QString& line);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void chooseFiles();
    void chooseFilesFolder();
    void chooseFolder();
    void decodeOrStop();
    void retryFailed();
    void showAbout();
    void openOutputFolder();
    void showPreview();
    void fileStarted(int row);
    void fileProgress(int row, int percent);
    void showStream(int row, const QString& text);
    void fileFinished(int row, FileOutcome outcome, const QString& detail);
    void engineFailed(const QString& text);
    void runFinished();

private:
    struct Tally {
        int files = 0;  // of the run, less those skipped before it
        int converted = 0;
        int skipped = 0;
        int stopped = 0;
        QMap<int, QString> failures;  // the reason by row: in the order of the list
        qint64 bytesFinished = 0;     // of the inputs finished, however they ended
    };

    QList<int> allRows() const;
    void startRun(const AskClash& askClash, const QList<int>& rows);
    // Says why a run cannot start, and ends a command-line run.
    void refuseRun(const QString& reason);
    void setRunning(bool running);
    bool askStopAndClose();
    void showProgress();
    void showFile(int row);
    void showOverallProgress();
    void showTimes();
    // Shows the lines in the report, in place of those before.
    void report(const QStringList& lines);
    QString startFolder() const;
    void rememberFolder(const QString& folder);

    FileList* m_files;
    QPushButton* m_add;
    QPushButton* m_addFolder;
    QPushButton* m_clear;
    QLineEdit* m_folder;
    QPushButton* m_browse;
    QLineEdit* m_pattern;
    ElidedLabel* m_preview;
    QCheckBox* m_gapless;
    ElidedLabel* m_status;
    ElidedLabel* m_stream;
    QLabel* m_times;
    QProgressBar* m_overall;
    QProgressBar* m_current;
    Report* m_report;
    QPushButton* m_decode;
    QPushButton* m_close;
    QPushButton* m_about;
    QPushButton* m_openOutput;

    Converter m_converter;
    AskClash m_askClash;
    bool m_running = false;
    bool m_endWhenDone = false;
    bool m_everyFileListed = true;  // of the command line: none was left out
    Tally m_tally;
    RunClock m_clock;
    QTimer m_refresh;               // shows the progress during a run
    QTimer m_previewUpdate;         // shows the preview once the list has settled
    QHash<int, qint64> m_sizes;     // of the inputs of the run, by row
    QHash<int, int> m_progress;     // the files under way, by row
    QHash<int, QString> m_streams;  // the stream line of each file, by row
    int m_shownRow = -1;         // the file whose stream line and bar are shown
    QString m_outputFolder;      // of the last run, for "Open output folder"
};

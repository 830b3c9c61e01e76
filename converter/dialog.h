// The Tunepress dialog: the files to convert with the status of each, the output folder,
// the progress of a run, and the buttons that drive the Converter.
#pragma once

#include <QDialog>
#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>

#include "outputs.h"
#include "worker.h"

class ElidedLabel;
class FileList;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

class MainDialog : public QDialog {
    Q_OBJECT

public:
    // Shows one message to the user; the program's own shows a message box.
    using MessageFunction = std::function<void(const QString& text)>;

    explicit MainDialog(QWidget* parent = nullptr);

    void setMessageFunction(MessageFunction showMessage);
    // Asks what to do about an output in the way; the program's own asks in a message box.
    void setClashFunction(AskClash askClash);
    // Adds files, and every MPEG audio file below the folders among them.
    void addFiles(const QStringList& paths);
    QStringList files() const;
    // Adds `paths`, converts them at once, keeping both where an output is in the way, and
    // asks for the end of the program when done.
    void convertAndEnd(const QStringList& paths);
    // True when a stopped file's input has still not come back after a short wait: the
    // program should end without waiting for it.
    bool hasStuckInputs() const;

public slots:
    void reject() override;

signals:
    // The program should end with `exitStatus`: a command-line run is over, or the engine
    // could not be set up.
    void endRequested(int exitStatus);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void chooseFiles();
    void chooseFilesFolder();
    void chooseFolder();
    void decodeOrStop();
    void showAbout();
    void openOutputFolder();
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
        QStringList failures;
    };

    void startRun(const AskClash& askClash);
    void setRunning(bool running);
    void showFile(int row);
    void showOverallProgress();
    void showMessage(const QString& text);
    void endWhenMessagesAreRead();
    QString startFolder() const;
    void rememberFolder(const QString& folder);

    FileList* m_files;
    QPushButton* m_add;
    QPushButton* m_addFolder;
    QPushButton* m_clear;
    QLineEdit* m_folder;
    QPushButton* m_browse;
    QCheckBox* m_gapless;
    ElidedLabel* m_status;
    ElidedLabel* m_stream;
    QProgressBar* m_overall;
    QProgressBar* m_current;
    QPushButton* m_decode;
    QPushButton* m_close;
    QPushButton* m_about;
    QPushButton* m_openOutput;

    Converter m_converter;
    MessageFunction m_showMessage;
    AskClash m_askClash;
    bool m_running = false;
    bool m_endWhenDone = false;
    int m_openMessages = 0;
    std::optional<int> m_endStatus;
    Tally m_tally;
    QHash<int, int> m_progress;     // the files under way, by row
    QHash<int, QString> m_streams;  // the stream line of each file, by row
    int m_shownRow = -1;         // the file whose stream line and bar are shown
    QString m_outputFolder;      // of the last run, for "Open output folder"
};

// The Tunepress dialog: the files to convert, the output folder, the progress of a run,
// and the buttons that drive the ConversionWorker on its own thread.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QThread>

#include <functional>
#include <optional>

#include "worker.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The files to convert, sorted the way a reader expects (case does not count), and filled
// by dropping files on it as well.
class FileList : public QListWidget {
    Q_OBJECT

public:
    explicit FileList(QWidget* parent = nullptr);

    void addFiles(const QStringList& paths);
    QStringList files() const;
    QSize sizeHint() const override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class MainDialog : public QDialog {
    Q_OBJECT

public:
    // Shows one message to the user; the program's own shows a message box.
    using MessageFunction = std::function<void(const QString& text)>;

    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    void setMessageFunction(MessageFunction showMessage);
    void addFiles(const QStringList& paths);
    QStringList files() const;
    // Adds `path`, converts it at once and asks for the end of the program when done.
    void convertAndEnd(const QString& path);

public slots:
    void reject() override;

signals:
    // The program should end with `exitStatus`: a command-line run is over, or a run failed
    // in a way that ends the program.
    void endRequested(int exitStatus);

private slots:
    void chooseFiles();
    void chooseFolder();
    void decodeOrStop();
    void showAbout();
    void showProgress(int overall, int current);
    void showMessage(const QString& text);
    void runFinished(ConversionWorker::Outcome outcome);
    void handFilesToWorker();

private:
    void startRun();
    void setRunning(bool running);
    void endWhenMessagesAreRead();

    FileList* m_files;
    QPushButton* m_add;
    QPushButton* m_clear;
    QLineEdit* m_folder;
    QPushButton* m_browse;
    QLabel* m_status;
    QLabel* m_stream;
    QProgressBar* m_overall;
    QProgressBar* m_current;
    QPushButton* m_decode;
    QPushButton* m_close;
    QPushButton* m_about;

    QThread m_workerThread;
    ConversionWorker* m_worker;
    MessageFunction m_showMessage;
    bool m_running = false;
    bool m_endWhenDone = false;
    int m_openMessages = 0;
    std::optional<int> m_endStatus;
};

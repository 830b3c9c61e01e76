// ConversionWorker converts the dialog's files to WAV files, one after another, on the
// thread it lives on. It never touches a widget: it reports through its signals and works
// on a copy of the file list that the dialog hands it.
#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <optional>

struct EngineContext;

// The WAV file that `input` is converted to: in `folder`, or beside the input when
// `folder` is empty.
QString wavPathFor(const QString& input, const QString& folder);

class ConversionWorker : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        AllConverted,
        NotAllConverted,
        Fatal,  // the engine or an output could not be set up: the program ends
    };
    Q_ENUM(Outcome)

    // The three calls below may come from any thread.
    void setFiles(const QStringList& files);
    // Converts the files on the worker's thread; the run re-reads the list after each file.
    void start(const QString& outputFolder);
    // Ends the run between two frames, after which no further file is started.
    void requestStop();

signals:
    void fileStarted(int row);
    void statusChanged(const QString& text);
    void streamChanged(const QString& text);
    void progressChanged(int overall, int current);
    void message(const QString& text);
    void finished(ConversionWorker::Outcome outcome);

private:
    enum class FileResult { Converted, Failed, Fatal };

    void run(const QString& outputFolder);
    Outcome convertAll(const QString& folder);
    FileResult convert(EngineContext* context, int row, const QString& path, const QString& folder);
    int32_t decode(EngineContext* context, int row);
    void reportProgress(int row, float fraction);
    void reportStream(const EngineContext* context);
    void setProgress(int overall, int current);
    std::optional<QString> fileAt(int row) const;
    int fileCount() const;

    mutable QMutex m_filesLock;
    QStringList m_files;
    std::atomic_bool m_stopRequested{true};
    // What the bars show, so that only changes travel to the dialog.
    int m_overall = -1;
    int m_current = -1;
};

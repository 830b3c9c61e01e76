// The files of a run: a list in the order people count names ("Track 2" before "Track 10",
// case aside), which is also the order of conversion. Each row shows the file's name, its
// WAV file once planned and its status; the full paths are tooltips. Files and folders
// dropped on it are added; Delete and the context menu remove the selected rows, and the
// menu also retries the files that failed or takes away those done.
#pragma once

#include <QTreeWidget>

#include "outputs.h"

class FileList : public QTreeWidget {
    Q_OBJECT

public:
    enum class State { Listed, Waiting, Converting, Done, Skipped, Failed, Stopped };

    explicit FileList(QWidget* parent = nullptr);

    void addFiles(const QList<SourceFile>& files);
    QStringList files() const;
    // The file of one row; empty past the end.
    SourceFile source(int row) const;
    QString file(int row) const { return source(row).path; }
    // The WAV file planned, as `shown` (below the output folder) with the whole path on hover.
    void setOutput(int row, const QString& shown, const QString& path);
    void setStatus(int row, State state, const QString& status);
    QList<int> rowsIn(State state) const;
    void removeSelected();
    void removeDone();
    QSize sizeHint() const override;

signals:
    // Files and folders dropped on the list, or on the window around it.
    void dropped(const QStringList& paths);
    // "Retry failed" in the context menu.
    void retryFailedRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// The local files and folders a drag carries, their names byte for byte; links to web
// pages and the like are left out.
QStringList localPaths(const QMimeData* data);

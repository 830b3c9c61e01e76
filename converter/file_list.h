// The files of a run: a list sorted by path the way a reader expects (case does not
// count), which is also the order of conversion. Each row shows the file's name and its
// status; the full path is its tooltip. Files and folders dropped on it are added; Delete
// and the context menu remove the selected rows.
#pragma once

#include <QTreeWidget>

class FileList : public QTreeWidget {
    Q_OBJECT

public:
    explicit FileList(QWidget* parent = nullptr);

    void addFiles(const QStringList& paths);
    QStringList files() const;
    // The path of one row; empty past the end.
    QString file(int row) const;
    void setStatus(int row, const QString& status);
    void removeSelected();
    QSize sizeHint() const override;

signals:
    // Files and folders dropped on the list, or on the window around it.
    void dropped(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// The local files and folders a drag carries; links to web pages and the like are left out.
QStringList localPaths(const QMimeData* data);

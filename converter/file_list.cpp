#include "file_list.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>

namespace {

constexpr int NameColumn = 0;
constexpr int StatusColumn = 1;

class FileItem : public QTreeWidgetItem {
public:
    explicit FileItem(const QString& path) : QTreeWidgetItem({QFileInfo(path).fileName(), QString()}) {
        setData(NameColumn, Qt::UserRole, path);
        setToolTip(NameColumn, path);
    }

    QString path() const { return data(NameColumn, Qt::UserRole).toString(); }

    bool operator<(const QTreeWidgetItem& other) const override {
        return path().compare(static_cast<const FileItem&>(other).path(), Qt::CaseInsensitive) < 0;
    }
};

}  // namespace

QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

FileList::FileList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderLabels({tr("File"), tr("Status")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragDropMode(QAbstractItemView::DropOnly);
    header()->setSectionsClickable(false);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(StatusColumn, QHeaderView::Interactive);
    header()->resizeSection(StatusColumn, fontMetrics().horizontalAdvance(QStringLiteral("Failed: No MPEG audio in")));
    setSortingEnabled(true);
    sortByColumn(NameColumn, Qt::AscendingOrder);

    auto* remove = new QAction(tr("&Remove"), this);
    connect(remove, &QAction::triggered, this, &FileList::removeSelected);
    addAction(remove);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void FileList::addFiles(const QStringList& paths) {
    for (const QString& path : paths) addTopLevelItem(new FileItem(path));
}

QStringList FileList::files() const {
    QStringList paths;
    for (int row = 0; row < topLevelItemCount(); ++row) paths << static_cast<FileItem*>(topLevelItem(row))->path();
    return paths;
}

void FileList::setStatus(int row, const QString& status) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setText(StatusColumn, status);
        item->setToolTip(StatusColumn, status);
    }
}

QString FileList::file(int row) const {
    const auto* item = static_cast<const FileItem*>(topLevelItem(row));
    return item ? item->path() : QString();
}

void FileList::removeSelected() { qDeleteAll(selectedItems()); }

// Wide enough for a long file name beside its status, and eight rows high.
QSize FileList::sizeHint() const { return {fontMetrics().averageCharWidth() * 64, fontMetrics().height() * 10}; }

void FileList::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Delete)) {
        removeSelected();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FileList::dragEnterEvent(QDragEnterEvent* event) {
    if (!localPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FileList::dragMoveEvent(QDragMoveEvent* event) {
    if (!localPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FileList::dropEvent(QDropEvent* event) {
    emit dropped(localPaths(event->mimeData()));
    event->acceptProposedAction();
}

#include "file_list.h"

#include <QAction>
#include <QCollator>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>

#include "native_path.h"

namespace {

constexpr int NameColumn = 0;
constexpr int OutputColumn = 1;
constexpr int StatusColumn = 2;
constexpr int TreePathRole = Qt::UserRole + 1;

// Qt's collator compares code points alone in the C locale; English rules stand in there.
const QCollator& naturalOrder() {
    static const QCollator collator = [] {
        QCollator made(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
        made.setNumericMode(true);
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator;
}

class FileItem : public QTreeWidgetItem {
public:
    explicit FileItem(const SourceFile& file) {
        setText(NameColumn, shownPath(file.path.mid(file.path.lastIndexOf(u'/') + 1)));
        setToolTip(NameColumn, shownPath(file.path));
        setData(NameColumn, Qt::UserRole, file.path);
        setData(NameColumn, TreePathRole, file.treePath);
    }

    QString path() const { return data(NameColumn, Qt::UserRole).toString(); }
    SourceFile source() const { return {path(), data(NameColumn, TreePathRole).toString()}; }

    bool operator<(const QTreeWidgetItem& other) const override {
        const QString otherPath = static_cast<const FileItem&>(other).path();
        const int order = naturalOrder().compare(path(), otherPath);
        return order != 0 ? order < 0 : path() < otherPath;
    }
};

FileItem* fileItem(const QTreeWidget* list, int row) { return static_cast<FileItem*>(list->topLevelItem(row)); }

}  // namespace

QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    // Percent-decoded by hand: QUrl::toLocalFile takes the bytes for UTF-8 and loses the others.
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << pathFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    return paths;
}

FileList::FileList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderLabels({tr("File"), tr("Output"), tr("Status")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragDropMode(QAbstractItemView::DropOnly);
    header()->setSectionsClickable(false);
    header()->setSortIndicatorShown(false);
    // Every column gets its share of a wider window: a reason cut short reads in full on hover.
    header()->setSectionResizeMode(QHeaderView::Stretch);
    setSortingEnabled(true);
    sortByColumn(NameColumn, Qt::AscendingOrder);

    const std::pair<QString, void (FileList::*)()> actions[] = {
        {tr("&Remove"), &FileList::removeSelected},
        {tr("Retry &failed"), &FileList::retryFailedRequested},
        {tr("Remove &done"), &FileList::removeDone},
    };
    for (const auto& [text, slot] : actions) {
        auto* action = new QAction(text, this);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void FileList::addFiles(const QList<SourceFile>& files) {
    for (const SourceFile& file : files) addTopLevelItem(new FileItem(file));
}

QStringList FileList::files() const {
    QStringList paths;
    for (int row = 0; row < topLevelItemCount(); ++row) paths << fileItem(this, row)->path();
    return paths;
}

SourceFile FileList::source(int row) const {
    const FileItem* item = fileItem(this, row);
    return item ? item->source() : SourceFile{};
}

void FileList::setOutput(int row, const QString& shown, const QString& path) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setText(OutputColumn, shownPath(shown));
        item->setToolTip(OutputColumn, shownPath(path));
    }
}

void FileList::setStatus(int row, State state, const QString& status) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setText(StatusColumn, status);
        item->setToolTip(StatusColumn, status);
        item->setData(StatusColumn, Qt::UserRole, int(state));
    }
}

QList<int> FileList::rowsIn(State state) const {
    QList<int> rows;
    for (int row = 0; row < topLevelItemCount(); ++row)
        if (topLevelItem(row)->data(StatusColumn, Qt::UserRole).toInt() == int(state)) rows << row;
    return rows;
}

void FileList::removeSelected() { qDeleteAll(selectedItems()); }

void FileList::removeDone() {
    const QList<int> done = rowsIn(State::Done);
    for (auto row = done.crbegin(); row != done.crend(); ++row) delete topLevelItem(*row);
}

// Wide enough for a long file name beside its output and status, and eight rows high.
QSize FileList::sizeHint() const { return {fontMetrics().averageCharWidth() * 96, fontMetrics().height() * 10}; }

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

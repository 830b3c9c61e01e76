#include "dialog.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <utility>

#include "about.h"
#include "icon.h"

namespace {

class FileItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;

    bool operator<(const QListWidgetItem& other) const override {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !QFileInfo(url.toLocalFile()).isDir()) paths << url.toLocalFile();
    return paths;
}

// Qt's INI files keep the keys outside any group in their [General] section, which is where
// the output folder belongs.
QSettings settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tunepress"),
                     QStringLiteral("Tunepress"));
}
const QString OutputKey = QStringLiteral("output");

// A size given in the units of the dialog's original layout: a quarter of the font's
// average character width across and an eighth of its height down.
QSize dialogUnits(const QWidget* widget, int width, int height) {
    const QFontMetrics metrics = widget->fontMetrics();
    return {width * metrics.averageCharWidth() / 4, height * metrics.height() / 8};
}

QProgressBar* newProgressBar() {
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    return bar;
}

// Status lines take whatever width the dialog has instead of widening it for a long path.
QLabel* newStatusLine(const QString& text) {
    auto* line = new QLabel(text);
    line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return line;
}

}  // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setSortingEnabled(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void FileList::addFiles(const QStringList& paths) {
    for (const QString& path : paths) addItem(new FileItem(path));
}

QSize FileList::sizeHint() const { return dialogUnits(this, 218, 49); }

QStringList FileList::files() const {
    QStringList paths;
    for (int row = 0; row < count(); ++row) paths << item(row)->text();
    return paths;
}

void FileList::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FileList::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FileList::dropEvent(QDropEvent* event) {
    addFiles(localFiles(event->mimeData()));
    event->acceptProposedAction();
}

MainDialog::MainDialog(QWidget* parent)
    : QDialog(parent),
      m_files(new FileList),
      m_add(new QPushButton(tr("&Add"))),
      m_clear(new QPushButton(tr("&Clear"))),
      m_folder(new QLineEdit),
      m_browse(new QPushButton(tr("..."))),
      m_status(newStatusLine(tr("1. Click \"Add\" and select all the mp3 files to decode"))),
      m_stream(newStatusLine(tr("2. Click \"Decode\" to start the process"))),
      m_overall(newProgressBar()),
      m_current(newProgressBar()),
      m_decode(new QPushButton(tr("&Decode"))),
      m_close(new QPushButton(tr("&Close"))),
      m_about(new QPushButton(tr("&About..."))),
      m_worker(new ConversionWorker) {
    setWindowTitle(tr("Tunepress"));
    setWindowIcon(tunepressIcon());
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    // Names that tools and tests find the controls by.
    const std::pair<QWidget*, const char*> names[] = {
        {m_files, "files"},     {m_add, "add"},       {m_clear, "clear"},   {m_folder, "folder"},
        {m_browse, "browse"},   {m_status, "status"}, {m_stream, "stream"}, {m_overall, "overall"},
        {m_current, "current"}, {m_decode, "decode"}, {m_close, "close"},   {m_about, "about"}};
    for (const auto& [control, name] : names) control->setObjectName(name);
    m_showMessage = [this](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, tr("Tunepress"), text, QMessageBox::Ok, this);
        box.exec();
    };

    auto* input = new QGroupBox(tr("Input"));
    auto* inputLayout = new QGridLayout(input);
    inputLayout->addWidget(new QLabel(tr("Mp3 files to decode:")), 0, 0);
    inputLayout->addWidget(m_files, 1, 0, 3, 1);
    inputLayout->addWidget(m_add, 1, 1);
    inputLayout->addWidget(m_clear, 2, 1);
    inputLayout->setRowStretch(3, 1);

    auto* output = new QGroupBox(tr("Output"));
    auto* outputLayout = new QHBoxLayout(output);
    outputLayout->addWidget(new QLabel(tr("Output folder:")));
    outputLayout->addWidget(m_folder);
    outputLayout->addWidget(m_browse);
    m_browse->setFixedWidth(dialogUnits(this, 16, 14).width());

    auto* status = new QGroupBox(tr("Status"));
    auto* statusLayout = new QVBoxLayout(status);
    statusLayout->addWidget(m_status);
    statusLayout->addWidget(m_stream);
    statusLayout->addWidget(new QLabel(tr("Overall progress:")));
    statusLayout->addWidget(m_overall);
    statusLayout->addWidget(new QLabel(tr("Current file:")));
    statusLayout->addWidget(m_current);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_decode);
    buttons->addWidget(m_close);
    buttons->addWidget(m_about);
    buttons->addStretch();
    m_decode->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(input);
    layout->addWidget(output);
    layout->addWidget(status);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_folder->setText(settings().value(OutputKey).toString());

    connect(m_add, &QPushButton::clicked, this, &MainDialog::chooseFiles);
    connect(m_clear, &QPushButton::clicked, m_files, &QListWidget::clear);
    connect(m_browse, &QPushButton::clicked, this, &MainDialog::chooseFolder);
    connect(m_decode, &QPushButton::clicked, this, &MainDialog::decodeOrStop);
    connect(m_close, &QPushButton::clicked, this, &MainDialog::reject);
    connect(m_about, &QPushButton::clicked, this, &MainDialog::showAbout);
    connect(m_files->model(), &QAbstractItemModel::rowsInserted, this, &MainDialog::handFilesToWorker);
    connect(m_files->model(), &QAbstractItemModel::rowsRemoved, this, &MainDialog::handFilesToWorker);
    connect(m_files->model(), &QAbstractItemModel::modelReset, this, &MainDialog::handFilesToWorker);

    m_worker->moveToThread(&m_workerThread);
    connect(&m_workerThread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &ConversionWorker::fileStarted, m_files, qOverload<int>(&QListWidget::setCurrentRow));
    connect(m_worker, &ConversionWorker::statusChanged, m_status, &QLabel::setText);
    connect(m_worker, &ConversionWorker::streamChanged, m_stream, &QLabel::setText);
    connect(m_worker, &ConversionWorker::progressChanged, this, &MainDialog::showProgress);
    connect(m_worker, &ConversionWorker::message, this, &MainDialog::showMessage);
    connect(m_worker, &ConversionWorker::finished, this, &MainDialog::runFinished);
    m_workerThread.start();
}

MainDialog::~MainDialog() {
    // The list empties itself as it goes, after this part of the dialog is gone.
    m_files->model()->disconnect(this);
    settings().setValue(OutputKey, m_folder->text());
    m_worker->requestStop();
    m_workerThread.quit();
    m_workerThread.wait();
}

void MainDialog::setMessageFunction(MessageFunction showMessage) { m_showMessage = std::move(showMessage); }

void MainDialog::addFiles(const QStringList& paths) { m_files->addFiles(paths); }

QStringList MainDialog::files() const { return m_files->files(); }

void MainDialog::convertAndEnd(const QString& path) {
    m_endWhenDone = true;
    addFiles({path});
    startRun();
}

void MainDialog::reject() {
    // The close box acts through the Close button, which is disabled during a run.
    if (!m_close->isEnabled()) {
        QApplication::beep();
        return;
    }
    QDialog::reject();
}

void MainDialog::chooseFiles() {
    addFiles(QFileDialog::getOpenFileNames(this, QString(), QString(),
                                           tr("MPEG Audio Files (*.mpg *.mp1 *.mp2 *.mp3);;All Files (*)")));
}

void MainDialog::chooseFolder() {
    // A folder that is not there yet would be offered as the name to choose.
    const QString start = QFileInfo(m_folder->text()).isDir() ? m_folder->text() : QDir::rootPath();
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Choose folder"), start);
    if (!folder.isEmpty()) m_folder->setText(folder);
}

void MainDialog::decodeOrStop() {
    if (!m_running) {
        startRun();
        return;
    }
    m_worker->requestStop();
    setRunning(false);
    // The worker may still be finishing its file; the next run waits until it has.
    m_decode->setEnabled(false);
}

void MainDialog::showAbout() { AboutDialog(this).exec(); }

void MainDialog::showProgress(int overall, int current) {
    m_overall->setValue(overall);
    m_current->setValue(current);
}

void MainDialog::showMessage(const QString& text) {
    ++m_openMessages;
    m_showMessage(text);
    --m_openMessages;
    endWhenMessagesAreRead();
}

void MainDialog::runFinished(ConversionWorker::Outcome outcome) {
    setRunning(false);
    m_decode->setEnabled(true);
    if (m_endWhenDone || outcome == ConversionWorker::Outcome::Fatal) {
        m_endStatus = outcome == ConversionWorker::Outcome::AllConverted ? 0 : 1;
        endWhenMessagesAreRead();
    }
}

void MainDialog::handFilesToWorker() { m_worker->setFiles(m_files->files()); }

void MainDialog::startRun() {
    m_worker->start(m_folder->text());
    setRunning(true);
}

void MainDialog::setRunning(bool running) {
    m_running = running;
    m_decode->setText(running ? tr("&Stop") : tr("&Decode"));
    for (QWidget* control : QWidgetList{m_files, m_add, m_clear, m_close}) control->setEnabled(!running);
}

// A message still on screen is read before the program ends.
void MainDialog::endWhenMessagesAreRead() {
    if (m_endStatus && m_openMessages == 0) emit endRequested(*std::exchange(m_endStatus, std::nullopt));
}

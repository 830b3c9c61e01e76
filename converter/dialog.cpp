#include "dialog.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>
#include <utility>

#include "about.h"
#include "elided_label.h"
#include "file_list.h"
#include "icon.h"
#include "native_path.h"
#include "report.h"
#include "tag_names.h"

namespace {

// Qt's INI files keep the keys outside any group in their [General] section, which is where
// the settings belong.
QSettings settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tunepress"),
                     QStringLiteral("Tunepress"));
}
const QString OutputKey = QStringLiteral("output");
const QString GaplessKey = QStringLiteral("gapless");
const QString LastFolderKey = QStringLiteral("lastFolder");
const QString PatternKey = QStringLiteral("pattern");
const QString GeometryKey = QStringLiteral("geometry");

// How long a stopped file's input may keep its job before the program ends without it.
constexpr int StuckInputMs = 1000;
// The bars, the status lines and the times follow a run ten times a second: the Converter's
// reports come in bursts, and a progress bar repaints at once at every change of value.
constexpr int RefreshMs = 100;

QProgressBar* newProgressBar() {
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    return bar;
}

ClashDecision askInMessageBox(QWidget* parent, const PlannedFile& file) {
    QMessageBox box(QMessageBox::Question, QObject::tr("Tunepress"), QString(), QMessageBox::NoButton, parent);
    box.setText(QObject::tr("%1 is there already.").arg(shownPath(file.output)));
    box.setInformativeText(QObject::tr("Overwrite it, skip %1, or keep both under a numbered name? Cancel converts "
                                       "nothing.")
                               .arg(shownPath(file.input)));
    QPushButton* overwrite = box.addButton(QObject::tr("&Overwrite"), QMessageBox::DestructiveRole);
    QPushButton* skip = box.addButton(QObject::tr("&Skip"), QMessageBox::ActionRole);
    QPushButton* keepBoth = box.addButton(QObject::tr("&Keep both"), QMessageBox::ActionRole);
    box.setEscapeButton(box.addButton(QMessageBox::Cancel));
    // Enter neither destroys a file nor makes a second one.
    box.setDefaultButton(skip);
    box.setCheckBox(new QCheckBox(QObject::tr("&Apply to all")));
    box.exec();
    const ClashAnswer answer = box.clickedButton() == overwrite ? ClashAnswer::Overwrite
                               : box.clickedButton() == skip    ? ClashAnswer::Skip
                               : box.clickedButton() == keepBoth ? ClashAnswer::KeepBoth
                                                                 : ClashAnswer::Cancel;
    return {answer, box.checkBox()->isChecked()};
}

// Lets a held Enter act once: its repeats would start a run, answer its question and stop
// it again, all in one press.
class HeldEnterFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        return key->isAutoRepeat() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
    }
};

// The WAV file of `file`, named from its tags when there is a pattern.
QString outputFor(const SourceFile& file, const QString& folder, const NamePattern& pattern) {
    return wavPathFor(file, folder, pattern.isEmpty() ? QString() : pattern.nameFor(readTags(file.path)));
}

QString leftOutLine(int count) {
    QStringList extensions;
    for (const QString& extension : MpegExtensions) extensions << u'.' + extension;
    return QObject::tr("Left out %1 that %2 not MPEG audio (%3)")
        .arg(count == 1 ? QObject::tr("1 file") : QObject::tr("%1 files").arg(count),
             count == 1 ? QObject::tr("is") : QObject::tr("are"), extensions.join(QStringLiteral(", ")));
}

}  // namespace

MainDialog::MainDialog(QWidget* parent)
    : QDialog(parent),
      m_files(new FileList),
      m_add(new QPushButton(tr("&Add"))),
      m_addFolder(new QPushButton(tr("Add f&older..."))),
      m_clear(new QPushButton(tr("C&lear"))),
      m_folder(new QLineEdit),
      m_browse(new QPushButton(tr("Bro&wse..."))),
      m_pattern(new QLineEdit),
      m_preview(new ElidedLabel(QString())),
      m_gapless(new QCheckBox(tr("&Trim encoder delay and padding (gapless)"))),
      m_status(new ElidedLabel(tr("1. Click \"Add\" and select all the mp3 files to decode"))),
      m_stream(new ElidedLabel(tr("2. Click \"Decode\" to start the process"))),
      m_times(new QLabel),
      m_overall(newProgressBar()),
      m_current(newProgressBar()),
      m_report(new Report),
      m_decode(new QPushButton(tr("&Decode"))),
      m_close(new QPushButton(tr("&Close"))),
      m_about(new QPushButton(tr("A&bout..."))),
      m_openOutput(new QPushButton(tr("O&pen output folder"))) {
    setWindowTitle(tr("Tunepress"));
    setWindowIcon(tunepressIcon());
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    setAcceptDrops(true);
    // Names that tools and tests find the controls by.
    const std::pair<QWidget*, const char*> names[] = {
        {m_files, "files"},     {m_add, "add"},           {m_addFolder, "addFolder"}, {m_clear, "clear"},
        {m_folder, "folder"},   {m_browse, "browse"},     {m_pattern, "pattern"},     {m_preview, "preview"},
        {m_gapless, "gapless"}, {m_status, "status"},     {m_stream, "stream"},       {m_overall, "overall"},
        {m_current, "current"}, {m_decode, "decode"},     {m_close, "close"},         {m_about, "about"},
        {m_times, "times"},     {m_openOutput, "openOutput"}, {m_report, "report"}};
    for (const auto& [control, name] : names) control->setObjectName(name);
    m_askClash = [this](const PlannedFile& file) { return askInMessageBox(this, file); };

    auto* input = new QGroupBox(tr("Input"));
    auto* inputLayout = new QGridLayout(input);
    inputLayout->addWidget(new QLabel(tr("Mp3 files to decode:")), 0, 0);
    inputLayout->addWidget(m_files, 1, 0, 4, 1);
    inputLayout->addWidget(m_add, 1, 1);
    inputLayout->addWidget(m_addFolder, 2, 1);
    inputLayout->addWidget(m_clear, 3, 1);
    inputLayout->setRowStretch(4, 1);
    inputLayout->addWidget(m_report, 5, 0, 1, 2);

    auto* output = new QGroupBox(tr("Output"));
    auto* outputLayout = new QGridLayout(output);
    auto* folderLabel = new QLabel(tr("Output &folder:"));
    folderLabel->setBuddy(m_folder);
    outputLayout->addWidget(folderLabel, 0, 0);
    outputLayout->addWidget(m_folder, 0, 1);
    outputLayout->addWidget(m_browse, 0, 2);
    auto* patternLabel = new QLabel(tr("&Names from tags:"));
    patternLabel->setBuddy(m_pattern);
    outputLayout->addWidget(patternLabel, 1, 0);
    outputLayout->addWidget(m_pattern, 1, 1, 1, 2);
    outputLayout->addWidget(m_preview, 2, 1, 1, 2);
    outputLayout->addWidget(m_gapless, 3, 0, 1, 3);
    m_pattern->setPlaceholderText(tr("off; for example {artist}/{album}/{track:02} - {title}"));

    auto* status = new QGroupBox(tr("Status"));
    auto* statusLayout = new QVBoxLayout(status);
    statusLayout->addWidget(m_status);
    statusLayout->addWidget(m_stream);
    auto* overallLine = new QHBoxLayout;
    overallLine->addWidget(new QLabel(tr("Overall progress:")));
    overallLine->addStretch();
    overallLine->addWidget(m_times);
    statusLayout->addLayout(overallLine);
    statusLayout->addWidget(m_overall);
    statusLayout->addWidget(new QLabel(tr("Current file:")));
    statusLayout->addWidget(m_current);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_decode);
    buttons->addWidget(m_close);
    buttons->addWidget(m_about);
    buttons->addStretch();
    buttons->addWidget(m_openOutput);
    m_decode->setDefault(true);
    m_openOutput->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(input, 1);
    layout->addWidget(output);
    layout->addWidget(status);
    layout->addLayout(buttons);

    const QSettings saved = settings();
    m_folder->setText(saved.value(OutputKey).toString());
    m_pattern->setText(saved.value(PatternKey).toString());
    m_gapless->setChecked(saved.value(GaplessKey, true).toBool());
    restoreGeometry(saved.value(GeometryKey).toByteArray());

    auto* heldEnter = new HeldEnterFilter(this);
    installEventFilter(heldEnter);
    m_decode->installEventFilter(heldEnter);

    connect(m_add, &QPushButton::clicked, this, &MainDialog::chooseFiles);
    connect(m_addFolder, &QPushButton::clicked, this, &MainDialog::chooseFilesFolder);
    connect(m_clear, &QPushButton::clicked, m_files, &QTreeWidget::clear);
    connect(m_browse, &QPushButton::clicked, this, &MainDialog::chooseFolder);
    connect(m_decode, &QPushButton::clicked, this, &MainDialog::decodeOrStop);
    connect(m_close, &QPushButton::clicked, this, &MainDialog::reject);
    connect(m_about, &QPushButton::clicked, this, &MainDialog::showAbout);
    connect(m_openOutput, &QPushButton::clicked, this, &MainDialog::openOutputFolder);
    connect(m_files, &FileList::dropped, this, &MainDialog::addFiles);
    connect(m_files, &FileList::retryFailedRequested, this, &MainDialog::retryFailed);
    // Kept as they change, so that they outlast even an end that waits for nothing.
    connect(m_folder, &QLineEdit::textChanged, this, [](const QString& text) { settings().setValue(OutputKey, text); });
    connect(m_pattern, &QLineEdit::textChanged, this,
            [](const QString& text) { settings().setValue(PatternKey, text); });
    connect(m_gapless, &QCheckBox::toggled, this, [](bool on) { settings().setValue(GaplessKey, on); });

    connect(&m_converter, &Converter::fileStarted, this, &MainDialog::fileStarted);
    connect(&m_converter, &Converter::fileProgress, this, &MainDialog::fileProgress);
    connect(&m_converter, &Converter::streamChanged, this, &MainDialog::showStream);
    connect(&m_converter, &Converter::fileFinished, this, &MainDialog::fileFinished);
    connect(&m_converter, &Converter::engineFailed, this, &MainDialog::engineFailed);
    connect(&m_converter, &Converter::finished, this, &MainDialog::runFinished);
    m_refresh.setInterval(RefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &MainDialog::showProgress);

    // The preview reads the first file's tags: once, when the list has settled.
    m_previewUpdate.setSingleShot(true);
    connect(&m_previewUpdate, &QTimer::timeout, this, &MainDialog::showPreview);
    // Connected to the timer itself, which goes before the list does as the dialog ends.
    const auto updatePreview = qOverload<>(&QTimer::start);
    connect(m_pattern, &QLineEdit::textChanged, &m_previewUpdate, updatePreview);
    connect(m_files->model(), &QAbstractItemModel::rowsInserted, &m_previewUpdate, updatePreview);
    connect(m_files->model(), &QAbstractItemModel::rowsRemoved, &m_previewUpdate, updatePreview);
    connect(m_files->model(), &QAbstractItemModel::modelReset, &m_previewUpdate, updatePreview);
    showPreview();
}

void MainDialog::setClashFunction(AskClash askClash) { m_askClash = std::move(askClash); }

int MainDialog::addFiles(const QStringList& paths) {
    QList<SourceFile> files;
    int leftOut = 0;
    for (const QString& path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(filesystemPath(path), error))
            files << mpegFilesBelow(path);
        else if (hasMpegExtension(path))
            files << singleFile(path);
        else
            ++leftOut;
    }
    m_files->addFiles(files);
    if (leftOut > 0) report({leftOutLine(leftOut)});
    return leftOut;
}

QStringList MainDialog::files() const { return m_files->files(); }

void MainDialog::convertAndEnd(const QStringList& paths) {
    m_endWhenDone = true;
    m_everyFileListed = addFiles(paths) == 0;
    // Nobody is there to answer: a file in the way is kept, the new one numbered.
    startRun([](const PlannedFile&) { return ClashDecision{ClashAnswer::KeepBoth, true}; }, allRows());
}

bool MainDialog::hasStuckInputs() const { return m_converter.hasStuckJobs(StuckInputMs); }

void MainDialog::stop() {
    if (m_running) m_converter.stop();
}

// The close box, Esc and Close all come here.
void MainDialog::reject() {
    if (m_running && !askStopAndClose()) return;
    stop();
    QDialog::reject();
}

void MainDialog::done(int result) {
    settings().setValue(GeometryKey, saveGeometry());
    QDialog::done(result);
}

bool MainDialog::askStopAndClose() {
    return QMessageBox::question(this, tr("Tunepress"), tr("Stop and close?"), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_running && !localPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
    addFiles(localPaths(event->mimeData()));
    event->acceptProposedAction();
}

QString MainDialog::startFolder() const { return settings().value(LastFolderKey).toString(); }

void MainDialog::rememberFolder(const QString& folder) { settings().setValue(LastFolderKey, folder); }

void MainDialog::chooseFiles() {
    QStringList patterns;
    for (const QString& extension : MpegExtensions) patterns << QStringLiteral("*.") + extension;
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, QString(), startFolder(), tr("MPEG Audio Files (%1);;All Files (*)").arg(patterns.join(u' ')));
    if (chosen.isEmpty()) return;
    rememberFolder(QFileInfo(chosen.first()).absolutePath());
    addFiles(chosen);
}

void MainDialog::chooseFilesFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Add folder"), startFolder());
    if (folder.isEmpty()) return;
    rememberFolder(folder);
    addFiles({folder});
}

void MainDialog::chooseFolder() {
    // A folder that is not there yet would be offered as the name to choose.
    const QString typed = expandedFolder(m_folder->text());
    const QString start = QFileInfo(typed).isDir() ? typed : startFolder();
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Choose folder"), start);
    if (folder.isEmpty()) return;
    rememberFolder(folder);
    m_folder->setText(folder);
}

void MainDialog::decodeOrStop() {
    if (m_running)
        stop();
    else
        startRun(m_askClash, allRows());
}

void MainDialog::retryFailed() {
    const QList<int> failed = m_files->rowsIn(FileList::State::Failed);
    if (!failed.isEmpty()) startRun(m_askClash, failed);
}

QList<int> MainDialog::allRows() const {
    QList<int> rows;
    for (int row = 0; row < m_files->topLevelItemCount(); ++row) rows << row;
    return rows;
}

// The name the pattern gives the first file, or why it gives none.
void MainDialog::showPreview() {
    const NamePattern pattern(m_pattern->text());
    const SourceFile first = m_files->source(0);
    QString preview = pattern.error();
    if (preview.isEmpty() && !pattern.isEmpty() && !first.path.isEmpty()) {
        const QString name = pattern.nameFor(readTags(first.path));
        preview = name.isEmpty()
                      ? tr("First file: %1 (a tag is missing: it keeps its own name)")
                            .arg(shownPath(shownOutput({first.path, wavPathFor(first, QString())}, QString())))
                      : tr("First file: %1.wav").arg(shownPath(name));
    }
    m_preview->setText(preview);
    m_preview->setVisible(!preview.isEmpty());
}

void MainDialog::showAbout() { AboutDialog(this).exec(); }

void MainDialog::openOutputFolder() { QDesktopServices::openUrl(QUrl::fromLocalFile(m_outputFolder)); }

void MainDialog::startRun(const AskClash& askClash, const QList<int>& rows) {
    const QString folder = expandedFolder(m_folder->text());
    report({});
    const NamePattern pattern(m_pattern->text());
    if (!pattern.error().isEmpty()) {
        refuseRun(tr("The name pattern cannot be used: %1").arg(pattern.error()));
        return;
    }
    if (const std::optional<QString> problem = prepareOutputFolder(folder)) {
        refuseRun(*problem);
        return;
    }
    QList<PlannedFile> wanted;
    for (const int row : rows) wanted.append({m_files->file(row), outputFor(m_files->source(row), folder, pattern)});
    const std::optional<QList<PlannedFile>> plan = planOutputs(wanted, askClash);
    if (!plan) {
        m_status->setText(tr("Cancelled: nothing was converted"));
        return;
    }
    m_tally = Tally{};
    m_sizes.clear();
    m_progress.clear();
    m_streams.clear();
    m_shownRow = -1;
    m_outputFolder = folder;
    QList<ConversionJob> jobs;
    qint64 bytes = 0;
    for (qsizetype at = 0; at < rows.size(); ++at) {
        const int row = rows[at];
        const PlannedFile& file = plan->at(at);
        m_files->setOutput(row, shownOutput(file, folder), file.output);
        if (file.output.isEmpty()) {
            ++m_tally.skipped;
            m_files->setStatus(row, FileList::State::Skipped, tr("Skipped"));
            continue;
        }
        jobs.append({row, file.input, file.output});
        m_files->setStatus(row, FileList::State::Waiting, tr("Waiting"));
        std::error_code unknown;
        const auto size = std::filesystem::file_size(filesystemPath(file.input), unknown);
        m_sizes[row] = unknown ? 0 : qint64(size);
        bytes += m_sizes[row];
    }
    m_tally.files = static_cast<int>(jobs.size());
    m_converter.setGapless(m_gapless->isChecked());
    setRunning(true);
    m_current->setValue(0);
    m_clock.start(bytes);
    m_refresh.start();
    showProgress();
    m_converter.start(jobs);
}

void MainDialog::refuseRun(const QString& reason) {
    report({reason});
    if (m_endWhenDone) emit endRequested(1);
}

void MainDialog::setRunning(bool running) {
    m_running = running;
    m_decode->setText(running ? tr("&Stop") : tr("&Decode"));
    for (QWidget* control :
         QWidgetList{m_files, m_add, m_addFolder, m_clear, m_folder, m_browse, m_pattern, m_gapless})
        control->setEnabled(!running);
    if (running) m_openOutput->setEnabled(false);
}

// The status lines and the current-file bar follow the file started last.
void MainDialog::fileStarted(int row) {
    m_progress[row] = 0;
    m_files->setStatus(row, FileList::State::Converting, tr("Converting 0 %"));
    m_shownRow = row;
}

void MainDialog::fileProgress(int row, int percent) {
    if (!m_progress.contains(row)) return;
    m_progress[row] = percent;
    m_files->setStatus(row, FileList::State::Converting, tr("Converting %1 %").arg(percent));
}

void MainDialog::showStream(int row, const QString& text) { m_streams[row] = text; }

void MainDialog::fileFinished(int row, FileOutcome outcome, const QString& detail) {
    m_progress.remove(row);
    m_tally.bytesFinished += m_sizes.value(row);
    // When the file shown is done, another one under way takes its place.
    if (row == m_shownRow && !m_progress.isEmpty()) m_shownRow = m_progress.keys().last();
    switch (outcome) {
        case FileOutcome::Converted:
            ++m_tally.converted;
            m_files->setStatus(row, FileList::State::Done, tr("Done (%1)").arg(detail));
            if (m_outputFolder.isEmpty()) m_outputFolder = QFileInfo(m_files->file(row)).absolutePath();
            break;
        case FileOutcome::Failed:
            m_tally.failures[row] = detail;
            m_files->setStatus(row, FileList::State::Failed, tr("Failed: %1").arg(detail));
            break;
        case FileOutcome::Stopped:
            ++m_tally.stopped;
            m_files->setStatus(row, FileList::State::Stopped, tr("Stopped"));
            break;
    }
}

void MainDialog::showProgress() {
    if (m_shownRow >= 0) showFile(m_shownRow);
    showOverallProgress();
    showTimes();
}

void MainDialog::showFile(int row) {
    m_files->setCurrentItem(m_files->topLevelItem(row));
    m_status->setText(tr("Decoding: %1").arg(shownPath(m_files->file(row))));
    // Empty until the file's stream is known: the line of the file before would mislead.
    m_stream->setText(m_streams.value(row));
    m_current->setValue(m_progress.value(row));
}

void MainDialog::engineFailed(const QString&) {
    // The file's failure names it; without its engine the program can convert nothing.
    m_endWhenDone = true;
}

// The files converted, with the parts of those under way: a failure or a stop never
// shows as 100 %. An empty run is complete.
void MainDialog::showOverallProgress() {
    if (m_tally.files == 0) {
        m_overall->setValue(m_running ? 0 : 100);
        return;
    }
    int parts = 100 * m_tally.converted;
    for (const int percent : std::as_const(m_progress)) parts += percent;
    m_overall->setValue(parts / m_tally.files);
}

// The time elapsed, and the time left from the input bytes done so far.
void MainDialog::showTimes() {
    qint64 done = m_tally.bytesFinished;
    for (auto file = m_progress.cbegin(); file != m_progress.cend(); ++file)
        done += m_sizes.value(file.key()) * file.value() / 100;
    m_times->setText(m_clock.text(done));
}

void MainDialog::runFinished() {
    setRunning(false);
    m_refresh.stop();
    m_clock.stop();
    showProgress();
    m_current->setValue(0);
    QStringList summary{tr("%1 converted").arg(m_tally.converted)};
    if (m_tally.skipped > 0) summary << tr("%1 skipped").arg(m_tally.skipped);
    const auto failed = m_tally.failures.size();
    if (failed > 0) summary << tr("%1 failed").arg(failed);
    if (m_tally.stopped > 0) summary << tr("%1 stopped").arg(m_tally.stopped);
    m_status->setText(summary.join(QStringLiteral(", ")));
    m_openOutput->setEnabled(m_tally.converted > 0);
    QStringList failures;
    for (auto failure = m_tally.failures.cbegin(); failure != m_tally.failures.cend(); ++failure)
        failures << m_files->file(failure.key()) + QStringLiteral(": ") + failure.value();
    report(failures);
    const bool everyFileConverted = m_tally.skipped == 0 && m_tally.converted == m_tally.files && m_everyFileListed;
    if (m_endWhenDone) emit endRequested(everyFileConverted ? 0 : 1);
}

void MainDialog::report(const QStringList& lines) {
    QStringList shown;
    for (const QString& line : lines) shown << shownPath(line);
    m_report->setLines(shown);
    for (const QString& line : lines) emit reported(line);
}

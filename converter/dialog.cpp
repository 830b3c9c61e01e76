#include "dialog.h"

#include <QCheckBox>
#include <QDesktopServices>
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
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

#include "about.h"
#include "elided_label.h"
#include "file_list.h"
#include "icon.h"
#include "report.h"

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

// How long a stopped file's input may keep its job before the program ends without it.
constexpr int StuckInputMs = 1000;
// The bars, the status lines and the times follow a run ten times a second: the Converter's
// reports come in bursts, and a progress bar repaints at once at every change of value.
constexpr int RefreshMs = 100;

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

ClashDecision askInMessageBox(QWidget* parent, const PlannedFile& file) {
    QMessageBox box(QMessageBox::Question, QObject::tr("Tunepress"), QString(), QMessageBox::NoButton, parent);
    box.setText(file.clash == Clash::Exists
                    ? QObject::tr("%1 is there already.").arg(file.output)
                    : QObject::tr("Two files of this run would both be converted to %1.").arg(file.output));
    box.setInformativeText(QObject::tr("Overwrite it, skip %1, or keep both under a numbered name?").arg(file.input));
    QPushButton* overwrite = box.addButton(QObject::tr("&Overwrite"), QMessageBox::DestructiveRole);
    QPushButton* skip = box.addButton(QObject::tr("&Skip"), QMessageBox::RejectRole);
    QPushButton* keepBoth = box.addButton(QObject::tr("&Keep both"), QMessageBox::AcceptRole);
    box.setDefaultButton(keepBoth);
    box.setCheckBox(new QCheckBox(QObject::tr("&Apply to all")));
    box.exec();
    const ClashAnswer answer = box.clickedButton() == overwrite ? ClashAnswer::Overwrite
                               : box.clickedButton() == skip    ? ClashAnswer::Skip
                                                                : ClashAnswer::KeepBoth;
    return {answer, box.checkBox()->isChecked()};
}

}  // namespace

MainDialog::MainDialog(QWidget* parent)
    : QDialog(parent),
      m_files(new FileList),
      m_add(new QPushButton(tr("&Add"))),
      m_addFolder(new QPushButton(tr("Add f&older..."))),
      m_clear(new QPushButton(tr("C&lear"))),
      m_folder(new QLineEdit),
      m_browse(new QPushButton(tr("..."))),
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
        {m_files, "files"},   {m_add, "add"},           {m_addFolder, "addFolder"}, {m_clear, "clear"},
        {m_folder, "folder"}, {m_browse, "browse"},     {m_gapless, "gapless"},     {m_status, "status"},
        {m_stream, "stream"}, {m_overall, "overall"},   {m_current, "current"},     {m_decode, "decode"},
        {m_close, "close"},   {m_about, "about"},       {m_openOutput, "openOutput"}, {m_times, "times"},
        {m_report, "report"}};
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
    outputLayout->addWidget(new QLabel(tr("Output folder:")), 0, 0);
    outputLayout->addWidget(m_folder, 0, 1);
    outputLayout->addWidget(m_browse, 0, 2);
    outputLayout->addWidget(m_gapless, 1, 0, 1, 3);
    m_browse->setFixedWidth(dialogUnits(this, 16, 14).width());

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
    m_gapless->setChecked(saved.value(GaplessKey, true).toBool());

    connect(m_add, &QPushButton::clicked, this, &MainDialog::chooseFiles);
    connect(m_addFolder, &QPushButton::clicked, this, &MainDialog::chooseFilesFolder);
    connect(m_clear, &QPushButton::clicked, m_files, &QTreeWidget::clear);
    connect(m_browse, &QPushButton::clicked, this, &MainDialog::chooseFolder);
    connect(m_decode, &QPushButton::clicked, this, &MainDialog::decodeOrStop);
    connect(m_close, &QPushButton::clicked, this, &MainDialog::reject);
    connect(m_about, &QPushButton::clicked, this, &MainDialog::showAbout);
    connect(m_openOutput, &QPushButton::clicked, this, &MainDialog::openOutputFolder);
    connect(m_files, &FileList::dropped, this, &MainDialog::addFiles);
    // Kept as they change, so that they outlast even an end that waits for nothing.
    connect(m_folder, &QLineEdit::textChanged, this, [](const QString& text) { settings().setValue(OutputKey, text); });
    connect(m_gapless, &QCheckBox::toggled, this, [](bool on) { settings().setValue(GaplessKey, on); });

    connect(&m_converter, &Converter::fileStarted, this, &MainDialog::fileStarted);
    connect(&m_converter, &Converter::fileProgress, this, &MainDialog::fileProgress);
    connect(&m_converter, &Converter::streamChanged, this, &MainDialog::showStream);
    connect(&m_converter, &Converter::fileFinished, this, &MainDialog::fileFinished);
    connect(&m_converter, &Converter::engineFailed, this, &MainDialog::engineFailed);
    connect(&m_converter, &Converter::finished, this, &MainDialog::runFinished);
    m_refresh.setInterval(RefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &MainDialog::showProgress);
}

void MainDialog::setClashFunction(AskClash askClash) { m_askClash = std::move(askClash); }

void MainDialog::addFiles(const QStringList& paths) {
    QStringList files;
    for (const QString& path : paths) files << (QFileInfo(path).isDir() ? mpegFilesBelow(path) : QStringList{path});
    m_files->addFiles(files);
}

QStringList MainDialog::files() const { return m_files->files(); }

void MainDialog::convertAndEnd(const QStringList& paths) {
    m_endWhenDone = true;
    addFiles(paths);
    // Nobody is there to answer: a file in the way is kept, the new one numbered.
    startRun([](const PlannedFile&) { return ClashDecision{ClashAnswer::KeepBoth, true}; });
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
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, QString(), startFolder(), tr("MPEG Audio Files (*.mpg *.mp1 *.mp2 *.mp3);;All Files (*)"));
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
        startRun(m_askClash);
}

void MainDialog::showAbout() { AboutDialog(this).exec(); }

void MainDialog::openOutputFolder() { QDesktopServices::openUrl(QUrl::fromLocalFile(m_outputFolder)); }

void MainDialog::startRun(const AskClash& askClash) {
    const QString folder = expandedFolder(m_folder->text());
    report({});
    if (const std::optional<QString> problem = prepareOutputFolder(folder)) {
        report({*problem});
        if (m_endWhenDone) emit endRequested(1);
        return;
    }
    const QList<PlannedFile> plan = planOutputs(m_files->files(), folder, askClash);
    m_tally = Tally{};
    m_sizes.clear();
    m_progress.clear();
    m_streams.clear();
    m_shownRow = -1;
    m_outputFolder = folder;
    QList<ConversionJob> jobs;
    qint64 bytes = 0;
    for (int row = 0; row < plan.size(); ++row) {
        if (plan[row].output.isEmpty()) {
            ++m_tally.skipped;
            m_files->setStatus(row, tr("Skipped"));
            continue;
        }
        jobs.append({row, plan[row].input, plan[row].output});
        m_files->setStatus(row, tr("Waiting"));
        m_sizes[row] = QFileInfo(plan[row].input).size();
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

void MainDialog::setRunning(bool running) {
    m_running = running;
    m_decode->setText(running ? tr("&Stop") : tr("&Decode"));
    for (QWidget* control : QWidgetList{m_files, m_add, m_addFolder, m_clear, m_folder, m_browse, m_gapless})
        control->setEnabled(!running);
    if (running) m_openOutput->setEnabled(false);
}

// The status lines and the current-file bar follow the file started last.
void MainDialog::fileStarted(int row) {
    m_progress[row] = 0;
    m_files->setStatus(row, tr("Converting 0 %"));
    m_shownRow = row;
}

void MainDialog::fileProgress(int row, int percent) {
    if (!m_progress.contains(row)) return;
    m_progress[row] = percent;
    m_files->setStatus(row, tr("Converting %1 %").arg(percent));
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
            m_files->setStatus(row, tr("Done (%1)").arg(detail));
            if (m_outputFolder.isEmpty()) m_outputFolder = QFileInfo(m_files->file(row)).absolutePath();
            break;
        case FileOutcome::Failed:
            m_tally.failures[row] = detail;
            m_files->setStatus(row, tr("Failed: %1").arg(detail));
            break;
        case FileOutcome::Stopped:
            ++m_tally.stopped;
            m_files->setStatus(row, tr("Stopped"));
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
    m_status->setText(tr("Decoding: %1").arg(m_files->file(row)));
    if (m_streams.contains(row)) m_stream->setText(m_streams[row]);
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
    if (m_endWhenDone) emit endRequested(m_tally.converted == m_files->topLevelItemCount() ? 0 : 1);
}

void MainDialog::report(const QStringList& lines) {
    m_report->setLines(lines);
    for (const QString& line : lines) emit reported(line);
}

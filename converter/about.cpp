#include "about.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

#include "icon.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Tunepress"));

    auto* icon = new QLabel;
    icon->setPixmap(tunepressIcon().pixmap(48));
    auto* notice = new QLabel(tr("Tunepress turns MPEG audio files of layers I, II and III into 16-bit PCM "
                                 "WAV files with their tags, several at once, one on each processor core. It "
                                 "is free to use and to pass on, and it comes without any warranty."));
    notice->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    layout->addWidget(new QLabel(tr("Tunepress Version %1").arg(QLatin1String(TunepressVersion))), 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(new QLabel(tr("Please report problems together with the file that caused them.")), 2, 1);
    layout->addWidget(new QLabel(tr("Web site: the project's own pages, where new versions appear first.")), 3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    notice->setMinimumWidth(notice->fontMetrics().averageCharWidth() * 56);
}

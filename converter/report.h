// What a run has to tell beyond the list: each file that was not converted with its reason
// in full, in the order of the list, or an output folder that cannot be used. Read-only,
// but its text can be selected and copied; hidden while there is nothing to tell.
#pragma once

#include <QPlainTextEdit>

class Report : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit Report(QWidget* parent = nullptr);

    // Shown from the first line, or hidden when there are none.
    void setLines(const QStringList& lines);
    QSize sizeHint() const override;
};

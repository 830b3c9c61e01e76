#include "report.h"

Report::Report(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    // A path is one long word; it breaks where it must, and nothing is left to scroll sideways to.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hide();
}

void Report::setLines(const QStringList& lines) {
    setPlainText(lines.join(u'\n'));
    setVisible(!lines.isEmpty());
}

// Five lines: enough to see what went wrong, and a long report scrolls.
QSize Report::sizeHint() const {
    const int margins = 2 * (frameWidth() + int(document()->documentMargin()));
    return {QPlainTextEdit::sizeHint().width(), 5 * fontMetrics().lineSpacing() + margins};
}

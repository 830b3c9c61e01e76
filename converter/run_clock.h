// How long a run has taken and how long it still needs.
#pragma once

#include <QElapsedTimer>
#include <QString>

// "3:25", or "1:02:03" past an hour.
QString durationText(qint64 seconds);

// The time of a run, and the time it still needs reckoned from the share of its input
// bytes done so far at the pace it went until now.
class RunClock {
public:
    void start(qint64 totalBytes);
    void stop();
    // "Elapsed 0:42, about 1:10 left" with `doneBytes` of the inputs done, "Elapsed 0:42"
    // before anything is, and "Took 1:52" once stopped.
    QString text(qint64 doneBytes) const;

private:
    QElapsedTimer m_clock;
    qint64 m_totalBytes = 0;
    qint64 m_tookMs = -1;  // once stopped
};

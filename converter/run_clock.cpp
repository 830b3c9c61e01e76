#include "run_clock.h"

#include <QObject>

QString durationText(qint64 seconds) {
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 % 60;
    const qint64 rest = seconds % 60;
    return hours > 0 ? QString::asprintf("%lld:%02lld:%02lld", hours, minutes, rest)
                     : QString::asprintf("%lld:%02lld", minutes, rest);
}

void RunClock::start(qint64 totalBytes) {
    m_totalBytes = totalBytes;
    m_tookMs = -1;
    m_clock.start();
}

void RunClock::stop() { m_tookMs = m_clock.elapsed(); }

QString RunClock::text(qint64 doneBytes) const {
    if (m_tookMs >= 0) return QObject::tr("Took %1").arg(durationText(m_tookMs / 1000));
    const qint64 elapsedMs = m_clock.elapsed();
    const QString elapsed = QObject::tr("Elapsed %1").arg(durationText(elapsedMs / 1000));
    if (doneBytes <= 0 || doneBytes >= m_totalBytes) return elapsed;
    // In doubles: a long run over large files overflows the product in 64-bit integers.
    const double leftMs = double(elapsedMs) * double(m_totalBytes - doneBytes) / double(doneBytes);
    return QObject::tr("%1, about %2 left").arg(elapsed, durationText(qint64(leftMs / 1000 + 0.5)));
}

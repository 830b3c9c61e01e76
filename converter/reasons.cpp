#include "reasons.h"

#include <cstring>

QString lowerFirst(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    return text;
}

QString reasonOf(int error) { return lowerFirst(QString::fromLocal8Bit(std::strerror(error))); }

#include "native_path.h"

namespace {

constexpr char16_t EscapedBytes = 0xDC00;

// The bytes of the UTF-8 sequence that `lead` starts; 0 for a byte that starts none.
qsizetype sequenceLength(uchar lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC0) return 0;
    return lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 0;
}

bool isEscapedByte(QStringView path, qsizetype at) {
    const char16_t unit = path[at].unicode();
    // The second half of a pair is a character of its own.
    return unit >= EscapedBytes + 0x80 && unit <= EscapedBytes + 0xFF && (at == 0 || !path[at - 1].isHighSurrogate());
}

}  // namespace

QString pathFromNative(QByteArrayView bytes) {
    if (bytes.isValidUtf8()) return QString::fromUtf8(bytes);
    QString path;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = sequenceLength(uchar(bytes[at]));
        if (length > 0 && at + length <= bytes.size() && bytes.sliced(at, length).isValidUtf8()) {
            path += QString::fromUtf8(bytes.sliced(at, length));
            at += length;
        } else {
            path += QChar(EscapedBytes + uchar(bytes[at++]));
        }
    }
    return path;
}

QByteArray nativePath(const QString& path) {
    QByteArray bytes;
    qsizetype from = 0;  // where the text not yet encoded starts
    for (qsizetype at = 0; at < path.size(); ++at) {
        if (!isEscapedByte(path, at)) continue;
        bytes += QStringView(path).sliced(from, at - from).toUtf8();
        bytes += char(path[at].unicode() - EscapedBytes);
        from = at + 1;
    }
    return bytes + QStringView(path).sliced(from).toUtf8();
}

std::filesystem::path filesystemPath(const QString& path) { return nativePath(path).toStdString(); }

QString shownPath(const QString& path) { return QString::fromUtf8(nativePath(path)); }

#include "tag_names.h"

#include <QObject>
#include <QRegularExpression>

#include <sys/stat.h>

#include <memory>

#include "native_path.h"
#include "vortax.h"

namespace {

const QStringList Fields{"artist", "album", "title", "track", "date", "genre"};

// Refused in names by some file system or other: kept out for files that travel.
QString safeForNames(QString text, bool keepSlash) {
    for (QChar& character : text)
        if (character < u' ' || QStringView(u":*?\"<>|\\").contains(character) || (character == u'/' && !keepSlash))
            character = u'_';
    return text;
}

bool isRegularFile(const QString& path) {
    struct stat status {};
    return ::stat(nativePath(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

Tags readTags(const QString& path) {
    Tags tags;
    if (!isRegularFile(path)) return tags;
    EngineContext* created = nullptr;
    if (engine_create(&created) < 0) return tags;
    const std::unique_ptr<EngineContext, decltype(&engine_destroy)> context(created, engine_destroy);
    register_input_module(created, &FileInputModule);
    if (input_select(created, nativePath(path).constData(), -1) < 0 || input_open(created) < 0) return tags;
    for (const QString& field : Fields) {
        char value[512];
        if (vortax_get_tag(created, field.toLatin1().constData(), value, sizeof value) >= 0)
            tags.insert(field, QString::fromUtf8(value).trimmed());
    }
    input_close(created);
    return tags;
}

NamePattern::NamePattern(const QString& typed) {
    const QString text = typed.trimmed();
    static const QRegularExpression Field(QStringLiteral(R"(\{(\w+)(?::0([1-9]))?\})"));
    qsizetype at = 0;
    for (QRegularExpressionMatchIterator found = Field.globalMatch(text); found.hasNext();) {
        const QRegularExpressionMatch field = found.next();
        if (!Fields.contains(field.captured(1))) {
            m_error = QObject::tr("Unknown field %1").arg(field.captured(0));
            return;
        }
        if (field.capturedStart() > at) m_pieces.append({.text = text.mid(at, field.capturedStart() - at)});
        m_pieces.append({.field = field.captured(1), .width = field.captured(2).toInt()});
        at = field.capturedEnd();
    }
    if (at < text.size()) m_pieces.append({.text = text.mid(at)});
    for (const Piece& piece : std::as_const(m_pieces))
        if (piece.text.contains(u'{') || piece.text.contains(u'}'))
            m_error = QObject::tr("A { or } that makes no field");
}

QString NamePattern::valueOf(const Piece& field, const Tags& tags) {
    QString value = tags.value(field.field);
    // "3/12": the track of twelve; a date or genre is whole.
    if (field.field == u"track") value = value.section(u'/', 0, 0).trimmed();
    bool number = false;
    value.toUInt(&number);
    if (number && field.width > 0) value = value.rightJustified(field.width, u'0');
    return safeForNames(value, false);
}

QString NamePattern::nameFor(const Tags& tags) const {
    if (!m_error.isEmpty()) return {};
    QString name;
    for (const Piece& piece : m_pieces) {
        if (piece.field.isEmpty()) {
            name += safeForNames(piece.text, true);
            continue;
        }
        const QString value = valueOf(piece, tags);
        if (value.isEmpty()) return {};
        name += value;
    }
    // A value of "." or ".." must not lead out of its folder.
    QStringList folders = name.split(u'/', Qt::SkipEmptyParts);
    for (QString& folder : folders)
        if (folder == u"." || folder == u"..") folder = QStringLiteral("_");
    return folders.join(u'/');
}

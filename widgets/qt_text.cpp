#include "widgets/qt_text.h"

#include "base/windows1252.h"

QString ToQt(std::string_view bytes) {
    // Plain ASCII (most catalogue text) needs no table.
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string utf8 = cp1252::ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQt(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return cp1252::FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString Utf8ToQt(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

#pragma once
// The places where text crosses between the core's strings and Qt's QString. Two kinds of
// text cross: the designed files' bytes in the system's code page (captions of the language
// files, the catalogue's languages, settings written as they always were) and everything else,
// UTF-8 (channel rows, playlists, the guide, addresses).
#include <QString>
#include <string>
#include <string_view>

QString ToQt(std::string_view codePageBytes);
std::string FromQt(const QString& text);  // characters outside the code page become "?"

QString Utf8ToQt(std::string_view utf8);
inline std::string ToUtf8(const QString& text) { return text.toStdString(); }

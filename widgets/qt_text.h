#pragma once
// The one place where text crosses between the core's Windows-1252 bytes and Qt's QString.
#include <QString>
#include <string>
#include <string_view>

QString ToQt(std::string_view cp1252Bytes);
std::string FromQt(const QString& text);  // characters outside the code page become "?"

#pragma once
// The texts added to the viewer beyond its designed windows (dialogs, notes, the guide and stream
// windows, the banner's words) are registered messages of the language engine: the generator
// writes them with the designed captions and a language translates them. Msg gives one in the
// language applied last; "%1"… in it are filled by the caller with QString::arg.
#include <QString>
#include <string>

class QWidget;

QString Msg(const char* key);

// Applies a language to a window through the engine, then tells every widget of the program
// that the language changed (QEvent::LanguageChange), so that the added texts set when a widget
// was made are set again in the new language.
void ApplyLanguage(QWidget* window, const std::string& language);

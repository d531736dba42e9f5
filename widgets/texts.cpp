#include "widgets/texts.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "localisation/languages.h"
#include "widgets/qt_window.h"

QString Msg(const char* key) {
    modLanguages::RegisterMessages();  // once per run; a later call does nothing
    return localisation::FromEngineText(modLanguages::LangEngine.getMessages(key));
}

void ApplyLanguage(QWidget* window, const std::string& language) {
    modLanguages::RegisterMessages();
    localisation::QtWindow adapter(window);
    modLanguages::LangEngine.ChangeLanguage(adapter, language);
    // Sent at once to every window (a widget passes it on to its children), not posted: what is
    // shown next is already in the new language.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QEvent changed(QEvent::LanguageChange);
        QCoreApplication::sendEvent(top, &changed);
    }
}

#include "localisation/languages.h"

#include <cctype>
#include <filesystem>

#include "base/app.h"
#include "base/file_io.h"
#include "base/file_utils.h"
#include "base/private_label.h"
#include "base/program_files.h"
#include "base/text.h"
#include "localisation/added_messages.h"
#include "localisation/format.h"
#include "localisation/unicode_case.h"

namespace {

// The message's first letter raised, by Unicode's rules: "über" gives "Über".
std::string RaiseFirst(const std::string& text) { return localisation::RaiseFirstUtf8(text); }

enum class Kind { Caption, Tabs, Columns, Option, Menu, None };

Kind KindOf(std::string type, bool ignoreCase) {
    if (ignoreCase) type = text::AsciiLower(text::TrimBlanks(type));
    auto is = [&](const char* name) { return ignoreCase ? type == text::AsciiLower(name) : type == name; };
    if (is("Label") || is("CommandButton") || is("SkinLabel") || is("Frame") || is("CheckBox")) return Kind::Caption;
    if (is("TabStrip")) return Kind::Tabs;
    if (is("ListView")) return Kind::Columns;
    if (is("OptionButton")) return Kind::Option;
    if (is("Menu")) return Kind::Menu;
    return Kind::None;
}

const char* const kDescription =
    "<DESCRIPTION>This file contains various translations of program buttons, messages and menus in XML format.  The "
    "original document was created using translation software, and may sound strange when read by people.  We invite "
    "you to make modifications to existing languages and translate new languages.  Please send them to us so that we "
    "can update this file and make your translation available to all users.  Our current email address is located on "
    "our homepage which can be visited through the software or our program folder on your Start Menu.  Before making "
    "changes to a localization file please use the program to download the most recent localization file using the "
    "'Check for Language Updates' button in the Languages window.</DESCRIPTION>";

}  // namespace

std::filesystem::path clsLanguages::FilePath() { return program_files::ReadPath("Localization.xml"); }
std::filesystem::path clsLanguages::WriteFilePath() { return program_files::WritePath("Localization.xml"); }

void clsLanguages::setMessage(const std::string& name, const std::string& text) {
    for (Message& m : m_messages) {
        if (m.inUse) continue;
        m = Message{name, text, true};
        return;
    }
}

std::string clsLanguages::getMessages(const std::string& name) const {
    // Compared in place, letter case ignored: the added texts look their message up often (a
    // status line, a tooltip, a painted volume bar), and nothing is copied on the way.
    for (const Message& m : m_messages) {
        if (!m.inUse) break;
        if (text::CompareNoCase(m.name, name) == 0) return RaiseFirst(m.text);
    }
    return {};
}

std::string clsLanguages::LangTrimPath(const std::string& path) const {
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool clsLanguages::LangFileExists(const std::string& path) const {
    // The same test as every other file of the program: the name in any letter case.
    return xfileExists::FileExists(path);
}

void clsLanguages::LangLoadItems(const std::string& language) {
    modLanguages::CurrentLanguage = language;
    const std::filesystem::path file = FilePath();
    if (!LangFileExists(file.string())) return;
    const auto text = base::ReadFileCapped(file, kMaxFileBytes);
    if (!text) return;
    // The file is UTF-8, as its declaration says; texts stay UTF-8 up to the window.
    if (auto items = localisation::FindItems(*text, language)) m_itemLines = std::move(items);
}

std::string clsLanguages::LangLookup(const std::string& key) const {
    if (!m_itemLines) return {};
    std::string text = localisation::LookUp(*m_itemLines, key);
    text = text::ReplaceNoCase(text, "[ProgramName]", modPrivateLabel::ProgramName);
    text = text::ReplaceNoCase(text, "[CompanyName]", modPrivateLabel::CompanyName);
    text = text::ReplaceNoCase(text, "[Website]", modPrivateLabel::WebsiteName);
    return RaiseFirst(text);
}

void clsLanguages::ChangeLanguage(localisation::WindowAdapter& window, const std::string& language) {
    Apply(window, language, false);
}

void clsLanguages::ChangeLanguageMDI(localisation::WindowAdapter& window, const std::string& language) {
    Apply(window, language, true);
}

void clsLanguages::Apply(localisation::WindowAdapter& window, const std::string& language, bool typeIgnoresCase) {
    LangLoadItems(language);
    if (!m_itemLines || m_itemLines->size() == 1) LangLoadItems("English");
    const std::string w = window.windowName();
    for (std::size_t i = 0; i < window.controlCount(); ++i) {
        const std::string base = w + "_" + window.controlName(i);
        auto apply = [&](const std::string& key, auto&& set) {
            const std::string text = LangLookup(key);
            if (!text.empty()) set(text);
        };
        switch (KindOf(window.typeName(i), typeIgnoresCase)) {
            case Kind::Caption:
                apply(base, [&](const std::string& t) { window.setCaption(i, t); });
                window.refresh(i);
                break;
            case Kind::Tabs:
            case Kind::Columns: {
                const bool tabs = KindOf(window.typeName(i), typeIgnoresCase) == Kind::Tabs;
                const int count = window.partCount(i);
                for (int n = 1; n <= count; ++n) {
                    apply(base + (tabs ? "_TABS" : "_COL") + std::to_string(n),
                          [&](const std::string& t) { window.setPartText(i, n, t); });
                    window.refresh(i);
                }
                break;
            }
            case Kind::Option:
                if (const auto index = window.index(i)) {
                    apply(base + std::to_string(*index), [&](const std::string& t) { window.setCaption(i, t); });
                    window.refresh(i);
                }
                break;
            case Kind::Menu:
                apply(base + std::to_string(window.index(i).value_or(0)),
                      [&](const std::string& t) { window.setCaption(i, t); });
                break;
            case Kind::None: break;
        }
    }
    for (Message& m : m_messages) {
        if (!m.inUse) break;
        const std::string text = LangLookup(m.name);
        if (!text.empty()) m.text = text;
    }
}

bool clsLanguages::makeLocalizationFile(const std::vector<localisation::WindowAdapter*>& windows) {
    std::string out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n\t<LOCALIZATION_FILE_INFO>\r\n";
    out += "\t\t<LOCALIZATION_FILE_VERSION>1.0</LOCALIZATION_FILE_VERSION>\r\n\t</LOCALIZATION_FILE_INFO>\r\n";
    out += "<LANGUAGE_GROUP xml:lang=\"en\">\r\n\t<LANGUAGE_NAME>English</LANGUAGE_NAME>\r\n\t";
    out += kDescription;
    out += "\r\n\t<TRANSLATION_ITEMS>\r\n";
    auto item = [&](const std::string& key, const std::string& text) {
        out.append("\t\t<").append(key).append(">").append(text).append("</").append(key).append(">\r\n");
    };
    for (localisation::WindowAdapter* window : windows) {
        const std::string w = text::AsciiUpper(window->windowName());
        for (std::size_t i = 0; i < window->controlCount(); ++i) {
            const std::string base = w + "_" + text::AsciiUpper(window->controlName(i));
            switch (KindOf(window->typeName(i), false)) {
                case Kind::Caption: item(base, window->caption(i)); break;
                case Kind::Tabs:
                    for (int n = 1; n <= window->partCount(i); ++n)
                        item(base + "_TABS" + std::to_string(n), window->partText(i, n));
                    break;
                case Kind::Columns:
                    for (int n = 1; n <= window->partCount(i); ++n)
                        item(base + "_COL" + std::to_string(n), window->partText(i, n));
                    break;
                case Kind::Option:
                    if (const auto index = window->index(i)) item(base + std::to_string(*index), window->caption(i));
                    break;
                case Kind::Menu: item(base + std::to_string(window->index(i).value_or(0)), window->caption(i)); break;
                case Kind::None: break;
            }
        }
    }
    for (const Message& m : m_messages) {
        if (!m.inUse) break;
        item(text::AsciiUpper(m.name), m.text);
    }
    out += "\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n</XML_DIZ_INFO>\r\n";
    // Replaced whole: a failed write keeps the old file.
    return base::ReplaceFileAtomically(WriteFilePath(), out).ok;
}

void modLanguages::RegisterMessages() {
    if (!LangEngine.getMessages("MSG_TITLELANGUAGE").empty()) return;
    LangEngine.setMessage("MSG_TITLELANGUAGE", "Language Selection");
    LangEngine.setMessage("MSG_DOWNLOADED",
                          "The newest language file has been downloaded. Pick a language from the list to use it.");
    // Then the texts added beyond the design, so that a language translates them too.
    for (const localisation::AddedMessage& m : localisation::AddedMessages())
        LangEngine.setMessage(std::string(m.key), std::string(m.english));
}

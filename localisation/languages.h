#pragma once
// The language engine: applies a language of "Localization.xml" to a window's captions and to
// the registered messages, and writes the English reference file from the loaded windows.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "localisation/window_adapter.h"

class clsLanguages {
public:
    static constexpr std::size_t kMessageSlots = 201;

    void setMessage(const std::string& name, const std::string& text);
    std::string getMessages(const std::string& name) const;
    void ChangeLanguage(localisation::WindowAdapter& window, const std::string& language);
    void ChangeLanguageMDI(localisation::WindowAdapter& window, const std::string& language);
    std::string ListLanguages() const { return {}; }
    bool LangFileExists(const std::string& path) const;
    std::string LangTrimPath(const std::string& path) const;
    // Writes "Localization.xml" with an item for every caption of `windows` (the loaded windows,
    // in order) and every registered message. False when the file could not be written.
    bool makeLocalizationFile(const std::vector<localisation::WindowAdapter*>& windows);

    // The file the engine reads, and the one the generator writes (the same file beside a
    // portable program; the user's copy of it beside an installed one).
    static std::filesystem::path FilePath();
    static std::filesystem::path WriteFilePath();
    // The largest localisation file read.
    static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{16} * 1024 * 1024;

private:
    struct Message {
        std::string name, text;
        bool inUse = false;
    };
    void LangLoadItems(const std::string& language);
    std::string LangLookup(const std::string& key) const;
    void Apply(localisation::WindowAdapter& window, const std::string& language, bool typeIgnoresCase);

    std::optional<std::vector<std::string>> m_itemLines;
    std::array<Message, kMessageSlots> m_messages{};
};

namespace modLanguages {
inline clsLanguages LangEngine;      // the one engine of the program
inline std::string CurrentLanguage;  // the language last requested

// Registers the messages of the language window with their English texts: the window's title
// "MSG_TITLELANGUAGE" and the download confirmation "MSG_DOWNLOADED"; then the messages added
// beyond the design (added_messages.h). Once per program run; later calls do nothing.
void RegisterMessages();
}  // namespace modLanguages

#pragma once
// The language window: pick the language of the user interface, download the newest
// multi-language file "Localization.txt", or open that file for translating.
#include <QPointer>
#include <QWidget>
#include <string>

class QFrame;
class QPushButton;
class PickComboBox;
class SkinLabel;

class frmLanguage : public QWidget {
    Q_OBJECT
public:
    explicit frmLanguage(QWidget* parent = nullptr);
    void Form_Load();

    // The one language window: loaded (and its load handler run) on first use, shown again after.
    static frmLanguage* Show();
    static frmLanguage* Loaded();  // nullptr when not loaded

    void Combo1_Click();
    void Command1_Click();  // "Check for language updates"
    void Command2_Click();  // "OK"
    void Command3_Click();  // "Translate this program"

    // Where the newest "Localization.txt" of this program is published.
    static std::string DownloadAddress();
    static const char* const kPrompt;  // the designed text of Combo1

    QPushButton *Command3 = nullptr, *Command2 = nullptr, *Command1 = nullptr;
    PickComboBox* Combo1 = nullptr;
    SkinLabel* Label1 = nullptr;
    QFrame* Line1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FillLanguageList();
    bool m_downloading = false;  // "Check for language updates" is waiting for the server
    int ShellOpenFile(const std::string& path, int showCommand);
};

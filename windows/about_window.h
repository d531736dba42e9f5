#pragma once
// The about window: program name, version, company and web site under a picture strip.
#include <QPointer>
#include <QWidget>
#include <vector>

class QLabel;
class PictureBox;
class SkinLabel;

class frmAbout : public QWidget {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    void Form_Load();

    // The one about window: loaded (and its load handler run) on first use, shown again after.
    static frmAbout* Show();
    static frmAbout* Loaded();  // nullptr when not loaded

    PictureBox* Picture1 = nullptr;
    SkinLabel *Label1 = nullptr, *lblVersion = nullptr, *lblCompany = nullptr, *lblWebsite = nullptr;
    QLabel *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    std::vector<SkinLabel*> SkinLabel1;
};

#include "widgets/banner_pane.h"

#include "services/fetch.h"
#include "widgets/qt_text.h"
#include "widgets/shell.h"

BannerPane::BannerPane(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) { shell::Open(url.toString()); });
}

void BannerPane::Navigate(const QString& address) {
    m_address = address;
    const std::string page = FetchPage(FromQt(address));
    setHtml(ToQt(page));
}

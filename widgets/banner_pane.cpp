#include "widgets/banner_pane.h"

#include <QPointer>

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
    // The download pumps events: the window holding the pane may close meanwhile.
    const QPointer<BannerPane> self(this);
    const FetchResult fetched = FetchPageReport(FromQt(address));
    if (!self || fetched.cancelled) return;
    setHtml(ToQt(fetched.body));
}

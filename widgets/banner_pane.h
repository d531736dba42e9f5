#pragma once
// The banner pane: a light HTML view that fetches its page through FetchPage; a click on a
// link opens it in the system's browser.
#include <QTextBrowser>

class BannerPane : public QTextBrowser {
    Q_OBJECT
public:
    explicit BannerPane(QWidget* parent = nullptr);
    void Navigate(const QString& address);
    QString address() const { return m_address; }

private:
    QString m_address;
};

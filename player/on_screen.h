#pragma once
// What stands on the picture for a moment: the channel's banner after a zap (its number, logo and
// name, what is on with its times and how far it has got, and what follows), the volume as a
// bar, or one line (a radio's new title). The view paints it over the picture or the backdrop,
// in the picture itself, so nothing drawn beside it can cover it.
#include <QImage>
#include <QRect>
#include <QString>
#include <QtGlobal>

class QPainter;

class OnScreen {
public:
    enum class Kind { None, Banner, Level, Line };
    struct Programme {
        QString title;               // empty: the guide knows none
        qint64 start = 0, stop = 0;  // seconds since 1970; stop 0 when not known
    };
    struct Banner {
        QString number, name;
        QImage logo;
        Programme now, next;
        bool restartable = false;  // the channel's archive holds the programme on now from its start
    };

    // `now` (seconds since 1970) places the progress of the programme on now.
    void showBanner(const Banner& banner, qint64 now);
    void showLevel(int percent, bool muted);
    void showLine(const QString& text);
    void clear();

    Kind kind() const { return m_kind; }
    bool isEmpty() const { return m_kind == Kind::None; }
    const Banner& banner() const { return m_banner; }
    // How far the programme on now has got, 0 to 1000; -1 without one that has times.
    int progress() const { return m_progress; }
    int level() const { return m_level; }
    bool muted() const { return m_muted; }
    // What it says, a line for each line drawn ("12  News 24", "20:00–21:00  World News",
    // "Next 21:00  Sport"; "Volume 55%" or "Muted"; the line). A banner that can restart its
    // programme ends its first line with "[Restart]".
    QString text() const;
    // A new number with every change, for views that keep it drawn.
    quint64 version() const { return m_version; }

    // Where it stands in a view of `area`: the banner across the foot, the volume and the line
    // at the top; empty when there is nothing to show.
    QRect place(const QRect& area) const;
    // Where the banner's "Restart" button stands in a view of `area`; empty when it has none.
    QRect restartPlace(const QRect& area) const;
    // Paints it at place(area).
    void paint(QPainter& painter, const QRect& area) const;

private:
    Kind m_kind = Kind::None;
    Banner m_banner;
    int m_progress = -1;
    int m_level = 0;
    bool m_muted = false;
    QString m_line;
    quint64 m_version = 0;
};

#include "player/on_screen.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <algorithm>

#include "widgets/texts.h"

namespace {

QString Clock(qint64 t) { return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("HH:mm")); }

QString NowLine(const OnScreen::Programme& now) {
    if (now.title.isEmpty()) return {};
    if (now.start <= 0) return now.title;
    QString times = Clock(now.start);
    if (now.stop > now.start) times += QStringLiteral("–") + Clock(now.stop);
    return times + QStringLiteral("  ") + now.title;
}

QString NextLine(const OnScreen::Programme& next) {
    if (next.title.isEmpty()) return {};
    return Msg("MSG_BANNERNEXT") + QLatin1Char(' ') +
           (next.start > 0 ? Clock(next.start) + QStringLiteral("  ") : QString()) + next.title;
}

// The text's size follows the view: small in the window, large in full screen.
int TextPixels(const QRect& area) { return std::clamp(area.height() / 34, 11, 26); }

}  // namespace

void OnScreen::showBanner(const Banner& banner, qint64 now) {
    m_kind = Kind::Banner;
    m_banner = banner;
    m_progress = -1;
    const Programme& on = banner.now;
    if (!on.title.isEmpty() && on.start > 0 && on.stop > on.start)
        m_progress = static_cast<int>(std::clamp<qint64>((now - on.start) * 1000 / (on.stop - on.start), 0, 1000));
    ++m_version;
}

void OnScreen::showLevel(int percent, bool muted) {
    m_kind = Kind::Level;
    m_level = std::clamp(percent, 0, 100);
    m_muted = muted;
    ++m_version;
}

void OnScreen::showLine(const QString& text) {
    m_kind = Kind::Line;
    m_line = text;
    ++m_version;
}

void OnScreen::clear() {
    if (m_kind == Kind::None) return;
    m_kind = Kind::None;
    ++m_version;
}

QString OnScreen::text() const {
    switch (m_kind) {
        case Kind::Banner: {
            QStringList lines;
            QString first =
                m_banner.number.isEmpty() ? m_banner.name : m_banner.number + QStringLiteral("  ") + m_banner.name;
            if (m_banner.restartable) first += QStringLiteral("  [") + Msg("MSG_RESTART") + QLatin1Char(']');
            lines << first;
            if (const QString now = NowLine(m_banner.now); !now.isEmpty()) lines << now;
            if (const QString next = NextLine(m_banner.next); !next.isEmpty()) lines << next;
            return lines.join(QLatin1Char('\n'));
        }
        case Kind::Level: return m_muted ? Msg("MSG_MUTED") : Msg("MSG_VOLUMELEVEL").arg(m_level);
        case Kind::Line: return m_line;
        case Kind::None: break;
    }
    return {};
}

QRect OnScreen::place(const QRect& area) const {
    const int px = TextPixels(area);
    const int margin = std::max(8, area.width() / 40);
    switch (m_kind) {
        case Kind::Banner: {
            const int lines = 1 + !m_banner.now.title.isEmpty() + !m_banner.next.title.isEmpty();
            const int height = px * 2 + (lines - 1) * px * 3 / 2 + px + (m_progress >= 0 ? px / 2 + 4 : 0);
            const int top = std::max(area.top(), area.bottom() - margin - height);
            const int width = std::min(area.width() - 2 * margin, px * 48);
            return QRect(area.left() + (area.width() - width) / 2, top, std::max(0, width),
                         std::min(height, area.height()));
        }
        case Kind::Level:
        case Kind::Line: {
            const int width = std::min(area.width() - 2 * margin, m_kind == Kind::Level ? px * 16 : px * 40);
            return QRect(area.left() + (area.width() - width) / 2, area.top() + margin, std::max(0, width), px * 2 + 8);
        }
        case Kind::None: break;
    }
    return {};
}

QRect OnScreen::restartPlace(const QRect& area) const {
    if (m_kind != Kind::Banner || !m_banner.restartable) return {};
    const QRect box = place(area);
    if (box.isEmpty()) return {};
    // At the right of the name's row, as wide as its word needs.
    const int px = TextPixels(area), pad = px * 2 / 3;
    QFont font;
    font.setPixelSize(px);
    const int width = QFontMetrics(font).horizontalAdvance(Msg("MSG_RESTART")) + 2 * pad;
    return QRect(box.right() - pad - width, box.top() + pad / 2 + px / 4, width, px * 3 / 2);
}

void OnScreen::paint(QPainter& painter, const QRect& area) const {
    const QRect box = place(area);
    if (box.isEmpty()) return;
    const int px = TextPixels(area);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(box, px / 2.0, px / 2.0);
    painter.fillPath(shape, QColor(10, 12, 16, 200));
    QFont font = painter.font();
    font.setPixelSize(px);
    const QColor light(235, 235, 235), dim(175, 180, 190), accent(70, 150, 230);
    const int pad = px * 2 / 3;
    if (m_kind == Kind::Level) {
        painter.setFont(font);
        painter.setPen(light);
        const QRect label(box.left() + pad, box.top(), px * 6, box.height());
        painter.drawText(label, Qt::AlignVCenter | Qt::AlignLeft, m_muted ? Msg("MSG_MUTED") : Msg("MSG_VOLUME"));
        const QRect track(label.right() + pad, box.center().y() - px / 4, box.right() - label.right() - 2 * pad,
                          px / 2);
        painter.fillRect(track, QColor(255, 255, 255, 50));
        QRect filled = track;
        filled.setWidth(track.width() * m_level / 100);
        painter.fillRect(filled, m_muted ? dim : accent);
    } else if (m_kind == Kind::Line) {
        painter.setFont(font);
        painter.setPen(light);
        const QRect inner = box.adjusted(pad, 0, -pad, 0);
        painter.drawText(inner, Qt::AlignCenter,
                         painter.fontMetrics().elidedText(m_line, Qt::ElideRight, inner.width()));
    } else {
        QRect inner = box.adjusted(pad, pad / 2, -pad, -pad / 2);
        if (!m_banner.logo.isNull()) {
            // The logo at the left, as tall as the banner allows and never enlarged.
            QSize size = m_banner.logo.size();
            const int room = inner.height();
            if (size.width() > room * 2 || size.height() > room) size.scale(room * 2, room, Qt::KeepAspectRatio);
            const QRect logo(inner.left(), inner.top() + (inner.height() - size.height()) / 2, size.width(),
                             size.height());
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(logo, m_banner.logo);
            inner.setLeft(logo.right() + pad);
        }
        QFont big = font;
        big.setPixelSize(px * 3 / 2);
        big.setBold(true);
        painter.setFont(big);
        int y = inner.top();
        const int nameHeight = px * 2;
        QRect nameRow(inner.left(), y, inner.width(), nameHeight);
        if (!m_banner.number.isEmpty()) {
            painter.setPen(accent);
            const int w = painter.fontMetrics().horizontalAdvance(m_banner.number) + px;
            painter.drawText(nameRow, Qt::AlignVCenter | Qt::AlignLeft, m_banner.number);
            nameRow.setLeft(nameRow.left() + w);
        }
        if (const QRect button = restartPlace(area); !button.isEmpty()) {
            // A button the pointer can press (the pane hears the click); the name gives way to it.
            painter.setFont(font);
            QPainterPath chip;
            chip.addRoundedRect(button, button.height() / 2.0, button.height() / 2.0);
            painter.fillPath(chip, accent);
            painter.setPen(light);
            painter.drawText(button, Qt::AlignCenter, Msg("MSG_RESTART"));
            nameRow.setRight(button.left() - pad);
            painter.setFont(big);
        }
        painter.setPen(light);
        painter.drawText(nameRow, Qt::AlignVCenter | Qt::AlignLeft,
                         painter.fontMetrics().elidedText(m_banner.name, Qt::ElideRight, nameRow.width()));
        y += nameHeight;
        painter.setFont(font);
        const auto line = [&](const QString& text, const QColor& colour) {
            if (text.isEmpty()) return;
            painter.setPen(colour);
            const QRect row(inner.left(), y, inner.width(), px * 3 / 2);
            painter.drawText(row, Qt::AlignVCenter | Qt::AlignLeft,
                             painter.fontMetrics().elidedText(text, Qt::ElideRight, row.width()));
            y += row.height();
        };
        line(NowLine(m_banner.now), light);
        if (m_progress >= 0) {
            const QRect track(inner.left(), y + 2, std::min(inner.width(), px * 20), px / 2);
            painter.fillRect(track, QColor(255, 255, 255, 50));
            painter.fillRect(QRect(track.left(), track.top(), track.width() * m_progress / 1000, track.height()),
                             accent);
            y += px / 2 + 4;
        }
        line(NextLine(m_banner.next), dim);
    }
    painter.restore();
}

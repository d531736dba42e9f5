#pragma once
// The programme guide's window: the grid of the channels shown that the guide knows, and under
// it what the chosen programme is (title, day and time, description). Enter, a double-click or
// "Play Channel" asks for the chosen row's channel. Not modal: the viewer goes on beside it.
#include <QDialog>
#include <QString>
#include <cstdint>
#include <vector>

#include "widgets/guide_grid.h"

class QLabel;
class QPushButton;

class GuideWindow : public QDialog {
    Q_OBJECT
public:
    struct Channel {
        QString name, address;
        const guide::Schedule* schedule = nullptr;  // the caller keeps it while the window shows it
    };
    explicit GuideWindow(QWidget* parent = nullptr);

    void setChannels(std::vector<Channel> channels, std::int64_t now);
    GuideGrid* grid() const { return m_grid; }
    const std::vector<Channel>& channels() const { return m_channels; }
    // What the details under the grid say now (title and time, then the description).
    QString details() const;

signals:
    // `programme`: the row's chosen one (nullptr when none is); an archive may play it.
    void playRequested(const QString& address, const QString& name, const guide::Programme* programme);

private:
    void showDetails(int row, int programme);  // the chosen programme's, or the row's name alone

    GuideGrid* m_grid = nullptr;
    QLabel *m_heading = nullptr, *m_description = nullptr, *m_empty = nullptr;
    QPushButton* m_play = nullptr;
    std::vector<Channel> m_channels;
};

#pragma once
// The report-view list of channels: column headers, rows with a tag and sub-items, and the
// selected row. Virtualised: only the rows on screen are ever turned into display text.
#include <QTreeView>

#include "viewer/channel_model.h"

class ListView : public QTreeView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    ChannelModel* rows() const { return m_model; }
    void addColumn(const QString& header, int widthTwips);
    QStringList columnHeaders() const { return m_model->headers(); }

    // Index of the selected row, or -1 when none is selected.
    int selectedIndex() const;
    void selectRow(int index);

private:
    ChannelModel* m_model;
};

#pragma once
// A one-line label whose spaces are drawn at a fixed width. Captions that leave room for
// boxes laid over them with runs of spaces were measured in the design font; drawing each
// space at that font's width keeps the words in the gaps whatever font the system has.
#include <QLabel>

class SpacedLabel : public QLabel {
    Q_OBJECT
public:
    SpacedLabel(const QString& text, int spaceTwips, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_spaceTwips;
};

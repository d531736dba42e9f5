#pragma once
// A one-line label that ends a text too long for its width with "…" instead of cutting it off
// mid-word. The whole text stays the label's text (and its tooltip, for reading it in full);
// only the drawing is shortened, so it follows every resize.
#include <QLabel>

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // What the label draws at its present width: the text, or its start ended with "…".
    QString shownText() const;

    // The label may be made as narrow as its layout wants; the text shortens to fit.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

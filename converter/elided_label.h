// A status line that keeps to the width it is given: a text too long for it loses its
// middle ("Decoding: /home/ann/Mu…/Album/01 song.mp3"), and the whole text is its tooltip.
#pragma once

#include <QLabel>

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString& text, QWidget* parent = nullptr);

    void setText(const QString& text);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

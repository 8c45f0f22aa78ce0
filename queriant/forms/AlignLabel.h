// SPDX-License-Identifier: MIT
// A label that aligns its text horizontally and vertically inside a margin and can draw a
// rounded frame. It may hold child widgets.
#pragma once

#include "DrawAlignedText.h"

#include <QBrush>
#include <QPen>
#include <QWidget>

class TAlignLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(int Alignment READ alignmentValue WRITE setAlignmentValue)
    Q_PROPERTY(int VAlign READ vAlignValue WRITE setVAlignValue)
    Q_PROPERTY(bool WordWrap READ wordWrap WRITE setWordWrap)
    Q_PROPERTY(int Margin READ margin WRITE setMargin)
    Q_PROPERTY(int Radius READ radius WRITE setRadius)
    Q_PROPERTY(QPen Pen READ pen WRITE setPen)
    Q_PROPERTY(QBrush Brush READ brush WRITE setBrush)

public:
    explicit TAlignLabel(QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    TAlignment alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);
    TVAlignment vAlign() const { return m_vAlign; }
    void setVAlign(TVAlignment vAlign);
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool wordWrap);
    int margin() const { return m_margin; }
    void setMargin(int margin);
    int radius() const { return m_radius; }
    void setRadius(int radius);
    // Qt's defaults: a black one-pixel pen and no brush. Qt::NoPen hides the frame.
    QPen pen() const { return m_pen; }
    void setPen(const QPen &pen);
    QBrush brush() const { return m_brush; }
    void setBrush(const QBrush &brush);

signals:
    void clicked();
    void captionChanged(const QString &caption);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int alignmentValue() const { return m_alignment; }
    void setAlignmentValue(int v) { setAlignment(TAlignment(v)); }
    int vAlignValue() const { return m_vAlign; }
    void setVAlignValue(int v) { setVAlign(TVAlignment(v)); }

    QString m_caption;
    TAlignment m_alignment = taLeftJustify;
    TVAlignment m_vAlign = vtTop;
    bool m_wordWrap = false;
    int m_margin = 4;
    int m_radius = 10;
    QPen m_pen;
    QBrush m_brush;
    bool m_pressed = false;
};

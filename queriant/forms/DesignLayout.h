// SPDX-License-Identifier: MIT
// Places the children of one container from their design rectangles: anchored edges keep their
// distance to the container's edges when it is resized, and a mirrored layout flips every
// rectangle horizontally (right-to-left reading). Anchors swap sides with the mirror.
#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

enum TAnchor : int { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
constexpr int akTopLeft = akLeft | akTop;
constexpr int akBottomRight = akRight | akBottom;

class TDesignLayout {
public:
    TDesignLayout(QWidget *container, QSize designSize);

    // Registers (or moves) a child at rect in design coordinates.
    void Place(QWidget *widget, const QRect &rect, int anchors = akTopLeft);
    // Changes the design rectangle of a registered child; keeps its anchors.
    void SetRect(QWidget *widget, const QRect &rect);
    QRect Rect(QWidget *widget) const;
    void SetLeft(QWidget *widget, int left);
    void SetTop(QWidget *widget, int top);
    void SetWidth(QWidget *widget, int width);

    bool Mirrored() const { return m_mirrored; }
    void SetMirrored(bool mirrored);
    // Places every child for the container's current size.
    void Apply();

private:
    struct Item {
        QPointer<QWidget> widget;
        QRect rect;
        int anchors;
    };
    Item *find(QWidget *widget);
    const Item *find(QWidget *widget) const;
    void apply(const Item &item) const;

    QWidget *m_container;
    QSize m_design;
    bool m_mirrored = false;
    std::vector<Item> m_items;
};

// SPDX-License-Identifier: MIT
#include "DesignLayout.h"

TDesignLayout::TDesignLayout(QWidget *container, QSize designSize)
    : m_container(container), m_design(designSize) {}

TDesignLayout::Item *TDesignLayout::find(QWidget *widget) {
    for (Item &item : m_items) {
        if (item.widget == widget)
            return &item;
    }
    return nullptr;
}

const TDesignLayout::Item *TDesignLayout::find(QWidget *widget) const {
    return const_cast<TDesignLayout *>(this)->find(widget);
}

void TDesignLayout::Place(QWidget *widget, const QRect &rect, int anchors) {
    if (Item *item = find(widget)) {
        item->rect = rect;
        item->anchors = anchors;
        apply(*item);
        return;
    }
    m_items.push_back({widget, rect, anchors});
    apply(m_items.back());
}

void TDesignLayout::SetRect(QWidget *widget, const QRect &rect) {
    Item *item = find(widget);
    if (!item) {
        Place(widget, rect);
        return;
    }
    item->rect = rect;
    apply(*item);
}

QRect TDesignLayout::Rect(QWidget *widget) const {
    const Item *item = find(widget);
    return item ? item->rect : QRect();
}

void TDesignLayout::SetLeft(QWidget *widget, int left) {
    QRect r = Rect(widget);
    r.moveLeft(left);
    SetRect(widget, r);
}

void TDesignLayout::SetTop(QWidget *widget, int top) {
    QRect r = Rect(widget);
    r.moveTop(top);
    SetRect(widget, r);
}

void TDesignLayout::SetWidth(QWidget *widget, int width) {
    QRect r = Rect(widget);
    r.setWidth(width);
    SetRect(widget, r);
}

void TDesignLayout::SetMirrored(bool mirrored) {
    m_mirrored = mirrored;
    Apply();
}

void TDesignLayout::Apply() {
    for (const Item &item : m_items)
        apply(item);
}

void TDesignLayout::apply(const Item &item) const {
    if (!item.widget)
        return;
    const int dw = m_container->width() - m_design.width();
    const int dh = m_container->height() - m_design.height();
    QRect r = item.rect;
    if ((item.anchors & akLeft) && (item.anchors & akRight))
        r.setWidth(r.width() + dw);
    else if (item.anchors & akRight)
        r.translate(dw, 0);
    if ((item.anchors & akTop) && (item.anchors & akBottom))
        r.setHeight(r.height() + dh);
    else if (item.anchors & akBottom)
        r.translate(0, dh);
    if (m_mirrored)
        r.moveLeft(m_container->width() - r.left() - r.width());
    item.widget->setGeometry(r);
}

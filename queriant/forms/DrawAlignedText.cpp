// SPDX-License-Identifier: MIT
#include "DrawAlignedText.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

QString SingleLineText(const QString &text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));
    return line;
}

namespace {

int horizontalFlags(TAlignment alignment) {
    switch (alignment) {
    case taRightJustify:
        return Qt::AlignRight;
    case taCenter:
        return Qt::AlignHCenter;
    case taLeftJustify:
        break;
    }
    return Qt::AlignLeft;
}

int verticalFlags(TVAlignment vAlign) {
    switch (vAlign) {
    case vtMiddle:
        return Qt::AlignVCenter;
    case vtBottom:
        return Qt::AlignBottom;
    case vtTop:
        break;
    }
    return Qt::AlignTop;
}

} // namespace

void DrawAlignedText(QPainter &canvas, const QRect &rect, TAlignment alignment, bool enabled,
                     bool showPrefix, bool wordWrap, const QString &text, TVAlignment vAlign) {
    canvas.save();
    canvas.setBackgroundMode(Qt::TransparentMode);
    canvas.setBrush(Qt::NoBrush);

    // The alignment is a place on the screen, whatever the painter's or the application's
    // direction; the text's own script sets the reading order, so that the full stop of an
    // Arabic sentence ends up on its left.
    canvas.setLayoutDirection(text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    const QFontMetrics metrics(canvas.font());
    const int prefixFlag = showPrefix ? Qt::TextShowMnemonic : 0;
    int flags = prefixFlag | horizontalFlags(alignment) | Qt::AlignAbsolute;
    QRect area = rect;
    QString shown = text;
    if (wordWrap) {
        // Multi-line text is placed by measuring it, as bottom and middle alignment are
        // defined for one line only.
        flags |= Qt::TextWordWrap | Qt::AlignTop;
        const QRect measured =
            metrics.boundingRect(QRect(rect.left(), rect.top(), rect.width(), 0), flags, text);
        const int textHeight = measured.height();
        if (rect.top() + textHeight < rect.bottom() + 1) {
            const int free = rect.height() - textHeight;
            if (vAlign == vtMiddle) {
                area.setTop(area.top() + free / 2);
                area.setBottom(area.bottom() - free / 2);
            } else if (vAlign == vtBottom) {
                area.setTop(area.bottom() + 1 - textHeight);
            }
        }
    } else {
        flags |= Qt::TextSingleLine | verticalFlags(vAlign);
        shown = metrics.elidedText(SingleLineText(text), Qt::ElideRight, rect.width(), prefixFlag);
    }

    if (enabled) {
        canvas.drawText(area, flags, shown);
    } else {
        const QPalette palette = QGuiApplication::palette();
        canvas.setPen(palette.color(QPalette::Active, QPalette::Light));
        canvas.drawText(area.translated(1, 1), flags, shown);
        canvas.setPen(palette.color(QPalette::Active, QPalette::Dark));
        canvas.drawText(area, flags, shown);
    }
    canvas.restore();
}

// SPDX-License-Identifier: MIT
// Text drawn inside a rectangle with horizontal and vertical alignment, shared by the labels
// and the owner-drawn grids.
#pragma once

#include <QRect>
#include <QString>

class QPainter;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TVAlignment { vtTop, vtMiddle, vtBottom };

// Draws text in the painter's font and pen colour, without a background, clipped to rect.
// Without wordWrap the text becomes one line (CR LF pairs turn into a blank, other CR and LF
// vanish) and is cut with an ellipsis when too wide. showPrefix makes '&' mark a mnemonic.
// A disabled text is embossed: the light colour one pixel right and down, the dark colour
// over it at the place itself.
void DrawAlignedText(QPainter &canvas, const QRect &rect, TAlignment alignment, bool enabled,
                     bool showPrefix, bool wordWrap, const QString &text, TVAlignment vAlign);

// The single-line form of a text.
QString SingleLineText(const QString &text);

// SPDX-License-Identifier: MIT
// The dialogs' look: colours, fonts and the link label.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

namespace FormLook {

QColor DialogBackground();    // #F6FBFF
QColor TitleBarColor();       // #52514F
QColor SeparatorColor();      // #BAC9D8
QColor GridRowColor();        // white
QColor GridAltRowColor();     // #EEEDEA
QColor GridCurrentRowColor(); // #FFCC9A
QColor DescriptionColor();    // grey
QColor ErrorColor();          // red
QColor LinkColor();           // blue

// MS Sans Serif 11 pixels high, or a sans font of that height where it is missing.
QFont FormFont();
// Arial 19 pixels high, or a sans font of that height.
QFont TitleFont();

// Solid background colour for a widget and the widgets that inherit its palette.
void SetBackground(QWidget *widget, const QColor &color);
void SetTextColor(QWidget *widget, const QColor &color);

// Arabic letters join up, and an underlined accelerator letter is shaped on its own, which
// breaks its word apart. Where captions are Arabic (the user reads the Arabic column of the
// language file, or the dialogs read right to left), no accelerator is underlined, as on
// desktops that underline only while Alt is held; the accelerator keys keep working.
void HideAcceleratorUnderlinesForArabic(int userLanguage, bool rightToLeftLayout);

} // namespace FormLook

// A blue underlined label with a hand cursor that reports clicks.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_pressed = false;
};

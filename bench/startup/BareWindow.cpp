// SPDX-License-Identifier: MIT
// The baseline of the start-up benchmark: a bare Qt Widgets window and nothing else. It takes
// the client's arguments (/XpNotify <section>) so that both are started alike, and ignores them.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("BareWindow"));
    window.resize(520, 360);
    window.show();
    return app.exec();
}

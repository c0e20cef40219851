// A bare Qt Widgets window: the yardstick for the player's start-up. It shows one caption at the
// player's place and size, so both are timed from process start to the same kind of picture.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Bare Qt window");
    window.setGeometry(220, 87, 467, 216);
    QLabel caption("Bare Qt window", &window);
    caption.move(8, 8);
    window.show();
    return QApplication::exec();
}

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunaria"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tunaria"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral(" Tunaria"));
    window.resize(674, 509);
    window.show();
    return QApplication::exec();
}

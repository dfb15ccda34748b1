// Songs dragged out to another program on a real X display: a drop target in a process of its
// own takes the drop and asks for the files afterwards, as a file manager does. Run under a
// virtual X server; the same program, started with "--drop-target FILE", is that target and
// writes the "text/uri-list" it received to FILE.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

#include "util/unitDesktop.h"

namespace {

constexpr int kTargetLeft = 400;
const QPoint kOverTarget(kTargetLeft + 100, 100);

/// The other program: accepts a drop of files as a copy and keeps what it was given.
class cDropTarget : public QWidget {
public:
    explicit cDropTarget(QString outputFile) : m_OutputFile(std::move(outputFile)) {
        setAcceptDrops(true);
        setGeometry(kTargetLeft, 0, 200, 200);
        setWindowFlag(Qt::FramelessWindowHint);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        // Asked for now, after the drop: the source answers from its drag, if it still has it.
        QFile output(m_OutputFile);
        output.open(QIODevice::WriteOnly);
        output.write(event->mimeData()->data(QStringLiteral("text/uri-list")));
        output.close();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        QTimer::singleShot(100, qApp, &QCoreApplication::quit);
    }

private:
    QString m_OutputFile;
};

int RunDropTarget(const QString& outputFile) {
    cDropTarget target(outputFile);
    target.show();
    if (!QTest::qWaitForWindowExposed(&target)) {
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer::singleShot(20000, qApp, &QCoreApplication::quit);
    return QApplication::exec();
}

QString g_Program;

std::string Touch(const QTemporaryDir& folder, const std::string& name) {
    const std::string path = folder.path().toStdString() + "/" + name;
    std::ofstream(path, std::ios::binary) << "mp3";
    return path;
}

TEST(DragToAnotherProgram, TheTargetGetsEveryPathAfterTheDropAsItsBytes) {
    QTemporaryDir folder;
    // A space, a percent sign, a name that is no valid UTF-8 and one that is.
    const std::vector<std::string> paths = {Touch(folder, "a b.mp3"), Touch(folder, "100%.mp3"),
                                            Touch(folder, "caf\xe9.mp3"),
                                            Touch(folder, "Bj\xc3\xb6rk.mp3")};
    const QString received = folder.filePath(QStringLiteral("received"));
    QProcess target;
    target.start(g_Program, {QStringLiteral("--drop-target"), received});
    ASSERT_TRUE(target.waitForReadyRead(10000));
    ASSERT_EQ(target.readLine().trimmed(), "ready");

    QWidget source;
    source.setGeometry(0, 0, 200, 200);
    source.setWindowFlag(Qt::FramelessWindowHint);
    source.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&source));
    // The pointer goes over the target, waits for its answer, and lets go there.
    QWindow* window = source.windowHandle();
    QTimer::singleShot(200, [window] { QTest::mouseMove(window, kOverTarget); });
    QTimer::singleShot(500, [window] { QTest::mouseMove(window, kOverTarget + QPoint(5, 5)); });
    QTimer::singleShot(1000, [window] {
        QTest::mouseRelease(window, Qt::LeftButton, {}, kOverTarget + QPoint(5, 5));
    });
    cSystemDesktop desktop;
    desktop.DragFiles(source, paths);

    // The target asks for the data once the drag has ended here.
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.state() == QProcess::NotRunning; }, 10000));
    QFile file(received);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray uris = file.readAll();
    const std::unique_ptr<QMimeData> sent(DraggedFilesData(paths));
    EXPECT_EQ(uris, sent->data(QStringLiteral("text/uri-list")));
    QMimeData dropped;
    dropped.setData(QStringLiteral("text/uri-list"), uris);
    EXPECT_EQ(DroppedFilePaths(&dropped), paths);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--drop-target") {
        return RunDropTarget(QString::fromLocal8Bit(argv[2]));
    }
    g_Program = QCoreApplication::applicationFilePath();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

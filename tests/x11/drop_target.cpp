// A plain drop target for tests in a real X session: a window that accepts every drag and
// prints what each drop carries, one line per item, then "dropped".
#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

class Target : public QWidget {
protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    // "over" for each position the source reports. The answer to a position goes out only
    // after this handler, and the source reports no next position before the answer to the
    // last one has reached it: a second "over" is what tells a test the source knows the
    // drop is accepted.
    void dragMoveEvent(QDragMoveEvent* event) override {
        event->acceptProposedAction();
        std::printf("over\n");
        std::fflush(stdout);
    }
    void dropEvent(QDropEvent* event) override {
        const QMimeData* mime = event->mimeData();
        for (const QString& format : mime->formats()) {
            std::printf("format %s\n", format.toUtf8().constData());
        }
        // The paths exactly as the bytes of the URIs say, percent-decoded.
        for (const QByteArray& line : mime->data("text/uri-list").split('\n')) {
            QByteArray uri = line.trimmed();
            if (uri.startsWith("file://")) {
                std::printf("file %s\n", QByteArray::fromPercentEncoding(uri.mid(7)).constData());
            }
        }
        QByteArray voices = mime->data("application/x-tc-voice-lib-data");
        if (!voices.isEmpty()) {
            std::printf("voices %s\n", voices.simplified().constData());
        }
        event->acceptProposedAction();
        std::printf("dropped\n");
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    Target target;
    target.setWindowTitle("drop target");
    target.setAcceptDrops(true);
    target.setGeometry(600, 400, 300, 200);
    target.show();
    std::printf("target shown\n");
    std::fflush(stdout);
    return application.exec();
}

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
    // "over" once per drag, when the target has answered the source: a release after it drops.
    void dragMoveEvent(QDragMoveEvent* event) override {
        event->acceptProposedAction();
        if (!m_over) {
            m_over = true;
            std::printf("over\n");
            std::fflush(stdout);
        }
    }
    void dragLeaveEvent(QDragLeaveEvent*) override { m_over = false; }
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
        m_over = false;
        std::printf("dropped\n");
        std::fflush(stdout);
    }

private:
    bool m_over = false;
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

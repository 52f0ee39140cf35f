// The least a Qt program does to show a painted window of the main window's size: the limit
// scripts/measure_start.sh holds the program's start against.
//
// With --text the window also shows a line of Japanese text and a search box, in the first
// Japanese family installed, with the font configuration read beside Qt's start as the main
// window reads it: the least any Qt window pays for its first text, which the bare window
// never does.
#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

void AddText(QWidget& window) {
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    QFont font = QApplication::font();
    if (!families.isEmpty()) {
        font.setFamily(families.contains(QStringLiteral("Noto Sans CJK JP"))
                           ? QStringLiteral("Noto Sans CJK JP")
                           : families.first());
    }
    QApplication::setFont(font);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("ライブラリ: nested-10000")));
    auto* search = new QLineEdit();
    search->setPlaceholderText(QStringLiteral("検索"));
    layout->addWidget(search);
    layout->addStretch();
}

}  // namespace

int main(int argc, char** argv) {
    const bool text = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    std::thread fontsReady;
    if (text) {
        fontsReady = std::thread([] { FcInit(); });
    }
    QApplication application(argc, argv);
    if (fontsReady.joinable()) {
        fontsReady.join();
    }
    QWidget window;
    window.setWindowTitle("minimal");
    window.resize(1280, 1024);
    if (text) {
        AddText(window);
    }
    window.show();
    window.repaint();  // as the main window paints before it says it is shown
    std::printf("Main window shown\n");
    std::fflush(stdout);
    return application.exec();
}

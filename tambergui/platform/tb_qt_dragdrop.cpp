#include "platform/tb_qt_dragdrop.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPixmap>

#include <cstring>
#include <string>
#include <vector>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_loops.h"
#include "platform/tb_qt_platform.h"
#include "tb_bitmap32.h"
#include "tb_dropdata.h"
#include "tb_framework.h"
#include "tb_nativewidget.h"

// RFC 8089 file URIs of operating-system paths, byte for byte: every byte that is not
// unreserved (or a slash) is percent-encoded, so spaces, '#', '%', '?' and names that are
// not UTF-8 arrive as the same files.
QByteArray TB_QtFileUri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            uri.append(static_cast<char>(c));
        } else {
            uri.append('%');
            uri.append(kHex[c >> 4]);
            uri.append(kHex[c & 15]);
        }
    }
    return uri;
}

namespace {

QString ToQString(const TB_String& text) {
    return QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
}

}  // namespace

namespace {

// The paths of the file URIs of a text/uri-list; other schemes and comments are skipped.
std::vector<std::string> FilePaths(const QByteArray& list) {
    std::vector<std::string> paths;
    for (QByteArray line : list.split('\n')) {
        line = line.trimmed();
        if (!line.startsWith("file://")) {
            continue;
        }
        QByteArray rest = line.mid(7);
        int slash = rest.indexOf('/');
        if (slash < 0) {
            continue;
        }
        QByteArray host = rest.left(slash);
        if (!host.isEmpty() && host != "localhost") {
            continue;  // a file on another machine
        }
        QByteArray decoded = QByteArray::fromPercentEncoding(rest.mid(slash));
        paths.emplace_back(decoded.constData(), static_cast<size_t>(decoded.size()));
    }
    return paths;
}

QString ToQString16(const std::vector<tb_byte>& utf16) {
    QString text;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        auto unit = static_cast<char16_t>(utf16[i] | (utf16[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        text.append(QChar(unit));
    }
    return text;
}

}  // namespace

QMimeData* TB_QtMimeData(TB_DataObject* data) {
    auto* mime = new QMimeData();
    for (const TB_DataObject::Entry& entry : data->Entries()) {
        if (entry.Format == TB_CF_HDROP) {
            QByteArray list;
            QStringList text;
            for (const std::string& path : TB_DropData::FilesOf(entry.Data)) {
                list += TB_QtFileUri(path) + "\r\n";
                // Readable text for text fields; the exact bytes travel in the URI list.
                TB_String shown = TB_DisplayText(
                    TB_TextFromNative(path.data(), static_cast<tb_int64>(path.size())));
                text << ToQString(shown);
            }
            mime->setData(QStringLiteral("text/uri-list"), list);
            if (!data->QueryGetData(TB_CF_UNICODETEXT)) {
                mime->setText(text.join(QLatin1Char('\n')));
            }
        } else if (entry.Format == TB_CF_UNICODETEXT) {
            mime->setText(ToQString16(entry.Data));
        } else {
            std::string type = TB_ClipboardFormatMimeType(entry.Format);
            if (!type.empty()) {
                mime->setData(QString::fromStdString(type),
                              QByteArray(reinterpret_cast<const char*>(entry.Data.data()),
                                         static_cast<qsizetype>(entry.Data.size())));
            }
        }
    }
    return mime;
}

namespace {

// What a drop offers, as the toolkit's data: file lists as file-drop blocks, text as UTF-16,
// the application's formats as their bytes.
TB_Ref<TB_DataObject> FromMimeData(const QMimeData* mime) {
    auto data = TB_Ref<TB_DataObject>::Adopt(new TB_DataObject());
    if (!mime) {
        return data;
    }
    if (mime->hasFormat(QStringLiteral("text/uri-list"))) {
        TB_List<TB_Uri*> uris;
        for (const std::string& path : FilePaths(mime->data(QStringLiteral("text/uri-list")))) {
            uris.Add(new TB_Uri(TB_String(path.c_str(), static_cast<tb_int64>(path.size()))));
        }
        if (uris.Count() > 0) {
            auto files = TB_Ref<TB_DropData>::Adopt(new TB_DropData());
            files->SetFiles(uris);
            data->SetData(TB_CF_HDROP, files->Data);
        }
        TB_ReleaseAll(uris);
    }
    for (const QString& type : mime->formats()) {
        tb_uint format = TB_ClipboardFormatOfMimeType(type.toStdString());
        if (format != 0 && format != TB_CF_HDROP && format != TB_CF_UNICODETEXT) {
            QByteArray bytes = mime->data(type);
            data->SetData(format, std::vector<tb_byte>(bytes.begin(), bytes.end()));
        }
    }
    if (mime->hasFormat(QStringLiteral("text/plain"))) {
        QString text = mime->text();
        std::vector<tb_byte> utf16;
        for (QChar c : text) {
            utf16.push_back(static_cast<tb_byte>(c.unicode() & 0xFF));
            utf16.push_back(static_cast<tb_byte>(c.unicode() >> 8));
        }
        utf16.push_back(0);
        utf16.push_back(0);
        data->SetData(TB_CF_UNICODETEXT, std::move(utf16));
    }
    return data;
}

enum DropKind { kDragEnter, kDragOver, kDrop };

}  // namespace

tb_uint TB_NativeWindow::SendDrop(int kind, QDropEvent* event) {
    TB_NativeWidget* widget = m_widget;
    if (!widget || widget->RefCount() < 1) {
        return 0;
    }
    TB_Ref<TB_NativeWidget> keep(widget);
    TB_Ref<TB_DataObject> data = FromMimeData(event->mimeData());
    TB_DropEventArg arg;
    arg.Data = data.Get();
    tb_uint format = 0;
    data->Reset();
    while (data->Next(format)) {
        arg.Formats.Add(format);
    }
    arg.Effect = static_cast<tb_uint>(event->possibleActions()) & 7u;
    arg.KeyState = KeyState(event->buttons(), event->modifiers());
    if (kind != kDragEnter) {
        QPoint p = event->position().toPoint();
        arg.X = static_cast<float>(p.x());
        arg.Y = static_cast<float>(p.y());
    }
    arg.Accepted = kind == kDragOver;
    ++TB_QtDispatchDepth();
    if (kind == kDragEnter) {
        widget->OnDragEnter(arg);
    } else if (kind == kDragOver) {
        widget->OnDragOver(arg);
    } else {
        widget->OnDrop(arg);
    }
    --TB_QtDispatchDepth();
    tb_uint effect = arg.Effect & static_cast<tb_uint>(event->possibleActions());
    if (kind == kDrop && !arg.Accepted) {
        effect = 0;
    }
    return effect;
}

namespace {

void Answer(QDropEvent* event, tb_uint effect) {
    Qt::DropAction action = (effect & 1)   ? Qt::CopyAction
                            : (effect & 2) ? Qt::MoveAction
                            : (effect & 4) ? Qt::LinkAction
                                           : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

}  // namespace

void TB_NativeWindow::dragEnterEvent(QDragEnterEvent* event) {
    Answer(event, SendDrop(kDragEnter, event));
}

void TB_NativeWindow::dragMoveEvent(QDragMoveEvent* event) {
    Answer(event, SendDrop(kDragOver, event));
}

void TB_NativeWindow::dragLeaveEvent(QDragLeaveEvent*) {
    if (m_widget && m_widget->RefCount() > 0) {
        TB_Ref<TB_NativeWidget> keep(m_widget);
        m_widget->OnDragLeave();
    }
}

void TB_NativeWindow::dropEvent(QDropEvent* event) {
    Answer(event, SendDrop(kDrop, event));
}

tb_uint TB_QtPlatform::StartDrag(TB_WindowHandle window, TB_DataObject* data, TB_Bitmap32* image,
                                 tb_int offsetX, tb_int offsetY, tb_uint allowedEffects) {
    if (!window || !data || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return 0;
    }
    // Qt deletes the drag itself; on X11 only once the target has fetched the data, which
    // can be after exec() returns.
    auto* drag = new QDrag(window);
    drag->setMimeData(TB_QtMimeData(data));
    if (image && image->Width > 0 && image->Height > 0) {
        QImage picture(image->Width, image->Height, QImage::Format_ARGB32);
        for (int y = 0; y < image->Height; ++y) {
            std::memcpy(picture.scanLine(y), image->PixelAt(0, y),
                        static_cast<size_t>(image->Width) * 4);
        }
        drag->setPixmap(QPixmap::fromImage(picture));
        drag->setHotSpot(QPoint(offsetX, offsetY));
    }
    Qt::DropActions allowed;
    if (allowedEffects & 1) {
        allowed |= Qt::CopyAction;
    }
    if (allowedEffects & 2) {
        allowed |= Qt::MoveAction;
    }
    if (allowedEffects & 4) {
        allowed |= Qt::LinkAction;
    }
    // Modal until the button is released (a drop) or Escape is pressed (a cancel).
    ++TB_QtDispatchDepth();
    Qt::DropAction result = drag->exec(allowed ? allowed : Qt::CopyAction);
    --TB_QtDispatchDepth();
    return static_cast<tb_uint>(result) & 7u;
}

void TB_QtPlatform::SetAcceptDrops(TB_WindowHandle window, bool accept) {
    if (window) {
        window->setAcceptDrops(accept);
    }
}

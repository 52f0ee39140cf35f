#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QWidget>

#include <memory>

#include "platform/tb_qt_platform.h"
#include "tb_dropdata.h"
#include "tb_frame.h"
#include "tb_gui.h"
#include "test_util.h"

namespace {

void Uris(TB_List<TB_Uri*>& uris, std::initializer_list<const char*> paths) {
    for (const char* path : paths) {
        uris.Add(new TB_Uri(TB_String(path)));
    }
}

TEST(DropData, FileListsAndTheirBlock) {
    TB_List<TB_Uri*> uris;
    Uris(uris, {"/tmp/a.w", "/tmp/b.w"});
    auto data = TB_Ref<TB_DropData>::Adopt(new TB_DropData());
    EXPECT_TRUE(data->SetFiles(uris));
    EXPECT_EQ(data->Format, TB_CF_HDROP);
    EXPECT_EQ(data->Data.size(), 58u);  // 20 + 2 x (8 + 1) x 2 + 2
    EXPECT_EQ(data->Data[0], 20);
    EXPECT_EQ(data->Data[16], 1);  // wide characters
    EXPECT_EQ(TB_DropData::FilesOf(data->Data), (std::vector<std::string>{"/tmp/a.w", "/tmp/b.w"}));
    TB_ReleaseAll(uris);

    TB_List<TB_Uri*> japanese;
    Uris(japanese, {"/home/u/声 ライブラリ/#1 100%?.wav"});
    data->SetFiles(japanese);
    EXPECT_EQ(TB_DropData::FilesOf(data->Data),
              (std::vector<std::string>{"/home/u/声 ライブラリ/#1 100%?.wav"}));
    TB_ReleaseAll(japanese);
    EXPECT_TRUE(TB_DropData::FilesOf(std::vector<tb_byte>(10, 0)).empty());  // too short
}

TEST(DataObject, OneEntryPerFormatAndAnEnumeratorThatStartsOver) {
    auto object = TB_Ref<TB_DataObject>::Adopt(new TB_DataObject());
    object->SetData(TB_CF_HDROP, {1, 2});
    object->SetData(0xC000, {3});
    object->SetData(TB_CF_HDROP, {4});  // replaces
    EXPECT_EQ(object->Count(), 2);
    EXPECT_EQ(*object->GetData(TB_CF_HDROP), std::vector<tb_byte>{4});
    EXPECT_FALSE(object->QueryGetData(TB_CF_UNICODETEXT));
    tb_uint format = 0;
    ASSERT_TRUE(object->Next(format));
    EXPECT_EQ(format, TB_CF_HDROP);
    object->Reset();
    ASSERT_TRUE(object->Next(format));
    EXPECT_EQ(format, TB_CF_HDROP);
    ASSERT_TRUE(object->Next(format));
    EXPECT_EQ(format, 0xC000u);
    EXPECT_FALSE(object->Next(format));
}

// A file name that is not UTF-8 (Shift_JIS from an archive made on Windows) is offered as
// readable text to text fields, and byte for byte in the URI list.
TEST(DataObject, FilesOfNamesThatAreNotUtf8AreOfferedReadably) {
    if (!TB_GraphicsStarted()) {
        TB_GraphicsStartup();
    }
    const std::string path = "/srv/\x83\x65\x83\x58\x83\x67/\x95\x5C.wav";  // テスト/表
    TB_List<TB_Uri*> uris;
    uris.Add(new TB_Uri(TB_TextFromNative(path.c_str())));
    auto files = TB_Ref<TB_DropData>::Adopt(new TB_DropData());
    files->SetFiles(uris);
    TB_ReleaseAll(uris);
    auto object = TB_Ref<TB_DataObject>::Adopt(new TB_DataObject());
    object->SetData(TB_CF_HDROP, files->Data);
    std::unique_ptr<QMimeData> mime(TB_QtMimeData(object.Get()));
    EXPECT_EQ(mime->text().toStdString(), "/srv/テスト/表.wav");
    EXPECT_EQ(mime->data(QStringLiteral("text/uri-list")).toStdString(),
              "file:///srv/%83e%83X%83g/%95%5C.wav\r\n");
}

TEST(DataObject, RegisteredFormatsTravelUnderTheirMimeType) {
    tb_uint voices = TB_RegisterClipboardFormat("TC Voice Lib Data");
    EXPECT_GE(voices, 0xC000u);
    EXPECT_EQ(TB_RegisterClipboardFormat("TC Voice Lib Data"), voices);
    EXPECT_NE(TB_RegisterClipboardFormat("Other"), voices);
    EXPECT_EQ(TB_ClipboardFormatMimeType(voices), "application/x-tc-voice-lib-data");
    EXPECT_EQ(TB_ClipboardFormatOfMimeType("application/x-tc-voice-lib-data"), voices);
    EXPECT_EQ(TB_ClipboardFormatOfMimeType("text/uri-list"), TB_CF_HDROP);
    EXPECT_EQ(TB_ClipboardFormatOfMimeType("image/png"), 0u);
}

class DropTarget : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
};

// Qt's drag notifications become the widget's drop events, with the formats offered, the
// point in client coordinates, and the answer the handlers give.
TEST_F(DropTarget, DragNotificationsBecomeTheWidgetsEvents) {
    auto* frame = new TB_Frame();
    frame->SetBounds(0, 0, 300, 200);
    frame->SetAllowDrop(true);
    frame->Create();
    tb_uint voices = TB_RegisterClipboardFormat("TC Voice Lib Data");
    std::vector<std::string> seen;
    std::vector<std::string> files;
    bool accept = false;
    frame->DragEnter.Add([&](TB_DropEventArg& arg) {
        seen.push_back("enter " + std::to_string(arg.Formats.Count()) + " " +
                       std::to_string(arg.Effect));
        EXPECT_FALSE(arg.Accepted);
    });
    frame->DragOver.Add([&](TB_DropEventArg& arg) {
        seen.push_back("over " + std::to_string(static_cast<int>(arg.X)) + "," +
                       std::to_string(static_cast<int>(arg.Y)));
        EXPECT_TRUE(arg.Accepted);
    });
    frame->DragLeave.Add([&](TB_EventArg&) { seen.push_back("leave"); });
    frame->Drop.Add([&](TB_DropEventArg& arg) {
        seen.push_back("drop");
        EXPECT_TRUE(arg.Data->QueryGetData(voices));
        files = TB_DropData::FilesOf(*arg.Data->GetData(TB_CF_HDROP));
        arg.Accepted = accept;
        arg.Effect = 1;
    });
    QMimeData mime;
    mime.setData("text/uri-list", "file:///tmp/%E5%A3%B0%20a%23%25.wav\r\nhttp://x/y\r\n");
    mime.setData("application/x-tc-voice-lib-data", "{\"voices\":[]}");
    auto* window = reinterpret_cast<QWidget*>(frame->Window);
    // One drag, enter to drop: a handler that does not accept the drop refuses it.
    auto drag = [&](bool acceptIt) {
        accept = acceptIt;
        QDragEnterEvent enter(QPoint(5, 6), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDragMoveEvent move(QPoint(40, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &move);
        QDropEvent drop(QPointF(40, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        return drop.isAccepted();
    };
    EXPECT_FALSE(drag(false));
    EXPECT_TRUE(drag(true));
    QDragEnterEvent enter(QPoint(5, 6), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QDragLeaveEvent leave;
    QApplication::sendEvent(window, &leave);
    EXPECT_EQ(seen, (std::vector<std::string>{"enter 2 3", "over 40,50", "drop", "enter 2 3",
                                              "over 40,50", "drop", "enter 2 1", "leave"}));
    EXPECT_EQ(files, std::vector<std::string>{"/tmp/声 a#%.wav"});  // only the file URI
    frame->Release();
}

// The clipboard holds the text exactly, also an empty one; the X11 selection is not touched.
TEST_F(DropTarget, CopiedTextReadsBackExactly) {
    auto* frame = new TB_Frame();
    frame->Text = u"声ライブラリ「ひかり」— 01";
    TB_CopyTextToClipboard(frame);
    EXPECT_EQ(TB_GetPlatform().GetClipboardText().ToStdString(), "声ライブラリ「ひかり」— 01");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "声ライブラリ「ひかり」— 01");
    frame->Text = u"";  // nothing to copy: what the clipboard holds stays
    TB_CopyTextToClipboard(frame);
    EXPECT_EQ(TB_GetPlatform().GetClipboardText().ToStdString(), "声ライブラリ「ひかり」— 01");
    frame->Release();
}

}  // namespace

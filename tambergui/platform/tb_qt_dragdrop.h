#pragma once

#include <QByteArray>

#include <string>

class QMimeData;
class TB_DataObject;

// Drag and drop on the Qt platform: what a drag offers other programs, and what a drop
// brings in (TB_NativeWindow's drag events, in tb_qt_dragdrop.cpp).

// An RFC 8089 file URI of an operating-system path, byte for byte.
QByteArray TB_QtFileUri(const std::string& path);

// What a drag of the data offers other programs (the caller owns it): file lists as
// text/uri-list with their exact bytes and as readable text/plain, the application's formats
// under their MIME types.
QMimeData* TB_QtMimeData(TB_DataObject* data);

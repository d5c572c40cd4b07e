#include "options/byte_limit.h"

#include "engine/cp932.h"

#include <QFile>
#include <QLineEdit>

#include <algorithm>

namespace srctdy {

namespace {

int Cp932Length(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    if (auto bytes = cp932::FromUtf8(std::string_view(utf8.constData(), utf8.size())))
        return static_cast<int>(bytes->size());
    int length = 0;
    for (char32_t c : text.toUcs4()) {
        const QByteArray one = QString::fromUcs4(&c, 1).toUtf8();
        auto bytes = cp932::FromUtf8(std::string_view(one.constData(), one.size()));
        length += bytes ? static_cast<int>(bytes->size()) : 2;
    }
    return length;
}

// The number of UTF-16 units of the character that ends just before position at.
int CharBefore(const QString& text, int at) {
    if (at >= 2 && text[at - 1].isLowSurrogate() && text[at - 2].isHighSurrogate())
        return 2;
    return 1;
}

} // namespace

int ByteLength(const QString& text, ByteCount count) {
    if (count == ByteCount::FileSystem)
        return static_cast<int>(QFile::encodeName(text).size());
    return Cp932Length(text);
}

int FitToBytes(QString& text, int cursor, int maxBytes, ByteCount count) {
    cursor = std::clamp(cursor, 0, static_cast<int>(text.size()));
    while (cursor > 0 && ByteLength(text, count) > maxBytes) {
        int width = CharBefore(text, cursor);
        cursor -= width;
        text.remove(cursor, width);
    }
    // Only a text that was too long before the edit gets here still too long: cut its end.
    while (!text.isEmpty() && ByteLength(text, count) > maxBytes)
        text.chop(CharBefore(text, static_cast<int>(text.size())));
    return std::min(cursor, static_cast<int>(text.size()));
}

void LimitBytes(QLineEdit& edit, int maxBytes, ByteCount count) {
    // textEdited comes from typing, pasting and the like only, never from setText().
    QObject::connect(&edit, &QLineEdit::textEdited, &edit, [&edit, maxBytes, count] {
        QString text = edit.text();
        if (ByteLength(text, count) <= maxBytes)
            return;
        int cursor = FitToBytes(text, edit.cursorPosition(), maxBytes, count);
        edit.setText(text);
        edit.setCursorPosition(cursor);
    });
}

} // namespace srctdy

#include "about/FittedText.h"

#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

namespace vantoria {

namespace {

constexpr int kCaptionGap = 4;
constexpr int kNarrowestStretch = 75;  // percent: still reads as the same face
constexpr int kSmallestPixels = 8;

bool Fits(const QFont& font, const QString& text, int room) {
    return QFontMetrics(font).horizontalAdvance(text) <= room;
}

}  // namespace

int RoomBeside(const QLabel& caption, const QLabel& label) {
    const int captionEnd = caption.x() + QFontMetrics(caption.font()).horizontalAdvance(caption.text());
    const int labelEnd = label.x() + label.width();
    return std::min(label.width(), labelEnd - captionEnd - kCaptionGap);
}

void SetFittedText(QLabel& label, const QStringList& texts, int room) {
    if (texts.isEmpty()) return;
    label.setFont(QFont());  // back to the form's font: a longer text may have narrowed it before
    QFont font = label.font();
    for (const QString& text : texts) {
        if (Fits(font, text, room)) {
            label.setText(text);
            return;
        }
    }
    const QString& text = texts.back();
    for (int stretch = 95; stretch >= kNarrowestStretch; stretch -= 5) {
        font.setStretch(stretch);
        if (Fits(font, text, room)) break;
    }
    if (font.pixelSize() > 0) {
        while (!Fits(font, text, room) && font.pixelSize() > kSmallestPixels) font.setPixelSize(font.pixelSize() - 1);
    }
    label.setFont(font);
    label.setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, room));
}

}  // namespace vantoria

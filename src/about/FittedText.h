#pragma once
// Texts in fixed-size labels that must show whole: the About box's system
// lines keep their places however long the machine's names and counts are.

#include <QStringList>

class QLabel;

namespace vantoria {

// The pixels a right-aligned `label` has for its text when `caption` stands
// on its left: up to the caption's text, with a small gap, and never beyond
// the label's own left edge.
int RoomBeside(const QLabel& caption, const QLabel& label);

// Shows the first of `texts` that fits `room` pixels in the label's own
// font. When none does, the last one in narrower letters, then in a smaller
// size, and elided only past the smallest readable one.
void SetFittedText(QLabel& label, const QStringList& texts, int room);

}  // namespace vantoria

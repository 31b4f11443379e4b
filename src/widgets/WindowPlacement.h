#pragma once
// Where the dialogs appear on the screen.

class QWidget;

namespace vantoria {

// Puts `window` in the middle of the primary screen's free area. The dialogs
// call it as they are shown: Qt would centre them over the main form.
void CentreOnScreen(QWidget& window);

}  // namespace vantoria

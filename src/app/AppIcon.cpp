#include "app/AppIcon.h"

#include <QString>

namespace vantoria {

QIcon AppIcon() {
    // Pictures drawn for each size, not one scaled: Qt hands a tray host and
    // the window manager every size an icon lists. The scalable picture
    // reaches them as the theme's icon, where the program is installed.
    QIcon shipped;
    for (const int size : {16, 22, 24, 32, 48, 64})
        shipped.addFile(QStringLiteral(":/icons/vantoria-%1.png").arg(size), QSize(size, size));
    const QString name = QString::fromLatin1(kIconName);
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name, shipped) : shipped;
}

}  // namespace vantoria

#include "app/FormFonts.h"

#include <QFont>
#include <QStringList>

namespace vantoria {

void RegisterFormFonts() {
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                                QStringLiteral("Noto Sans CJK JP Regular")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐ明朝"),
                               {QStringLiteral("IPAPMincho"), QStringLiteral("Noto Serif CJK JP"),
                                QStringLiteral("Noto Serif CJK JP Regular")});
}

}  // namespace vantoria

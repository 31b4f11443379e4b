#pragma once
// The forms ask for the Windows Japanese fonts by name; this maps those
// names to what a Linux desktop has.

namespace vantoria {

// "ＭＳ Ｐゴシック" (every form, 12 px) to a proportional gothic, IPAPGothic
// then Noto Sans CJK JP; "ＭＳ Ｐ明朝" (the logo's middle letter) to a
// proportional mincho, IPAPMincho then Noto Serif CJK JP.
void RegisterFormFonts();

}  // namespace vantoria

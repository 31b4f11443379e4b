#pragma once
// The settings dialog's fourth tab, "拡張", after the three the program
// always had: shuffle for the automatic change, and what several monitors
// show. Like the other tabs it is filled when the dialog opens and copied
// back only by OK.

#include <QButtonGroup>
#include <QWidget>

#include <memory>

namespace Ui {
class ExtensionTab;
}

namespace vantoria {

struct TApSystem;

inline constexpr const char* kExtensionTabTitle = QT_TRANSLATE_NOOP("vantoria::ExtensionTab", "拡張");

class ExtensionTab : public QWidget {
    Q_OBJECT
public:
    explicit ExtensionTab(QWidget* parent = nullptr);
    ~ExtensionTab() override;

    void Fill(const TApSystem& settings);
    // True when what the monitors show has changed (the wallpaper is drawn again).
    bool CopyBack(TApSystem& settings) const;

private:
    std::unique_ptr<Ui::ExtensionTab> ui_;
    QButtonGroup grp_MonitorMode;
};

}  // namespace vantoria

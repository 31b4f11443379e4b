#pragma once
// The settings dialog. Each showing fills it from the settings record; OK
// copies it back (memory only: the registry is written at exit) and, when
// the layout changed and the chooser is not open, rebuilds the wallpaper.
// The erase box, the auto-change box and a folder picked for the wallpapers
// act at once, and Cancel does not undo them.

#include "settings/LayoutChanged.h"

#include <QButtonGroup>
#include <QDialog>
#include <functional>
#include <map>
#include <memory>

class QFileDialog;
class QLineEdit;

namespace Ui {
class form_Setup;
}

namespace vantoria {

class SetupHost;
class ExtensionTab;

inline constexpr const char* kPluginFolderCaption = QT_TRANSLATE_NOOP("vantoria::Tform_Setup", "Susie PlugIn フォルダの指定");
inline constexpr const char* kWallFolderCaption = QT_TRANSLATE_NOOP("vantoria::Tform_Setup", "壁紙 フォルダの指定");

class Tform_Setup : public QDialog {
    Q_OBJECT
public:
    // Works with `host`, which must outlive the dialog.
    explicit Tform_Setup(SetupHost& host, QWidget* parent = nullptr);
    ~Tform_Setup() override;

    // The automatic change writes the seconds left into lbl_ChgTimeLimit.
    void SetChgTimeLimit(const QString& caption);
    // The automatic change was turned on or off from outside the dialog (a
    // script over the session bus): an open dialog's box shows it, and OK
    // keeps it. The later of that and the user's own click on the box wins.
    void FollowAutoChange(bool on);

    // The system's folder browser: the chosen folder, or "" when cancelled.
    using FolderBrowser = std::function<QString(QWidget* parent, const QString& caption)>;
    // Runs a prepared file picker: the chosen file's full path, or "".
    using FilePicker = std::function<QString(QFileDialog& dialog)>;
    FolderBrowser SelectDirectory;
    FilePicker RunFilePicker;

    void FormShow();
    void bbtn_OkClick();
    void bbtn_CancelClick();
    void spbtn_PulgInFolderClick();
    void spbtn_WallFolderClick();
    void spbtn_ApFileClick();
    void SpeedButton1Click();
    void chkbox_RegEraseClick();
    void chkbox_AutoWallChgClick();
    void rdgrp_WallClick();
    void rdgrp_StretchClick();
    void rdgrp_PositionClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Runs `dialog` with the start folder as its first folder.
    QString PickFile(QFileDialog& dialog);
    void EnableLayoutGroups(int position);
    // An edit filled from a text setting, and the setting set from it at OK
    // only when the user changed the text.
    void Fill(QLineEdit& edit, const std::string& setting);
    void CopyBack(const QLineEdit& edit, std::string& setting) const;

    SetupHost& host_;
    std::unique_ptr<Ui::form_Setup> ui_;
    ExtensionTab* extensionTab_ = nullptr;  // a page of PageControl1, which owns it
    QButtonGroup grp_Wall, grp_Stretch, grp_Position;
    std::unique_ptr<QFileDialog> opdlg_Ap, opdlg_WallBuffer;
    std::map<const QLineEdit*, QString> filled_;  // each edit's text as the last showing filled it
};

// What the buffer picker stores as WallBuffer: the bare name when the file
// lies in the start folder, else the full path (used as that path).
QString WallBufferSetting(const QString& chosenFile, const QString& startDir);

}  // namespace vantoria

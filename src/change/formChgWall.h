#pragma once
// The wallpaper chooser dialog: a drive, a folder and a file are picked, the
// file is previewed, tried on the desktop (Preview), the wallpaper removed
// (Erase), and the choice confirmed (OK) or abandoned (Cancel). The
// automatic change runs its FormShow on every change tick, open or hidden;
// a choice the user made survives that and the next opening.

#include <QDialog>
#include <QStyle>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QFileSystemModel;

namespace Ui {
class form_ChgWall;
}

namespace vantoria {

class ChooserHost;

// True when Preview or Erase has changed the desktop since the last
// previewed selection: Cancel then puts WallPaper back, OK changes nothing.
extern bool PreviewApplied;

// The filter list's two entries, "text|mask|text|mask". The texts are
// translated one by one (kChgWallFilterTexts); the masks never are.
inline constexpr const char* kChgWallFilter =
    "画像ファイル|*.bmp;*.gif;*.jpg;*.dib;*.ico;*.mng;*.jng;*.png;*.mag;*.pi;*.pict;*.pic;*.pic2;*.xpm|"
    "すべてのファイル (*.*)|*.*";
inline constexpr const char* kChgWallFilterTexts[] = {
    QT_TRANSLATE_NOOP("vantoria::Tform_ChgWall", "画像ファイル"),
    QT_TRANSLATE_NOOP("vantoria::Tform_ChgWall", "すべてのファイル (*.*)"),
};

class Tform_ChgWall : public QDialog {
    Q_OBJECT
public:
    // Works with `host`, which must outlive the dialog.
    explicit Tform_ChgWall(ChooserHost& host, QWidget* parent = nullptr);
    ~Tform_ChgWall() override;

    // Handlers; the timer calls FormShow on the hidden dialog.
    void FormShow();
    void FormHide();
    void drvcbbox_WallChange();
    void dirol_WallChange();
    void flbox_WallChange();
    void bbtn_OkClick();
    void bbtn_CancelClick();
    void bbtn_PreviewClick();
    void bbtn_EraseClick();
    void bbtn_SetupClick();

    // The folder tree's current folder and drive, the file list's folder,
    // names and selection (full path; "" when nothing is selected).
    const std::string& CurrentFolder() const { return folder_; }
    const std::string& CurrentDrive() const { return drive_; }
    const std::vector<std::string>& Files() const { return files_; }
    std::string SelectedFile() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A normal button, its flat twin, their glyph and shared handler.
    struct ButtonTwins {
        QAbstractButton* normal;
        QAbstractButton* flat;
        QStyle::StandardPixmap glyph;
        void (Tform_ChgWall::*handler)();
    };
    std::vector<ButtonTwins> Twins() const;

    void FormCreate();
    void SetUpWidgets();
    void ConnectHandlers();
    // The folder tree's current folder (the tree follows; no change event).
    void SetCurrentFolder(const std::string& folder);
    // The file list's folder and mask; the list is read again each time and
    // shown again only when it differs.
    void SetListFolder(const std::string& folder);
    void SetListMask(const std::string& mask);
    void ReadFileList(bool sameFolder);
    int SelectedIndex() const;
    void SetOkEnabled(bool enabled);
    void SetPreviewEnabled(bool enabled);
    void ShowPreview();
    // With a picture of its own on each monitor, the identity of the monitor
    // the dialog is on when that is not the primary one (whose picture is
    // WallPaper); "" otherwise.
    std::string OwnMonitor() const;

    ChooserHost& host_;
    std::unique_ptr<Ui::form_ChgWall> ui_;
    QFileSystemModel* folderModel_ = nullptr;  // owned by the dialog (Qt parent)
    std::vector<std::string> drives_;
    std::string folder_, drive_;
    std::string listFolder_, listMask_;
    std::vector<std::string> files_;
    bool listed_ = false;          // the list has been read once
    bool centred_ = true;          // placement chosen once at creation
    bool settingFolder_ = false;   // the tree is being moved by code
    bool desktopChanged_ = false;  // Preview or Erase changed the desktop in this showing
    // Where the last Preview put its picture (OwnMonitor's answer then);
    // nullopt after Erase.
    std::optional<std::string> previewedOn_;
};

}  // namespace vantoria

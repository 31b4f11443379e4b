#include "change/formChgWall.h"

#include "change/ChooserHost.h"
#include "change/ChooserMonitor.h"
#include "change/Drives.h"
#include "change/FolderTreeView.h"
#include "change/PreviewFit.h"
#include "change/WallFileList.h"
#include "compose/MonitorAssignment.h"
#include "imaging/DecodePicture.h"
#include "imaging/Spi_load.h"
#include "platform/report/Reporter.h"
#include "platform/screen/Screen.h"
#include "settings/ApSystem.h"
#include "settings/ExtensionSettings.h"
#include "settings/LayoutChanged.h"
#include "ui_formChgWall.h"
#include "widgets/BitmapImage.h"
#include "widgets/WindowPlacement.h"

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>

namespace vantoria {

bool PreviewApplied = false;

namespace {

// Rows of the folder tree and the file list are 16 pixels high.
class RowHeightDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(16);
        return size;
    }
};

// File names are bytes; Qt shows them through the locale's file encoding.
QString FromBytes(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }
std::string ToBytes(const QString& s) { return QFile::encodeName(s).toStdString(); }

struct FilterEntry {
    QString text;
    std::string mask;
};

const std::vector<FilterEntry>& FilterEntries() {
    static const std::vector<FilterEntry> entries = [] {
        const QStringList parts = QString::fromUtf8(kChgWallFilter).split(u'|');
        std::vector<FilterEntry> list;
        for (qsizetype i = 0; i + 1 < parts.size(); i += 2) list.push_back({parts[i], parts[i + 1].toStdString()});
        return list;
    }();
    return entries;
}

// The preview drawn at its shown size, so painting never scales a large
// picture again.
QPixmap PreviewPixmap(const raster::Bitmap& picture, const PreviewPlacement& place) {
    if (picture.Empty() || place.width <= 0 || place.height <= 0) return {};
    return QPixmap::fromImage(ToQImage(PreviewPicture(picture, place.width, place.height)));
}

// MonitorWallPapers with `file` on the monitor `identity`.
std::string WithMonitorFile(const std::string& identity, const std::string& file) {
    compose::MonitorFiles files = compose::ParseMonitorFiles(ApSystem.MonitorWallPapers);
    files[identity] = file;
    return compose::FormatMonitorFiles(files);
}

}  // namespace

Tform_ChgWall::Tform_ChgWall(ChooserHost& host, QWidget* parent)
    : QDialog(parent), host_(host), ui_(std::make_unique<Ui::form_ChgWall>()) {
    SetUpWidgets();
    FormCreate();
}

Tform_ChgWall::~Tform_ChgWall() = default;

void Tform_ChgWall::SetUpWidgets() {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    QFont listFont = font();
    listFont.setPixelSize(13);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(ui_->dirol_Wall),
                                    static_cast<QAbstractItemView*>(ui_->flbox_Wall)}) {
        view->setFont(listFont);
        view->setItemDelegate(new RowHeightDelegate(view));
    }

    folderModel_ = new QFileSystemModel(this);
    folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folderModel_->setReadOnly(true);
    ui_->dirol_Wall->setModel(folderModel_);
    for (int column = 1; column < folderModel_->columnCount(); ++column) ui_->dirol_Wall->hideColumn(column);
    MakeFolderTreeReadable(*ui_->dirol_Wall, *folderModel_);

    drives_ = ListDrives();
    for (const std::string& drive : drives_) ui_->drvcbbox_Wall->addItem(FromBytes(drive));
    for (const FilterEntry& entry : FilterEntries()) ui_->fcbbox_Wall->addItem(tr(entry.text.toUtf8().constData()));
    listMask_ = kDefaultFileMask;

    ui_->flbox_Wall->setSelectionMode(QAbstractItemView::SingleSelection);
    ui_->pan_ImgPreView->setBackgroundRole(QPalette::Dark);  // the button-shadow colour
    ui_->pan_BtnFlat->hide();

    for (const ButtonTwins& twins : Twins()) {
        const QIcon glyph = style()->standardIcon(twins.glyph);
        twins.normal->setIcon(glyph);
        twins.flat->setIcon(glyph);
    }
    ConnectHandlers();
}

void Tform_ChgWall::ConnectHandlers() {
    // The model reads folders in the background: once the folders above the
    // current one have their rows, bring it into view.
    connect(folderModel_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QModelIndex current = ui_->dirol_Wall->currentIndex();
        const QString path = folderModel_->filePath(current);
        if (current.isValid() && (loaded == u"/" || path.startsWith(loaded + u'/'))) ui_->dirol_Wall->scrollTo(current);
    });
    connect(ui_->drvcbbox_Wall, &QComboBox::activated, this, &Tform_ChgWall::drvcbbox_WallChange);
    connect(ui_->dirol_Wall->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (settingFolder_ || !current.isValid()) return;
                folder_ = ToBytes(folderModel_->filePath(current));
                drive_ = DriveOf(folder_, drives_);
                dirol_WallChange();
            });
    connect(ui_->fcbbox_Wall, &QComboBox::activated, this, [this](int index) {
        const std::vector<FilterEntry>& entries = FilterEntries();
        if (index >= 0 && static_cast<std::size_t>(index) < entries.size()) SetListMask(entries[index].mask);
    });
    connect(ui_->flbox_Wall, &QListWidget::itemSelectionChanged, this, &Tform_ChgWall::flbox_WallChange);
    connect(ui_->flbox_Wall, &QListWidget::itemDoubleClicked, this, &Tform_ChgWall::bbtn_OkClick);

    // The normal Setup button is the main form's Settings command; its flat
    // twin opens the dialog itself. The other twins share their handler.
    connect(ui_->bbtn_Setup, &QAbstractButton::clicked, this, [this] { host_.SetupCommand(); });
    connect(ui_->spbtn_Setup, &QAbstractButton::clicked, this, &Tform_ChgWall::bbtn_SetupClick);
    for (const ButtonTwins& twins : Twins()) {
        if (!twins.handler) continue;
        connect(twins.normal, &QAbstractButton::clicked, this, twins.handler);
        connect(twins.flat, &QAbstractButton::clicked, this, twins.handler);
    }
}

std::vector<Tform_ChgWall::ButtonTwins> Tform_ChgWall::Twins() const {
    return {{ui_->bbtn_Setup, ui_->spbtn_Setup, QStyle::SP_FileDialogDetailedView, nullptr},
            {ui_->bbtn_Erase, ui_->spbtn_Erase, QStyle::SP_TrashIcon, &Tform_ChgWall::bbtn_EraseClick},
            {ui_->bbtn_Preview, ui_->spbtn_Preview, QStyle::SP_DesktopIcon, &Tform_ChgWall::bbtn_PreviewClick},
            {ui_->bbtn_Ok, ui_->spbtn_Ok, QStyle::SP_DialogOkButton, &Tform_ChgWall::bbtn_OkClick},
            {ui_->bbtn_Cancel, ui_->spbtn_Cancel, QStyle::SP_DialogCancelButton, &Tform_ChgWall::bbtn_CancelClick}};
}

void Tform_ChgWall::FormCreate() {
    // Fixed once: a stored position is applied by FormShow from then on.
    centred_ = ApSystem.SaveWindowPos == 0;
}

void Tform_ChgWall::FormShow() {
    if (ApSystem.SaveWindowPos != 0) move(ApSystem.ChgWallWindow_Left, ApSystem.ChgWallWindow_Top);
    SetCurrentFolder(ApSystem.PathWall);
    dirol_WallChange();
    SetListMask(ApSystem.FileMask);
    ui_->pan_BtnFlat->setVisible(ApSystem.BtnFlat);
    ui_->pan_BtnNormal->setVisible(!ApSystem.BtnFlat);
    const bool selected = SelectedIndex() >= 0;
    ui_->img_PreView->setVisible(selected);
    SetOkEnabled(selected);
}

void Tform_ChgWall::FormHide() {
    ApSystem.ChgWallWindow_Left = x();
    ApSystem.ChgWallWindow_Top = y();
}

void Tform_ChgWall::drvcbbox_WallChange() {
    const int index = ui_->drvcbbox_Wall->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= drives_.size() || drives_[index] == drive_) return;
    SetCurrentFolder(drives_[index]);
    dirol_WallChange();
}

void Tform_ChgWall::dirol_WallChange() {
    SetListFolder(folder_);
    const auto drive = std::find(drives_.begin(), drives_.end(), drive_);
    if (drive != drives_.end()) ui_->drvcbbox_Wall->setCurrentIndex(static_cast<int>(drive - drives_.begin()));
}

void Tform_ChgWall::flbox_WallChange() {
    if (!host_.AppRunning()) return;
    if (SelectedIndex() < 0) {
        ui_->img_PreView->hide();
        SetOkEnabled(false);
        SetPreviewEnabled(false);
        return;
    }
    ui_->img_PreView->show();
    SetOkEnabled(true);
    SetPreviewEnabled(true);
    ShowPreview();
}

void Tform_ChgWall::ShowPreview() {
    TSpi_load& loader = host_.Loader();
    const std::string file = SelectedFile();
    loader.Save = false;
    // The preview is drawn at most kPreviewSide a side: a large JPEG may be
    // decoded at an eighth of its size for it.
    imaging::DecodedPicture decoded = imaging::DecodePicture(loader, file, {kPreviewSide, kPreviewSide});
    const std::string& failure = decoded.failure;
    QLabel* image = ui_->img_PreView;
    image->hide();
    if (!failure.empty()) {
        // No picture of another file stays in view; the buttons stay usable.
        image->clear();
        ReportError(failure, file);
        return;
    }
    const raster::Bitmap picture = decoded.picture ? std::move(*decoded.picture) : raster::Bitmap();
    const PreviewPlacement place = FitPreview(decoded.size.width, decoded.size.height);
    image->setScaledContents(place.stretch);
    image->setPixmap(PreviewPixmap(picture, place));
    image->setGeometry(place.left, place.top, place.width, place.height);
    image->show();
    PreviewApplied = false;
}

// On a monitor other than the primary one, the other monitors keep their
// pictures (the primary one WallPaper's, or this file when it has none yet).
void Tform_ChgWall::bbtn_PreviewClick() {
    const std::string file = SelectedFile();
    const std::string monitor = file.empty() ? std::string() : OwnMonitor();
    if (monitor.empty())
        host_.ChangeWallPaper(file);
    else
        host_.ChangeMonitorWallPapers(ApSystem.WallPaper.empty() ? file : ApSystem.WallPaper,
                                      WithMonitorFile(monitor, file));
    previewedOn_ = monitor;
    PreviewApplied = true;
    if (!file.empty()) desktopChanged_ = true;
}

void Tform_ChgWall::bbtn_EraseClick() {
    host_.EraseWallPaper();
    previewedOn_.reset();
    PreviewApplied = true;
    desktopChanged_ = true;
}

// OK and Cancel do their work while the dialog is still on the screen, as a
// modal dialog that closes when its handler returns would. After Erase the
// desktop stays bare; after Preview it is drawn again only when the dialog
// has since moved to another monitor.
void Tform_ChgWall::bbtn_OkClick() {
    const std::string file = SelectedFile();
    const std::string monitor = OwnMonitor();
    if (monitor.empty()) {
        ApSystem.WallPaper = file;
    } else {
        ApSystem.MonitorWallPapers = WithMonitorFile(monitor, file);
        if (ApSystem.WallPaper.empty()) ApSystem.WallPaper = file;
    }
    if (!PreviewApplied || (previewedOn_ && *previewedOn_ != monitor)) host_.ChangeWallPaper(ApSystem.WallPaper);
    accept();
}

std::string Tform_ChgWall::OwnMonitor() const {
    if (EffectiveMonitorMode(ApSystem) != kMonitorModeEach) return {};
    std::string why;
    std::optional<MonitorList> monitors;
    try {
        monitors = CurrentMonitors(why);
    } catch (const std::exception&) {
        return {};  // the change itself says what is wrong with the monitors
    }
    if (!monitors || monitors->size() < 2) return {};
    const Monitor* on = nullptr;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // A Wayland client does not know where its window is, only on which output.
        const QScreen* shown = screen();
        for (const Monitor& m : *monitors)
            if (shown && !m.name.empty() && QString::fromStdString(m.name) == shown->name()) on = &m;
    } else {
        const QRect frame = frameGeometry();
        const QPoint origin = screen() ? screen()->geometry().topLeft() : QPoint();
        on = MonitorHolding(*monitors, DeviceWindowArea({frame.x(), frame.y(), frame.width(), frame.height()},
                                                        origin.x(), origin.y(), devicePixelRatioF()));
    }
    if (!on || on == &PrimaryMonitor(*monitors)) return {};
    return on->Identity();
}

// A selection after Preview clears PreviewApplied, yet the previewed picture
// is still on the desktop: Cancel puts WallPaper back whenever this showing
// changed the desktop, so nothing unconfirmed stays there (and the next
// session's restore agrees with the settings).
void Tform_ChgWall::bbtn_CancelClick() {
    if (PreviewApplied || desktopChanged_) host_.ChangeWallPaper(ApSystem.WallPaper);
    desktopChanged_ = false;
    PreviewApplied = false;
    if (LayoutChanged) host_.Redraw();
    reject();
}

void Tform_ChgWall::bbtn_SetupClick() { host_.ShowSetupModal(); }

std::string Tform_ChgWall::SelectedFile() const {
    const int index = SelectedIndex();
    return index < 0 ? std::string() : listFolder_ + "/" + files_[static_cast<std::size_t>(index)];
}

int Tform_ChgWall::SelectedIndex() const {
    const QModelIndexList rows = ui_->flbox_Wall->selectionModel()->selectedIndexes();
    if (rows.isEmpty()) return -1;
    const int row = rows.first().row();
    return static_cast<std::size_t>(row) < files_.size() ? row : -1;
}

void Tform_ChgWall::SetCurrentFolder(const std::string& folder) {
    const std::string home = ToBytes(QDir::homePath());
    folder_ = NearestExistingFolder(folder, home);
    const QString absolute = QDir(FromBytes(folder_)).absolutePath();
    drive_ = DriveOf(ToBytes(absolute), drives_);

    settingFolder_ = true;
    const QString drive = FromBytes(drive_);
    folderModel_->setRootPath(drive);
    ui_->dirol_Wall->setRootIndex(folderModel_->index(drive));
    const QModelIndex current = folderModel_->index(absolute);
    ui_->dirol_Wall->setCurrentIndex(current);
    ui_->dirol_Wall->scrollTo(current);
    FollowCurrentFolder(*ui_->dirol_Wall);
    settingFolder_ = false;
}

void Tform_ChgWall::SetListFolder(const std::string& folder) {
    const bool sameFolder = listed_ && folder == listFolder_;
    listFolder_ = folder;
    ReadFileList(sameFolder);
}

void Tform_ChgWall::SetListMask(const std::string& mask) {
    const std::vector<FilterEntry>& entries = FilterEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].mask == mask) ui_->fcbbox_Wall->setCurrentIndex(static_cast<int>(i));
    }
    if (mask == listMask_) return;
    listMask_ = mask;
    ReadFileList(true);
}

// Every FormShow (each opening, each automatic change) comes here. The list
// widget is filled again only when what it would show differs: filling it
// drops the selection, and the user's choice, with its preview and an
// enabled OK, must survive the chooser being opened again or a change tick.
void Tform_ChgWall::ReadFileList(bool sameFolder) {
    std::vector<std::string> files = ListWallFiles(listFolder_, listMask_);
    if (sameFolder && files == files_) return;
    const int selected = SelectedIndex();
    const std::string chosen = sameFolder && selected >= 0 ? files_[static_cast<std::size_t>(selected)] : std::string();
    files_ = std::move(files);
    listed_ = true;
    QStringList names;
    names.reserve(static_cast<qsizetype>(files_.size()));
    for (const std::string& name : files_) names.append(FromBytes(name));
    // A chosen file that is still listed stays chosen, quietly: its preview
    // is already shown.
    const auto kept = chosen.empty() ? files_.end() : std::find(files_.begin(), files_.end(), chosen);
    QListWidget* list = ui_->flbox_Wall;
    {
        const QSignalBlocker quiet(list);
        list->clear();
        list->addItems(names);
        if (kept != files_.end()) list->setCurrentRow(static_cast<int>(kept - files_.begin()));
    }
    // Otherwise the buttons and the preview must not go on showing a file
    // that is no longer chosen.
    if (kept == files_.end() && selected >= 0) flbox_WallChange();
}

void Tform_ChgWall::SetOkEnabled(bool enabled) {
    ui_->bbtn_Ok->setEnabled(enabled);
    ui_->spbtn_Ok->setEnabled(enabled);
}

void Tform_ChgWall::SetPreviewEnabled(bool enabled) {
    ui_->bbtn_Preview->setEnabled(enabled);
    ui_->spbtn_Preview->setEnabled(enabled);
}

void Tform_ChgWall::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    desktopChanged_ = false;
    // Centred as the dialog appears, not by FormShow: the automatic change
    // runs that on an open dialog the user may have moved.
    if (centred_ && ApSystem.SaveWindowPos == 0) CentreOnScreen(*this);
    FormShow();
}

void Tform_ChgWall::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) FormHide();
}

void Tform_ChgWall::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel command, whichever button row is shown; closing
    // the window by its frame runs neither OK nor Cancel.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        bbtn_CancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace vantoria

#include "settings/formSetup.h"

#include "settings/ExtensionTab.h"

#include "settings/ApSystem.h"
#include "settings/SetupHost.h"
#include "ui_formSetup.h"
#include "widgets/WindowPlacement.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QShowEvent>
#include <QStyle>
#include <limits>

namespace vantoria {

namespace {

QString FromSetting(const std::string& text) { return QString::fromStdString(text); }

// A stored index that named no item showed no button checked; unless the
// user picked one, it stays as stored (not -1).
void CopyBackChoice(const QButtonGroup& group, std::int32_t& setting) {
    if (group.checkedId() >= 0) setting = group.checkedId();
}

void FillGroup(QButtonGroup& group, std::int32_t index) {
    // An index outside the items selects none, as a radio group does.
    if (QAbstractButton* button = group.button(index)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = group.checkedButton()) {
        group.setExclusive(false);
        checked->setChecked(false);
        group.setExclusive(true);
    }
}

}  // namespace

QString WallBufferSetting(const QString& chosenFile, const QString& startDir) {
    const QFileInfo file(chosenFile);
    if (QDir(file.absolutePath()) == QDir(startDir)) return file.fileName();
    return chosenFile;
}

Tform_Setup::Tform_Setup(SetupHost& host, QWidget* parent)
    : QDialog(parent), host_(host), ui_(std::make_unique<Ui::form_Setup>()) {
    ui_->setupUi(this);
    setFixedSize(size());

    // Bold captions, as the form draws them.
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(13);
    ui_->lbl_WallCaption->setFont(bold);
    QFont small = font();
    small.setPixelSize(13);
    ui_->lbl_WallFile->setFont(small);
    QFont countdown = font();
    countdown.setBold(true);
    countdown.setPixelSize(19);
    ui_->lbl_ChgTimeLimit->setFont(countdown);

    // After the three pages the program always had.
    extensionTab_ = new ExtensionTab(ui_->PageControl1);
    ui_->PageControl1->addTab(extensionTab_, ExtensionTab::tr(kExtensionTabTitle));

    const auto group = [](QButtonGroup& g, std::initializer_list<QAbstractButton*> items) {
        int id = 0;
        for (QAbstractButton* item : items) g.addButton(item, id++);
    };
    group(grp_Wall, {ui_->rdgrp_Wall_0, ui_->rdgrp_Wall_1, ui_->rdgrp_Wall_2});
    group(grp_Stretch, {ui_->rdgrp_Stretch_0, ui_->rdgrp_Stretch_1, ui_->rdgrp_Stretch_2, ui_->rdgrp_Stretch_3});
    group(grp_Position, {ui_->rdgrp_Position_0, ui_->rdgrp_Position_1, ui_->rdgrp_Position_2});

    // State changes from code run the handlers too, as a click would; only
    // a real change counts.
    const auto onChecked = [this](QButtonGroup& g, void (Tform_Setup::*handler)()) {
        connect(&g, &QButtonGroup::idToggled, this, [this, handler](int, bool checked) {
            if (checked) (this->*handler)();
        });
    };
    onChecked(grp_Wall, &Tform_Setup::rdgrp_WallClick);
    onChecked(grp_Stretch, &Tform_Setup::rdgrp_StretchClick);
    onChecked(grp_Position, &Tform_Setup::rdgrp_PositionClick);
    connect(ui_->chkbox_RegErase, &QCheckBox::toggled, this, &Tform_Setup::chkbox_RegEraseClick);
    connect(ui_->chkbox_AutoWallChg, &QCheckBox::toggled, this, &Tform_Setup::chkbox_AutoWallChgClick);

    // The glyphs of the chooser's OK and Cancel.
    ui_->bbtn_Ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui_->bbtn_Cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    connect(ui_->bbtn_Ok, &QPushButton::clicked, this, &Tform_Setup::bbtn_OkClick);
    connect(ui_->bbtn_Cancel, &QPushButton::clicked, this, &Tform_Setup::bbtn_CancelClick);
    connect(ui_->spbtn_PulgInFolder, &QToolButton::clicked, this, &Tform_Setup::spbtn_PulgInFolderClick);
    connect(ui_->spbtn_WallFolder, &QToolButton::clicked, this, &Tform_Setup::spbtn_WallFolderClick);
    connect(ui_->spbtn_ApFile, &QToolButton::clicked, this, &Tform_Setup::spbtn_ApFileClick);
    connect(ui_->SpeedButton1, &QToolButton::clicked, this, &Tform_Setup::SpeedButton1Click);

    opdlg_Ap = std::make_unique<QFileDialog>(this);
    opdlg_Ap->setObjectName(QStringLiteral("opdlg_Ap"));
    opdlg_WallBuffer = std::make_unique<QFileDialog>(this);
    opdlg_WallBuffer->setObjectName(QStringLiteral("opdlg_WallBuffer"));
    opdlg_WallBuffer->setNameFilter(QStringLiteral("WindowsBitmap (*.bmp *.dib)"));
    for (QFileDialog* dialog : {opdlg_Ap.get(), opdlg_WallBuffer.get()}) dialog->setAcceptMode(QFileDialog::AcceptOpen);
    opdlg_Ap->setFileMode(QFileDialog::ExistingFile);
    // The buffer is the program's to write: it may name a file not made yet.
    opdlg_WallBuffer->setFileMode(QFileDialog::AnyFile);

    SelectDirectory = [](QWidget* owner, const QString& caption) {
        return QFileDialog::getExistingDirectory(owner, caption);
    };
    RunFilePicker = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
}

Tform_Setup::~Tform_Setup() = default;

void Tform_Setup::SetChgTimeLimit(const QString& caption) { ui_->lbl_ChgTimeLimit->setText(caption); }

// A hidden dialog is filled from the settings when it is shown.
void Tform_Setup::FollowAutoChange(bool on) {
    if (isVisible()) ui_->chkbox_AutoWallChg->setChecked(on);
}

void Tform_Setup::showEvent(QShowEvent* event) {
    // Not for the window system re-showing a minimised dialog.
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void Tform_Setup::FormShow() {
    Fill(*ui_->edt_SpiFolder, ApSystem.PathPlugin);
    Fill(*ui_->edt_WallFolder, ApSystem.PathWall);
    Fill(*ui_->edt_WallBuffer, ApSystem.WallBuffer);
    Fill(*ui_->edt_ApFileName, ApSystem.RunAp);
    FillGroup(grp_Wall, ApSystem.WallPosition);
    FillGroup(grp_Stretch, ApSystem.WallSize);
    FillGroup(grp_Position, ApSystem.WallArrange);
    ui_->chkbox_NoRunAp->setChecked(ApSystem.NoRunAp);
    ui_->lbl_WallFile->setText(FromSetting(ApSystem.WallPaper));
    ui_->chkbox_AutoWallChg->setChecked(ApSystem.AutoWallChg);
    ui_->spedt_ChgTime->setValue(ApSystem.AutoWallChgTime);
    ui_->chkbox_StartLastWall->setChecked(ApSystem.StartLastWall);
    ui_->chkbox_SaveWindowPos->setChecked(ApSystem.SaveWindowPos != 0);
    Fill(*ui_->edt_FileMask, ApSystem.FileMask);
    ui_->chkbox_BtnFlat->setChecked(ApSystem.BtnFlat);
    // chkbox_RegErase keeps its state, which is always RegErase's.

    EnableLayoutGroups(ApSystem.WallPosition);
    extensionTab_->Fill(ApSystem);
    // The clicks the fill ran are no changes of the user's.
    LayoutChanged = false;
}

void Tform_Setup::bbtn_OkClick() {
    CopyBack(*ui_->edt_SpiFolder, ApSystem.PathPlugin);
    CopyBack(*ui_->edt_WallFolder, ApSystem.PathWall);
    CopyBack(*ui_->edt_WallBuffer, ApSystem.WallBuffer);
    CopyBack(*ui_->edt_ApFileName, ApSystem.RunAp);
    CopyBackChoice(grp_Wall, ApSystem.WallPosition);
    CopyBackChoice(grp_Stretch, ApSystem.WallSize);
    CopyBackChoice(grp_Position, ApSystem.WallArrange);
    ApSystem.NoRunAp = ui_->chkbox_NoRunAp->isChecked();
    ApSystem.AutoWallChg = ui_->chkbox_AutoWallChg->isChecked();
    ApSystem.AutoWallChgTime = ui_->spedt_ChgTime->value();
    ApSystem.StartLastWall = ui_->chkbox_StartLastWall->isChecked();
    ApSystem.SaveWindowPos = ui_->chkbox_SaveWindowPos->isChecked() ? 1 : 0;
    CopyBack(*ui_->edt_FileMask, ApSystem.FileMask);
    ApSystem.BtnFlat = ui_->chkbox_BtnFlat->isChecked();
    const bool monitorsChanged = extensionTab_->CopyBack(ApSystem);

    accept();
    // Opened from the chooser, the chooser deals with the new layout.
    if (!host_.ChooserOpen() && (LayoutChanged || monitorsChanged)) host_.Redraw();
}

void Tform_Setup::bbtn_CancelClick() { reject(); }

void Tform_Setup::Fill(QLineEdit& edit, const std::string& setting) {
    // A line edit takes 32767 characters unless told otherwise, and cuts
    // what it is given; a setting may be longer.
    edit.setMaxLength(std::numeric_limits<int>::max());
    edit.setText(FromSetting(setting));
    // A long text shows from its start, as an edit box filled anew does.
    edit.setCursorPosition(0);
    filled_[&edit] = edit.text();
}

// A text the user left as it was keeps its bytes: folder and file names need
// not be UTF-8, and a round trip through QString would garble them.
void Tform_Setup::CopyBack(const QLineEdit& edit, std::string& setting) const {
    const auto filled = filled_.find(&edit);
    if (filled == filled_.end() || edit.text() != filled->second) setting = edit.text().toStdString();
}

void Tform_Setup::spbtn_PulgInFolderClick() {
    const QString folder = SelectDirectory(this, tr(kPluginFolderCaption));
    if (!folder.isEmpty()) ui_->edt_SpiFolder->setText(folder);
}

void Tform_Setup::spbtn_WallFolderClick() {
    const QString folder = SelectDirectory(this, tr(kWallFolderCaption));
    if (folder.isEmpty()) return;
    ui_->edt_WallFolder->setText(folder);
    // The automatic change starts the new folder from its first file.
    ApSystem.StartLastWallCount = 0;
}

QString Tform_Setup::PickFile(QFileDialog& dialog) {
    dialog.setDirectory(FromSetting(ApSystem.StartDir));
    return RunFilePicker(dialog);
}

void Tform_Setup::spbtn_ApFileClick() {
    const QString file = PickFile(*opdlg_Ap);
    if (!file.isEmpty()) ui_->edt_ApFileName->setText(file);
}

void Tform_Setup::SpeedButton1Click() {
    const QString file = PickFile(*opdlg_WallBuffer);
    if (!file.isEmpty()) ui_->edt_WallBuffer->setText(WallBufferSetting(file, FromSetting(ApSystem.StartDir)));
}

void Tform_Setup::chkbox_RegEraseClick() { ApSystem.RegErase = ui_->chkbox_RegErase->isChecked(); }

void Tform_Setup::chkbox_AutoWallChgClick() {
    const bool on = ui_->chkbox_AutoWallChg->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{ui_->spedt_ChgTime, ui_->chkbox_StartLastWall,
                                                           ui_->lbl_ChgTime_1, ui_->lbl_ChgTime_2}) {
        control->setEnabled(on);
    }
    ui_->pan_ChgTime->setVisible(on);
    // At once, before OK: the menu's Change command follows the box.
    host_.EnableChangeCommand(!on);
}

void Tform_Setup::EnableLayoutGroups(int position) {
    // Size adjustment applies to positions 0 and 1, the arrangement to 2.
    ui_->rdgrp_Stretch->setEnabled(position != 2);
    ui_->rdgrp_Position->setEnabled(position == 2);
}

void Tform_Setup::rdgrp_WallClick() {
    EnableLayoutGroups(grp_Wall.checkedId());
    LayoutChanged = true;
}

void Tform_Setup::rdgrp_StretchClick() { LayoutChanged = true; }
void Tform_Setup::rdgrp_PositionClick() { LayoutChanged = true; }

}  // namespace vantoria

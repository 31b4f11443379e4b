// The settings dialog driven as a user drives it: what a showing fills in,
// what acts at once, what OK copies back and when it rebuilds the wallpaper.

#include "app/FormTestEnv.h"
#include "app/QtStateFolder.h"
#include "compose/WallBufferPath.h"
#include "support/TestBmp.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

using namespace vantoria;
using namespace vantoria::test;

namespace {

class FormSetupTest : public FormsTest {
protected:
    template <class W>
    W* Get(const char* name) const {
        auto* widget = form_Setup->findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    bool Enabled(const char* name) const { return Get<QWidget>(name)->isEnabled(); }
    std::string Buffer() const { return Start() + "/Runo.bmp"; }
};

TEST_F(FormSetupTest, ShowingFillsTheControlsAndTheirClickEffectsButNoLayoutChange) {
    StoreSettings("\"WallPosition\"=\"2\"\n\"WallArrange\"=\"1\"\n\"AutoWallChg\"=\"1\"\n\"AutoWallChgTime\"=\"0\"\n"
                  "\"SaveWindowPos\"=\"5\"\n\"WallPaper\"=\"/pictures/a.bmp\"\n\"RunAp\"=\"xmessage hi\"\n");
    CreateForms();
    EXPECT_EQ(form_Setup->windowTitle(), QStringLiteral("設定"));
    EXPECT_EQ(form_Setup->size(), QSize(349, 333));
    // As created: the auto-change controls follow an unchecked box.
    EXPECT_FALSE(Enabled("spedt_ChgTime"));
    EXPECT_TRUE(Get<QFrame>("pan_ChgTime")->isHidden());

    form_Setup->show();
    EXPECT_TRUE(Get<QRadioButton>("rdgrp_Wall_2")->isChecked());
    EXPECT_TRUE(Get<QRadioButton>("rdgrp_Position_1")->isChecked());
    EXPECT_FALSE(Enabled("rdgrp_Stretch"));
    EXPECT_TRUE(Enabled("rdgrp_Position"));
    EXPECT_EQ(Get<QLabel>("lbl_WallFile")->text(), QStringLiteral("/pictures/a.bmp"));
    EXPECT_EQ(Get<QLineEdit>("edt_ApFileName")->text(), QStringLiteral("xmessage hi"));
    EXPECT_EQ(Get<QLineEdit>("edt_SpiFolder")->text(), QString::fromStdString(Start()));
    EXPECT_TRUE(Get<QCheckBox>("chkbox_SaveWindowPos")->isChecked());
    // The fill ran the auto-change box's click.
    for (const char* name : {"spedt_ChgTime", "chkbox_StartLastWall", "lbl_ChgTime_1", "lbl_ChgTime_2"})
        EXPECT_TRUE(Enabled(name)) << name;
    EXPECT_FALSE(Get<QFrame>("pan_ChgTime")->isHidden());  // on a tab not in front
    EXPECT_FALSE(form_Main->act_ChgWall().isEnabled());
    // An interval of 0 cannot stand in the spin edit.
    EXPECT_EQ(Get<QSpinBox>("spedt_ChgTime")->value(), 1);
    EXPECT_FALSE(LayoutChanged);

    // Positions 0 and 1: the other way round.
    Get<QRadioButton>("rdgrp_Wall_0")->click();
    EXPECT_TRUE(Enabled("rdgrp_Stretch"));
    EXPECT_FALSE(Enabled("rdgrp_Position"));
    EXPECT_TRUE(LayoutChanged);
    form_Setup->hide();
}

TEST_F(FormSetupTest, OkCopiesBackAndRebuildsTheWallpaperOnlyAfterALayoutClick) {
    WriteBmp24(Start() + "/picture.bmp", 4, 3, [](int, int) { return Rgb{200, 10, 10}; });
    StoreSettings("\"WallPaper\"=\"" + Start() + "/picture.bmp\"\n\"WallPosition\"=\"0\"\n");
    CreateForms();

    // Only a text and a check box: copied, no rebuild.
    form_Setup->show();
    Get<QLineEdit>("edt_FileMask")->setText(" *.png ");
    Get<QCheckBox>("chkbox_SaveWindowPos")->setChecked(true);
    Get<QSpinBox>("spedt_ChgTime")->setValue(5000);
    form_Setup->bbtn_OkClick();
    EXPECT_FALSE(form_Setup->isVisible());
    EXPECT_EQ(ApSystem.FileMask, " *.png ");
    EXPECT_EQ(ApSystem.SaveWindowPos, 1);
    EXPECT_EQ(ApSystem.AutoWallChgTime, 999);
    EXPECT_FALSE(std::filesystem::exists(Buffer()));

    // Every check box is copied back, each to its own setting.
    form_Setup->show();
    for (const char* box : {"chkbox_NoRunAp", "chkbox_AutoWallChg", "chkbox_StartLastWall", "chkbox_BtnFlat"})
        Get<QCheckBox>(box)->setChecked(true);
    form_Setup->bbtn_OkClick();
    EXPECT_TRUE(ApSystem.NoRunAp);
    EXPECT_TRUE(ApSystem.AutoWallChg);
    EXPECT_TRUE(ApSystem.StartLastWall);
    EXPECT_TRUE(ApSystem.BtnFlat);
    form_Setup->show();
    Get<QCheckBox>("chkbox_StartLastWall")->setChecked(false);
    form_Setup->bbtn_OkClick();
    EXPECT_FALSE(ApSystem.StartLastWall);
    EXPECT_TRUE(ApSystem.NoRunAp);

    // Names that are not UTF-8 (an old Shift-JIS folder) survive an OK that
    // left them alone.
    const std::string sjisFolder = Start() + "/\x95\xc7\x8e\x86";
    ApSystem.PathWall = sjisFolder;
    ApSystem.RunAp = "/bin/true \x83\x65";
    form_Setup->show();
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.PathWall, sjisFolder);
    EXPECT_EQ(ApSystem.RunAp, "/bin/true \x83\x65");

    // A layout item changed and changed back still counts.
    form_Setup->show();
    Get<QRadioButton>("rdgrp_Stretch_1")->click();
    Get<QRadioButton>("rdgrp_Stretch_0")->click();
    form_Setup->bbtn_OkClick();
    EXPECT_TRUE(std::filesystem::exists(Buffer()));
    std::filesystem::remove(Buffer());

    // Opened from the chooser: the chooser deals with it.
    form_ChgWall->show();
    form_Setup->show();
    Get<QRadioButton>("rdgrp_Wall_1")->click();
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.WallPosition, 1);
    EXPECT_FALSE(std::filesystem::exists(Buffer()));
    form_ChgWall->hide();
}

TEST_F(FormSetupTest, OkKeepsALayoutIndexThatNamesNoButtonUnlessOneIsPicked) {
    StoreSettings("\"WallPosition\"=\"0\"\n\"WallSize\"=\"7\"\n\"WallArrange\"=\"-2\"\n");
    CreateForms();
    form_Setup->show();
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.WallSize, 7);
    EXPECT_EQ(ApSystem.WallArrange, -2);
    form_Setup->show();
    Get<QRadioButton>("rdgrp_Stretch_1")->click();
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.WallSize, 1);
}

TEST_F(FormSetupTest, OkLeavesLongTextsWholeEditedOrNot) {
    CreateForms();
    const std::string mask = "*.bmp" + std::string(40000, 'm');
    const std::string command = "/bin/true " + std::string(33000, 'a');
    ApSystem.FileMask = mask;
    ApSystem.RunAp = command;
    form_Setup->show();
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.FileMask.size(), mask.size());
    EXPECT_EQ(ApSystem.FileMask, mask);
    EXPECT_EQ(ApSystem.RunAp, command);

    form_Setup->show();
    auto* edit = Get<QLineEdit>("edt_FileMask");
    edit->end(false);
    edit->insert(QStringLiteral(";*.webp"));
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.FileMask, mask + ";*.webp");
    EXPECT_EQ(ApSystem.RunAp, command);
}

TEST_F(FormSetupTest, CancelCopiesNothingButKeepsWhatActedAtOnce) {
    StoreSettings("\"StartLastWallCount\"=\"7\"\n\"PathWall\"=\"/old\"\n");
    CreateForms();
    QString askedCaption;
    form_Setup->SelectDirectory = [&](QWidget*, const QString& caption) {
        askedCaption = caption;
        return QStringLiteral("/new/wallpapers");
    };

    form_Setup->show();
    Get<QCheckBox>("chkbox_RegErase")->setChecked(true);
    Get<QCheckBox>("chkbox_AutoWallChg")->setChecked(true);
    form_Setup->spbtn_WallFolderClick();
    EXPECT_EQ(askedCaption, QStringLiteral("壁紙 フォルダの指定"));
    EXPECT_EQ(Get<QLineEdit>("edt_WallFolder")->text(), QStringLiteral("/new/wallpapers"));
    Get<QRadioButton>("rdgrp_Wall_0")->click();
    form_Setup->bbtn_CancelClick();

    EXPECT_TRUE(ApSystem.RegErase);
    EXPECT_EQ(ApSystem.StartLastWallCount, 0);
    EXPECT_EQ(ApSystem.PathWall, "/old");
    EXPECT_EQ(ApSystem.WallPosition, 2);
    EXPECT_FALSE(ApSystem.AutoWallChg);
    EXPECT_FALSE(form_Main->act_ChgWall().isEnabled());  // until the next showing

    // A cancelled browser leaves the edit alone; the next showing refills.
    form_Setup->SelectDirectory = [&](QWidget*, const QString& caption) {
        askedCaption = caption;
        return QString();
    };
    form_Setup->show();
    EXPECT_TRUE(form_Main->act_ChgWall().isEnabled());
    EXPECT_TRUE(Get<QCheckBox>("chkbox_RegErase")->isChecked());
    form_Setup->spbtn_PulgInFolderClick();
    EXPECT_EQ(askedCaption, QStringLiteral("Susie PlugIn フォルダの指定"));
    EXPECT_EQ(Get<QLineEdit>("edt_SpiFolder")->text(), QString::fromStdString(Start()));
    form_Setup->hide();
}

TEST_F(FormSetupTest, FilePickersStartInTheStartFolderAndABufferOutsideItIsUsedAsItsPath) {
    CreateForms();
    QStringList filters;
    QString folder;
    QString answer;
    QFileDialog::FileMode mode{};
    form_Setup->RunFilePicker = [&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        mode = dialog.fileMode();
        folder = dialog.directory().absolutePath();
        return answer;
    };
    form_Setup->show();

    answer = QStringLiteral("/usr/bin/xmessage");
    form_Setup->spbtn_ApFileClick();
    EXPECT_EQ(folder, QString::fromStdString(Start()));
    EXPECT_EQ(Get<QLineEdit>("edt_ApFileName")->text(), answer);
    EXPECT_EQ(mode, QFileDialog::ExistingFile);

    answer = QString::fromStdString(Start() + "/mine.bmp");
    form_Setup->SpeedButton1Click();
    EXPECT_EQ(filters, QStringList{QStringLiteral("WindowsBitmap (*.bmp *.dib)")});
    EXPECT_EQ(mode, QFileDialog::AnyFile) << "the buffer may be a file not made yet";
    EXPECT_EQ(Get<QLineEdit>("edt_WallBuffer")->text(), QStringLiteral("mine.bmp"));

    answer = QStringLiteral("/var/tmp/elsewhere.bmp");
    form_Setup->SpeedButton1Click();
    EXPECT_EQ(Get<QLineEdit>("edt_WallBuffer")->text(), answer);
    answer.clear();  // cancelled
    form_Setup->SpeedButton1Click();
    EXPECT_EQ(Get<QLineEdit>("edt_WallBuffer")->text(), QStringLiteral("/var/tmp/elsewhere.bmp"));
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(compose::WallBufferPath(ApSystem), "/var/tmp/elsewhere.bmp");
    EXPECT_EQ(compose::WallBufferPath("/start", "Runo.bmp"), "/start/Runo.bmp");

    // The file dialogs keep their state out of the settings folder.
    forms_.reset();
    const std::filesystem::path config = temp_.Path() + "/config";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(config))
        EXPECT_EQ(entry.path().filename().string().find("QtProject"), std::string::npos) << entry.path();
    EXPECT_TRUE(std::filesystem::exists(QtStateFolder().toStdString() + "/QtProject.conf"));
}

}  // namespace

namespace {

// The fourth page, after the three the dialog always had: filled when it
// opens, copied back by OK only, and a new monitor mode redraws.
TEST_F(FormSetupTest, TheFourthPageHoldsShuffleAndTheMonitorModes) {
    WriteBmp24(Start() + "/picture.bmp", 4, 3, [](int, int) { return Rgb{200, 10, 10}; });
    StoreSettings("\"WallPaper\"=\"" + Start() + "/picture.bmp\"\n\"MonitorMode\"=\"2\"\n");
    CreateForms();
    auto* pages = Get<QTabWidget>("PageControl1");
    ASSERT_EQ(pages->count(), 4);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("基本"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("ファイル"));
    EXPECT_EQ(pages->tabText(3), QStringLiteral("拡張"));
    EXPECT_EQ(pages->widget(3)->objectName(), QStringLiteral("TabSheet4"));

    form_Setup->show();
    EXPECT_FALSE(Get<QCheckBox>("chkbox_AutoWallShuffle")->isChecked());
    EXPECT_TRUE(Get<QRadioButton>("rdgrp_MonitorMode_2")->isChecked());
    Get<QCheckBox>("chkbox_AutoWallShuffle")->setChecked(true);
    Get<QRadioButton>("rdgrp_MonitorMode_1")->click();
    form_Setup->bbtn_CancelClick();
    EXPECT_EQ(ApSystem.AutoWallShuffle, 0);
    EXPECT_EQ(ApSystem.MonitorMode, 2);

    form_Setup->show();
    EXPECT_FALSE(Get<QCheckBox>("chkbox_AutoWallShuffle")->isChecked());
    Get<QCheckBox>("chkbox_AutoWallShuffle")->setChecked(true);
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.AutoWallShuffle, 1);
    EXPECT_FALSE(std::filesystem::exists(Buffer()));  // shuffle alone draws nothing
    form_Setup->show();
    Get<QRadioButton>("rdgrp_MonitorMode_0")->click();
    form_Setup->bbtn_OkClick();
    EXPECT_EQ(ApSystem.MonitorMode, 0);
    EXPECT_TRUE(std::filesystem::exists(Buffer()));
}

}  // namespace

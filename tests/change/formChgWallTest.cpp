// The chooser dialog driven as a user would, under the offscreen platform:
// widgets are found by their object names, the main form is a recorder.

#include "change/formChgWall.h"

#include "app/AppState.h"
#include "change/ChooserHost.h"
#include "imaging/Spi_load.h"
#include "platform/report/Reporter.h"
#include "settings/ApSystem.h"
#include "settings/LayoutChanged.h"
#include "support/Child.h"
#include "support/RecordingReporter.h"
#include "support/TestBmp.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTreeView>
#include <filesystem>
#include <fstream>

using namespace vantoria;
using namespace vantoria::test;
namespace fs = std::filesystem;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "form_chgwall_test";
    static char* argv[] = {name, nullptr};
    static TempDir runtime;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    // Never destroyed: at exit Qt's own globals may already be gone.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class RecordingHost final : public ChooserHost {
public:
    TSpi_load& Loader() override { return loader; }
    void ChangeWallPaper(const std::string& file) override {
        if (!file.empty()) changes.push_back(file);
    }
    void ChangeMonitorWallPapers(const std::string& primaryFile, const std::string& monitorFiles) override {
        changes.push_back(primaryFile + " with " + monitorFiles);
    }
    void EraseWallPaper() override { ++erases; }
    void Redraw() override { ++redraws; }
    void SetupCommand() override { ++setupCommands; }
    void ShowSetupModal() override { ++setupModals; }
    bool AppRunning() const override { return running; }

    TSpi_load loader;
    std::vector<std::string> changes;
    int erases = 0, redraws = 0, setupCommands = 0, setupModals = 0;
    bool running = true;
};

class ChgWallFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        SetReporter(&reporter_);
        ResetTrayState();
        ApSystem.PathWall = dir_.Path();
        ApSystem.FileMask = kDefaultFileMask;
        ApSystem.WallPaper = "/confirmed.bmp";
        host_.loader.SpiPathName = dir_.Path() + "/no-plugins";
    }
    void TearDown() override {
        SetReporter(nullptr);
        ResetTrayState();
    }

    // A file of one colour, `width` x `height`, named for its size.
    std::string Picture(int width, int height) const {
        const std::string name = std::to_string(width) + "x" + std::to_string(height) + ".bmp";
        WriteBmp24(dir_.Path() + "/" + name, width, height, [](int, int) { return Rgb{200, 40, 10}; });
        return name;
    }
    std::unique_ptr<Tform_ChgWall> Open() {
        auto form = std::make_unique<Tform_ChgWall>(host_);
        form->show();
        return form;
    }
    template <class W>
    static W* Find(const Tform_ChgWall& form, const char* name) {
        W* widget = form.findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(widget) << name;
        return widget;
    }
    static QAbstractButton* Button(const Tform_ChgWall& form, const char* name) { return Find<QAbstractButton>(form, name); }
    static void Select(const Tform_ChgWall& form, const std::string& name) {
        auto* list = Find<QListWidget>(form, "flbox_Wall");
        const auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        list->setCurrentItem(found.first());
    }
    static QRect PreviewGeometry(const Tform_ChgWall& form) { return Find<QLabel>(form, "img_PreView")->geometry(); }
    std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }

    TempDir dir_;
    RecordingReporter reporter_;
    RecordingHost host_;
};

TEST_F(ChgWallFormTest, TheDialogHasItsCaptionGeometryAndFilterEntries) {
    auto form = Open();
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("壁紙の選択"));
    EXPECT_EQ(form->size(), QSize(481, 241));
    EXPECT_EQ(Find<QWidget>(*form, "dirol_Wall")->geometry(), QRect(8, 36, 129, 161));
    EXPECT_EQ(Find<QWidget>(*form, "flbox_Wall")->geometry(), QRect(148, 36, 137, 161));
    EXPECT_EQ(Find<QWidget>(*form, "pan_ImgPreView")->geometry(), QRect(292, 12, 181, 181));
    EXPECT_EQ(Button(*form, "bbtn_Ok")->geometry(), QRect(312, 0, 69, 25));
    EXPECT_EQ(Button(*form, "spbtn_Cancel")->geometry(), QRect(390, 2, 69, 25));
    auto* filter = Find<QComboBox>(*form, "fcbbox_Wall");
    ASSERT_EQ(filter->count(), 2);
    EXPECT_EQ(filter->itemText(0), QString::fromUtf8("画像ファイル"));
    EXPECT_EQ(filter->itemText(1), QString::fromUtf8("すべてのファイル (*.*)"));
    auto* drives = Find<QComboBox>(*form, "drvcbbox_Wall");
    EXPECT_EQ(drives->itemText(0), "/");
}

TEST_F(ChgWallFormTest, PicturesAreFittedInto177AndCentredAt90) {
    struct Case {
        int w, h;
        QRect shown;
        bool stretched;
    };
    const Case cases[] = {
        {640, 480, {2, 24, 177, 132}, true},   {480, 640, {24, 2, 132, 177}, true},
        {1280, 1024, {2, 20, 177, 141}, true}, {200, 200, {2, 2, 176, 177}, true},
        {1000, 1000, {2, 2, 177, 177}, true},  {176, 176, {2, 2, 176, 176}, false},
        {177, 100, {2, 40, 177, 100}, true},
    };
    for (const Case& c : cases) Picture(c.w, c.h);
    auto form = Open();
    auto* image = Find<QLabel>(*form, "img_PreView");
    for (const Case& c : cases) {
        Select(*form, std::to_string(c.w) + "x" + std::to_string(c.h) + ".bmp");
        EXPECT_EQ(image->geometry(), c.shown) << c.w << "x" << c.h;
        EXPECT_EQ(image->hasScaledContents(), c.stretched) << c.w << "x" << c.h;
        EXPECT_TRUE(image->isVisibleTo(form.get()));
        const QImage shown = image->pixmap().toImage();
        ASSERT_EQ(shown.size(), c.shown.size());
        EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(200, 40, 10));
    }
    EXPECT_TRUE(reporter_.messages.empty());
}

// A Cancel never leaves a picture the user did not confirm on the desktop,
// even when a later selection cleared PreviewApplied.
TEST_F(ChgWallFormTest, PreviewOrEraseThenAnotherSelectionThenCancelPutsTheConfirmedWallpaperBack) {
    const std::string a = Picture(10, 10), b = Picture(20, 10);
    auto form = Open();
    Select(*form, a);
    Button(*form, "bbtn_Preview")->click();
    EXPECT_EQ(host_.changes, std::vector<std::string>{Path(a)});
    EXPECT_TRUE(PreviewApplied);

    Select(*form, b);
    EXPECT_FALSE(PreviewApplied) << "a previewed selection clears it";
    Button(*form, "bbtn_Cancel")->click();
    EXPECT_EQ(host_.changes, (std::vector<std::string>{Path(a), "/confirmed.bmp"}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(ApSystem.WallPaper, "/confirmed.bmp");
    EXPECT_EQ(host_.redraws, 0);

    // The same after Erase; a showing that changed nothing changes nothing.
    form->show();
    Select(*form, a);
    Button(*form, "bbtn_Erase")->click();
    Select(*form, b);
    Button(*form, "bbtn_Cancel")->click();
    EXPECT_EQ(host_.erases, 1);
    EXPECT_EQ(host_.changes.back(), "/confirmed.bmp");
    const std::size_t before = host_.changes.size();
    form->show();
    Select(*form, a);
    Button(*form, "bbtn_Cancel")->click();
    EXPECT_EQ(host_.changes.size(), before);
    host_.changes.clear();

    // Shown again: Preview then Cancel puts the confirmed wallpaper back;
    // a layout changed in the settings meanwhile is redrawn.
    form->show();
    Select(*form, b);
    Button(*form, "bbtn_Preview")->click();
    LayoutChanged = true;
    Button(*form, "bbtn_Cancel")->click();
    EXPECT_EQ(host_.changes, (std::vector<std::string>{Path(b), "/confirmed.bmp"}));
    EXPECT_FALSE(PreviewApplied);
    EXPECT_EQ(host_.redraws, 1);

    // OK after Preview and another selection applies the new selection.
    form->show();
    Select(*form, a);
    Button(*form, "bbtn_Preview")->click();
    Select(*form, b);
    Button(*form, "bbtn_Ok")->click();
    EXPECT_EQ(host_.changes.back(), Path(b));
    EXPECT_EQ(ApSystem.WallPaper, Path(b));
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(ChgWallFormTest, EraseThenOkNamesTheFileButLeavesTheDesktopBare) {
    const std::string a = Picture(10, 10);
    auto form = Open();
    Select(*form, a);
    Button(*form, "bbtn_Erase")->click();
    EXPECT_EQ(host_.erases, 1);
    Button(*form, "bbtn_Ok")->click();
    EXPECT_EQ(ApSystem.WallPaper, Path(a));
    EXPECT_TRUE(host_.changes.empty());
    EXPECT_TRUE(PreviewApplied) << "OK keeps it for the next showing";
    EXPECT_FALSE(form->isVisible());

    // A double click on a name is OK too.
    PreviewApplied = false;
    form->show();
    Select(*form, a);
    auto* list = Find<QListWidget>(*form, "flbox_Wall");
    emit list->itemDoubleClicked(list->currentItem());
    EXPECT_EQ(host_.changes, std::vector<std::string>{Path(a)});
    EXPECT_FALSE(form->isVisible());
}

TEST_F(ChgWallFormTest, FlatButtonsReplaceTheNormalRowAtTheNextShowing) {
    const std::string a = Picture(10, 10);
    ApSystem.BtnFlat = true;
    auto form = Open();
    auto* flat = Find<QWidget>(*form, "pan_BtnFlat");
    auto* normal = Find<QWidget>(*form, "pan_BtnNormal");
    EXPECT_TRUE(flat->isVisible());
    EXPECT_FALSE(normal->isVisible());

    Select(*form, a);
    Button(*form, "spbtn_Preview")->click();
    EXPECT_EQ(host_.changes, std::vector<std::string>{Path(a)});
    Button(*form, "spbtn_Setup")->click();
    EXPECT_EQ(host_.setupModals, 1);
    EXPECT_EQ(host_.setupCommands, 0);
    Button(*form, "spbtn_Erase")->click();
    EXPECT_EQ(host_.erases, 1);

    ApSystem.BtnFlat = false;
    EXPECT_TRUE(flat->isVisible()) << "not while the dialog is open";
    Button(*form, "spbtn_Cancel")->click();
    EXPECT_EQ(host_.changes.back(), "/confirmed.bmp");
    form->show();
    EXPECT_FALSE(flat->isVisible());
    EXPECT_TRUE(normal->isVisible());
    Button(*form, "bbtn_Setup")->click();
    EXPECT_EQ(host_.setupCommands, 1);
    EXPECT_EQ(host_.setupModals, 1);
}

TEST_F(ChgWallFormTest, OkIsDisabledWithoutASelectionWhilePreviewKeepsItsState) {
    const std::string a = Picture(10, 10);
    auto form = Open();
    auto* preview = Find<QLabel>(*form, "img_PreView");
    for (const char* ok : {"bbtn_Ok", "spbtn_Ok"}) EXPECT_FALSE(Button(*form, ok)->isEnabled()) << ok;
    EXPECT_FALSE(preview->isVisibleTo(form.get()));
    // Preview is still enabled from the form's first state: it changes nothing.
    Button(*form, "bbtn_Preview")->click();
    EXPECT_TRUE(host_.changes.empty());
    EXPECT_TRUE(PreviewApplied);

    Select(*form, a);
    for (const char* name : {"bbtn_Ok", "spbtn_Ok", "bbtn_Preview", "spbtn_Preview"})
        EXPECT_TRUE(Button(*form, name)->isEnabled()) << name;
    Find<QListWidget>(*form, "flbox_Wall")->clearSelection();
    for (const char* name : {"bbtn_Ok", "spbtn_Ok", "bbtn_Preview", "spbtn_Preview"})
        EXPECT_FALSE(Button(*form, name)->isEnabled()) << name;
    EXPECT_FALSE(preview->isVisibleTo(form.get()));

    // Another folder drops the selection, and the buttons follow.
    Select(*form, a);
    fs::create_directory(dir_.Path() + "/sub");
    ApSystem.PathWall = dir_.Path() + "/sub";
    form->FormShow();
    EXPECT_FALSE(Button(*form, "bbtn_Ok")->isEnabled());
    EXPECT_FALSE(Button(*form, "bbtn_Preview")->isEnabled());
}

// Every opening and every change tick runs FormShow; only a list that
// differs is shown again, so the user's choice stays chosen.
TEST_F(ChgWallFormTest, TheChoiceSurvivesTheNextShowingAChangeTickAndNewFiles) {
    Picture(10, 10);
    const std::string b = Picture(20, 10);
    auto form = Open();
    Select(*form, b);
    Button(*form, "bbtn_Ok")->click();
    ASSERT_EQ(ApSystem.WallPaper, Path(b));

    const auto chosen = [&](const std::string& name) {
        EXPECT_EQ(form->SelectedFile(), Path(name));
        EXPECT_TRUE(Button(*form, "bbtn_Ok")->isEnabled());
        EXPECT_TRUE(Button(*form, "bbtn_Preview")->isEnabled());
        EXPECT_TRUE(Find<QLabel>(*form, "img_PreView")->isVisibleTo(form.get()));
        EXPECT_EQ(PreviewGeometry(*form), QRect(80, 85, 20, 10));
    };
    form->show();
    chosen(b);
    Button(*form, "bbtn_Preview")->click();
    form->FormShow();  // a change tick while open
    chosen(b);
    EXPECT_TRUE(PreviewApplied) << "no selection was previewed again";

    // New files are listed; the chosen one stays chosen.
    Picture(5, 5);
    form->FormShow();
    EXPECT_EQ(form->Files().size(), 3u);
    chosen(b);
    // The chosen file is gone: nothing is chosen, OK follows.
    fs::remove(Path(b));
    form->FormShow();
    EXPECT_EQ(form->SelectedFile(), "");
    EXPECT_FALSE(Button(*form, "bbtn_Ok")->isEnabled());
    EXPECT_EQ(reporter_.messages.size(), 0u);
}

TEST_F(ChgWallFormTest, APictureThatCannotBeDecodedIsReportedOnceAndTheDialogStaysUsable) {
    const std::string good = Picture(300, 150);
    std::ofstream(Path("broken.bmp")) << "BM not a bitmap at all";
    auto form = Open();
    Select(*form, "broken.bmp");
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_FALSE(reporter_.messages[0].empty());
    EXPECT_EQ(reporter_.details[0], Path("broken.bmp"));
    EXPECT_FALSE(Find<QLabel>(*form, "img_PreView")->isVisibleTo(form.get()));
    EXPECT_TRUE(Button(*form, "bbtn_Ok")->isEnabled());

    PreviewApplied = true;
    Select(*form, good);
    EXPECT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(PreviewGeometry(*form), QRect(2, 46, 177, 88));
    EXPECT_FALSE(PreviewApplied);
}

TEST_F(ChgWallFormTest, FolderMaskAndPositionComeFromTheSettings) {
    Picture(10, 10);
    std::ofstream(Path("Notes.TXT")) << "x";
    ApSystem.PathWall = dir_.Path() + "/gone/away";
    ApSystem.FileMask = "*.txt";
    ApSystem.SaveWindowPos = 1;
    ApSystem.ChgWallWindow_Left = 40;
    ApSystem.ChgWallWindow_Top = 30;
    auto form = Open();
    EXPECT_EQ(form->CurrentFolder(), dir_.Path()) << "the nearest folder that exists";
    EXPECT_EQ(form->Files(), std::vector<std::string>{"Notes.TXT"});
    EXPECT_EQ(form->pos(), QPoint(40, 30));

    // The second filter entry lists every file.
    auto* filter = Find<QComboBox>(*form, "fcbbox_Wall");
    filter->setCurrentIndex(1);
    emit filter->activated(1);
    EXPECT_EQ(form->Files(), (std::vector<std::string>{"10x10.bmp", "Notes.TXT"}));

    form->move(70, 80);
    form->hide();
    EXPECT_EQ(ApSystem.ChgWallWindow_Left, 70);
    EXPECT_EQ(ApSystem.ChgWallWindow_Top, 80);

    // Before the program runs, a selection decodes nothing.
    host_.running = false;
    Select(*form, "10x10.bmp");
    EXPECT_FALSE(Button(*form, "bbtn_Ok")->isEnabled());
    EXPECT_FALSE(Find<QLabel>(*form, "img_PreView")->isVisibleTo(form.get()));
}

}  // namespace

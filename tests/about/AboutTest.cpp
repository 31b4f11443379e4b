// The version information dialog: the system lines and the version, as
// functions and as the labels a user reads.

#include "about/FittedText.h"
#include "about/SystemInfo.h"
#include "app/FormTestEnv.h"

#include <QLabel>
#include <QUrl>

using namespace vantoria;
using namespace vantoria::about;
using namespace vantoria::test;

namespace {

TEST(SystemInfoTest, WindowsVersionsAreClassifiedByPlatformMinorAndBuild) {
    EXPECT_EQ(ClassifyWindowsVersion(0, 99, 0), "Win32s on Windows 3.1");
    EXPECT_EQ(ClassifyWindowsVersion(1, 0, 1000), "Win32 on Windows 95");
    EXPECT_EQ(ClassifyWindowsVersion(1, 0, 1001), "Win32 on Windows 95 OSR2");
    // The whole build field, unsigned: a high word set is a large build.
    EXPECT_EQ(ClassifyWindowsVersion(1, 0, 0x040003E8u), "Win32 on Windows 95 OSR2");
    EXPECT_EQ(ClassifyWindowsVersion(1, 10, 0), "Win32 on Windows 98");
    EXPECT_EQ(ClassifyWindowsVersion(1, 90, 0), "Win32 on Windows");
    EXPECT_EQ(ClassifyWindowsVersion(2, 0, 0), "Windows NT/2000");
    EXPECT_EQ(ClassifyWindowsVersion(3, 0, 0), std::nullopt);
}

TEST(SystemInfoTest, LinuxLineMemoryAndFileVersion) {
    EXPECT_EQ(LinuxVersionText("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                               "6.1.0-18-amd64"),
              "Debian GNU/Linux 12 (bookworm), Linux 6.1.0");
    EXPECT_EQ(LinuxVersionText("NAME=Alpine\n", "6.6.7"), "Alpine, Linux 6.6.7");
    EXPECT_EQ(LinuxVersionText("", "5.10.0"), "Linux 5.10.0");
    EXPECT_EQ(MemoryText(67108864), "67108864 Bytes");
    EXPECT_EQ(MemoryText(3221225472u), "3221225472 Bytes");
    EXPECT_EQ(MemoryText(17179869184ull), "17179869184 Bytes");  // beyond 32 bits
    EXPECT_GT(TotalPhysicalMemory(), 0u);
    EXPECT_EQ(MemoryBytes(4096, 1), 4096u);
    EXPECT_EQ(MemoryBytes(1u << 20, 4096), 4294967296ull) << "counted in units of mem_unit bytes";
    EXPECT_EQ(MemoryBytes(UINT64_MAX / 2, 4), UINT64_MAX);
    EXPECT_EQ(QueryVersionValue("\\StringFileInfo\\041103A4\\FileVersion"), VANTORIA_VERSION);
    EXPECT_EQ(QueryVersionValue("\\StringFileInfo\\040904B0\\FileVersion"), std::nullopt);
}

class AboutFormTest : public FormsTest {
protected:
    QString Text(const char* name) const {
        auto* label = form_About->findChild<QLabel*>(QString::fromUtf8(name));
        EXPECT_NE(label, nullptr) << name;
        return label ? label->text() : QString();
    }
};

TEST_F(AboutFormTest, ShowingFillsTheLabelsAndTheLinksOpenWithTheDesktop) {
    CreateForms();
    EXPECT_EQ(form_About->windowTitle(), QStringLiteral("バージョン情報"));
    QList<QUrl> opened;
    form_About->OpenUrl = [&](const QUrl& url) { opened << url; };

    form_About->show();
    EXPECT_EQ(Text("Version"), QStringLiteral("Version " VANTORIA_VERSION));
    EXPECT_EQ(Text("lbl_Memory"), QString::fromStdString(MemoryText(TotalPhysicalMemory())));
    EXPECT_EQ(form_About->findChild<QLabel*>(QStringLiteral("lbl_Version"))->toolTip(),
              QString::fromStdString(LinuxVersionText()));
    EXPECT_FALSE(Text("lbl_Version").isEmpty());
    EXPECT_EQ(Text("Copyright"), QString::fromUtf8(kCopyrightText));
    EXPECT_EQ(Text("Label2"), QStringLiteral("Windows Version:"));
    EXPECT_FALSE(form_About->findChild<QLabel*>(QStringLiteral("Comments"))->isVisible());
    form_About->lbl_WWWClick();
    form_About->lbl_EMailClick();
    EXPECT_EQ(opened, (QList<QUrl>{QUrl("https://brightmoss.example/"), QUrl("mailto:support@brightmoss.example")}));
    form_About->OKButtonClick();
    EXPECT_FALSE(form_About->isVisible());

    // In debug mode the comment shows, and stays.
    DebugMode = true;
    form_About->show();
    EXPECT_TRUE(form_About->findChild<QLabel*>(QStringLiteral("Comments"))->isVisible());
    form_About->hide();
}

// The system lines keep their fixed labels yet show whole: the kernel with
// the distribution, and a memory count of any length clear of its caption.
TEST_F(AboutFormTest, SystemLinesShowWholeInTheirLabels) {
    EXPECT_EQ(LinuxVersionTexts("NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                                "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                                "6.1.0-18-amd64"),
              (std::vector<std::string>{"Debian GNU/Linux 12 (bookworm), Linux 6.1.0", "Debian GNU/Linux 12, Linux 6.1.0",
                                        "Debian 12, Linux 6.1.0"}));
    CreateForms();
    form_About->show();
    auto* version = form_About->findChild<QLabel*>(QStringLiteral("lbl_Version"));
    EXPECT_TRUE(version->text().contains(QStringLiteral(", Linux "))) << version->text().toStdString();
    EXPECT_FALSE(version->text().contains(QChar(0x2026)));

    auto* memory = form_About->findChild<QLabel*>(QStringLiteral("lbl_Memory"));
    auto* caption = form_About->findChild<QLabel*>(QStringLiteral("Label3"));
    const int room = RoomBeside(*caption, *memory);
    EXPECT_LE(caption->x() + caption->fontMetrics().horizontalAdvance(caption->text()), memory->x() + memory->width() - room);
    for (const char* count : {"25769803776", "99857989632", "18446744073709551615"}) {
        const QString text = QString::fromUtf8(count) + QStringLiteral(" Bytes");
        SetFittedText(*memory, {text}, room);
        EXPECT_EQ(memory->text(), text);
        EXPECT_LE(memory->fontMetrics().horizontalAdvance(memory->text()), room) << count;
    }
    form_About->hide();
}

}  // namespace

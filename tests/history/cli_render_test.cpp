// vantrel-cli render: the history view's picture of a file as an image.

#include "tdafixture.h"

#include <QImage>

#include <cstdlib>
#include <string>

namespace {

int Render(const std::string& args) {
    const std::string cmd = std::string(VANTREL_CLI_PATH) + " render " + args + " 2>/dev/null";
    return WEXITSTATUS(std::system(cmd.c_str()));
}

} // namespace

TEST(CliRender, DrawsTheFirstWindowAtTheAskedSize) {
    TempDir tmp;
    const std::string file = tmp.File("r.tda");
    WriteFixture(file, FixtureOptions{});
    const std::string png = tmp.File("r.png");
    ASSERT_EQ(Render(file + " " + png + " --size 640x480 --readout 100"), 0);
    QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(640, 480));
    EXPECT_EQ(image.pixel(100, 300) & 0xFFFFFF, 0xFF0000u); // the red cursor line
    EXPECT_EQ(image.pixel(500, 35) & 0xFFFFFF, 0xF5F5F5u);  // the box, opposite side
    EXPECT_EQ(image.pixel(40, 100) & 0xFFFFFF, 0x008000u);  // a vertical grid line
    const std::string bmp = tmp.File("r.bmp");
    EXPECT_EQ(Render(file + " " + bmp), 0);
    EXPECT_EQ(QImage(QString::fromStdString(bmp)).size(), QSize(1280, 800));
}

TEST(CliRender, RefusesWhatTheViewRefuses) {
    TempDir tmp;
    const std::string file = tmp.File("r.tda");
    WriteFixture(file, FixtureOptions{});
    EXPECT_EQ(Render(tmp.File("missing.tda") + " " + tmp.File("a.png")), 1);
    EXPECT_EQ(Render(file + " " + tmp.File("a.unknownformat")), 1);
    EXPECT_EQ(Render(file + " " + tmp.File("a.png") + " --size 0x5"), 2);
    EXPECT_EQ(Render(file), 2);
}

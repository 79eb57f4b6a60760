// The 24-bit bitmap writer: exact header bytes, row padding, bottom-up order,
// and a file that an independent reader (Qt's) reads back pixel for pixel.

#include "bmpfile.h"

#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t U16At(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}

std::vector<uint8_t> ReadAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture in which every pixel differs from its neighbours and from its
// mirror image, so swapped rows, columns or channels all show.
QImage PatternImage(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgb((x * 7 + y) & 0xFF, (y * 13 + 5) & 0xFF, (x * 3 + y * 11) & 0xFF));
    return img;
}

CBmpFile BmpFrom(const QImage& img) {
    CBmpFile bmp;
    EXPECT_TRUE(bmp.SetFromRgb32(img.width(), img.height(),
                                 reinterpret_cast<const uint32_t*>(img.constBits()),
                                 std::size_t(img.bytesPerLine())));
    return bmp;
}

} // namespace

TEST(BmpFile, StrideRoundsRowsUpToFourBytes) {
    const struct {
        int width;
        uint32_t stride;
    } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {100, 300}, {101, 304}, {800, 2400}};
    for (const auto& c : cases)
        EXPECT_EQ(CBmpFile::Stride(c.width), c.stride) << "width " << c.width;
}

TEST(BmpFile, HeadersAreTheFiftyFourBytesOfA24BitBottomUpBitmap) {
    const CBmpFile bmp = BmpFrom(PatternImage(101, 7));
    const std::vector<uint8_t> h = bmp.Headers();
    ASSERT_EQ(h.size(), 54u);
    EXPECT_EQ(U16At(h, 0), 0x4D42);             // "BM"
    EXPECT_EQ(U32At(h, 2), 304u * 7 + 54);      // file size
    EXPECT_EQ(U32At(h, 6), 0u);                 // two reserved words
    EXPECT_EQ(U32At(h, 10), 54u);               // pixel offset: no colour table
    EXPECT_EQ(U32At(h, 14), 40u);               // info header size
    EXPECT_EQ(U32At(h, 18), 101u);              // width
    EXPECT_EQ(U32At(h, 22), 7u);                // positive height: bottom-up
    EXPECT_EQ(U16At(h, 26), 1);                 // planes
    EXPECT_EQ(U16At(h, 28), 24);                // bits per pixel
    EXPECT_EQ(U32At(h, 30), 0u);                // uncompressed
    EXPECT_EQ(U32At(h, 34), 304u * 7);          // image size
    for (std::size_t at = 38; at < 54; at += 4) // resolutions, colours used, important
        EXPECT_EQ(U32At(h, at), 0u) << "offset " << at;
}

TEST(BmpFile, PixelRowsAreBottomUpBlueGreenRedWithZeroPadding) {
    QImage img(2, 2, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(1, 2, 3));
    img.setPixel(1, 0, qRgb(4, 5, 6));
    img.setPixel(0, 1, qRgb(7, 8, 9));
    img.setPixel(1, 1, qRgb(10, 11, 12));
    const CBmpFile bmp = BmpFrom(img);
    const std::vector<uint8_t> expected = {9, 8, 7, 12, 11, 10, 0, 0, // bottom row first
                                           3, 2, 1, 6,  5,  4,  0, 0};
    EXPECT_EQ(bmp.Pixels(), expected);
}

TEST(BmpFile, SavedFileOf101PixelWideRowsReadsBackPixelForPixel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("trend.bmp");
    const QImage img = PatternImage(101, 37);
    ASSERT_TRUE(BmpFrom(img).Save(path.toStdString()));

    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 304u * 37 + 54);
    for (int row = 0; row < 37; ++row) // the padding byte after 303 pixel bytes
        EXPECT_EQ(bytes[54 + row * 304 + 303], 0) << "row " << row;

    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "bmp");
    const QImage back = reader.read();
    ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(back.size(), img.size());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(back.pixel(x, y), img.pixel(x, y)) << "pixel " << x << "," << y;
}

TEST(BmpFile, SaveTruncatesAnExistingLargerFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("old.bmp");
    {
        std::ofstream old(path.toStdString(), std::ios::binary);
        old << std::string(100000, 'x');
    }
    ASSERT_TRUE(BmpFrom(PatternImage(3, 2)).Save(path.toStdString()));
    EXPECT_EQ(ReadAll(path).size(), 12u * 2 + 54);
}

TEST(BmpFile, RefusesEmptyPicturesAndUncreatableFiles) {
    QTemporaryDir dir;
    const uint32_t pixel = 0;
    CBmpFile bmp;
    EXPECT_FALSE(bmp.SetFromRgb32(0, 10, &pixel, 4));
    EXPECT_FALSE(bmp.SetFromRgb32(1, 0, &pixel, 4));
    EXPECT_FALSE(bmp.SetFromRgb32(1, 1, nullptr, 4));
    EXPECT_FALSE(bmp.SetFromRgb32(2, 1, &pixel, 4)); // lines shorter than the width
    EXPECT_TRUE(bmp.IsEmpty());
    EXPECT_FALSE(bmp.Save(dir.filePath("empty.bmp").toStdString()));
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.bmp")));

    const CBmpFile good = BmpFrom(PatternImage(4, 4));
    const QString missingFolder = dir.filePath("no/such/folder/x.bmp");
    EXPECT_FALSE(good.Save(missingFolder.toStdString()));
    EXPECT_FALSE(QFile::exists(missingFolder));
}

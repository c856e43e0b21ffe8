#include "pdf/pdf_images.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

#include "base/atomic_file.h"
#include "base/clock.h"
#include "pdf/pdf_canvas.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::pdf {
namespace {

using graphics::Bitmap;
using graphics::Picture;
using graphics::PixelFormat;

std::string WrittenBody(TPdfImage& image) {
  std::string out;
  image.WriteBody(out);
  return out;
}

// A grey-scale JPEG made with libjpeg directly (our encoder always writes colour).
std::string GreyJpeg(int width, int height) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(x * 255 / width);
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return bytes;
}

TEST(PdfImages, OneBitBitmapBecomesIndexedWithAFullLookup) {
  Bitmap mono(3, 2, PixelFormat::pf1bit);
  mono.SetIndex(1, 0, 1);
  mono.SetIndex(2, 1, 1);
  auto image = CreatePdfImage("Pdf-Bitmap", Picture::FromBitmap(mono));
  std::string lookup = "<000000 FFFFFF ";
  for (int i = 2; i < 256; ++i) lookup += "000000 ";
  lookup += ">";
  EXPECT_EQ(WrittenBody(*image),
            "<<\r\n/Length 6\r\n/Filter []\r\n/Type /XObject\r\n/Subtype /Image\r\n"
            "/ColorSpace [/Indexed /DeviceRGB 255 " +
                lookup +
                " ]\r\n/Width 3\r\n/Height 2\r\n"
                "/BitsPerComponent 8\r\n>>\r\nstream\r\n" +
                std::string("\0\1\0\0\0\1", 6) + "\nendstream");
}

TEST(PdfImages, TrueColourBecomesRgbSamples) {
  Bitmap rgb(2, 1, PixelFormat::pf24bit);
  rgb.SetPixel(0, 0, graphics::clRed);
  rgb.SetPixel(1, 0, graphics::clBlue);
  auto image = CreatePdfImage("Pdf-Bitmap", Picture::FromBitmap(rgb));
  EXPECT_EQ(image->Data(), std::string("\xFF\0\0\0\0\xFF", 6));
  EXPECT_NE(WrittenBody(*image).find("/Length 6\r\n"), std::string::npos);
  EXPECT_EQ(image->Attributes().NameOf("ColorSpace")->Value(), "DeviceRGB");

  // 32 bits: the fourth byte is dropped; 16 bits: widened to 8 bits a channel.
  Bitmap wide(1, 2, PixelFormat::pf32bit);
  wide.SetPixel(0, 1, graphics::RGB(1, 2, 3));
  EXPECT_EQ(CreatePdfImage("Pdf-Bitmap", Picture::FromBitmap(wide))->Data(),
            std::string("\0\0\0\1\2\3", 6));
  Bitmap hi(1, 1, PixelFormat::pf16bit);
  hi.SetPixel(0, 0, graphics::clWhite);
  EXPECT_EQ(CreatePdfImage("Pdf-Bitmap", Picture::FromBitmap(hi))->Data(), "\xFF\xFF\xFF");
}

TEST(PdfImages, JpegBytesPassThroughUnderDct) {
  const std::string bytes = graphics::EncodeJpeg(Bitmap(17, 5, PixelFormat::pf24bit), 80);
  auto image = CreatePdfImage("Pdf-Jpeg", Picture::FromJpegBytes(bytes));
  EXPECT_EQ(image->Data(), bytes);
  const std::string written = WrittenBody(*image);
  EXPECT_EQ(
      written.substr(0, written.find("stream")),
      "<<\r\n/Length " + std::to_string(bytes.size()) +
          "\r\n/Filter [/DCTDecode ]\r\n/Type /XObject\r\n/Subtype /Image\r\n"
          "/ColorSpace /DeviceRGB\r\n/Width 17\r\n/Height 5\r\n/BitsPerComponent 8\r\n>>\r\n");
}

// A grey JPEG declared as RGB is drawn as three skewed copies by readers; it is declared grey.
TEST(PdfImages, GreyJpegIsDeclaredGreyAndDrawnAsSuch) {
  ASSERT_TRUE(testing::ToolAvailable("pdftoppm"));
  const std::string bytes = GreyJpeg(64, 8);
  auto image = CreatePdfImage("Pdf-Jpeg", Picture::FromJpegBytes(bytes));
  EXPECT_EQ(image->Attributes().NameOf("ColorSpace")->Value(), "DeviceGray");

  TPdfDoc doc;
  doc.NewDoc();
  doc.AddPage();
  doc.Canvas().SetPageWidth(64);
  doc.Canvas().SetPageHeight(8);
  doc.AddXObject("G", std::move(image));
  doc.Canvas().DrawXObject(0, 0, 64, 8, "G");
  std::string file;
  doc.SaveToStream(file);
  ASSERT_TRUE(testing::IsValidPdf(file));
  const std::string pdf = testing::WriteTempFile(file);
  const auto run = testing::RunTool("pdftoppm -r 72 -gray " + testing::ShellQuote(pdf));
  std::filesystem::remove(pdf);
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  // A 64 x 8 grey map: the gradient rises from left to right along every row.
  const std::string head = "P5\n64 8\n255\n";
  ASSERT_EQ(run.out.substr(0, head.size()), head);
  const std::string pixels = run.out.substr(head.size());
  ASSERT_EQ(pixels.size(), 64u * 8u);
  for (int y = 0; y < 8; ++y) {
    const auto at = [&](int x) { return static_cast<unsigned char>(pixels[y * 64 + x]); };
    EXPECT_LT(at(2), 30) << "row " << y;
    EXPECT_GT(at(61), 220) << "row " << y;
    EXPECT_LT(at(20), at(40)) << "row " << y;
  }
}

TEST(PdfImages, WrongGraphicsAndCreatorsRaise) {
  const Picture bitmap = Picture::FromBitmap(Bitmap(1, 1, PixelFormat::pf24bit));
  try {
    CreatePdfImage("Pdf-Jpeg", bitmap);
    FAIL();
  } catch (const EPdfInvalidValue& e) {
    EXPECT_STREQ(e.what(), "only jpeg image is allowed.");
  }
  EXPECT_THROW(CreatePdfImage("Pdf-Jpeg", Picture()), EPdfInvalidValue);
  EXPECT_THROW(CreatePdfImage("Pdf-Bitmap", Picture()), EPdfInvalidImageFormat);
  EXPECT_THROW(CreatePdfImage("Pdf-Png", bitmap), EPdfInvalidValue);
  EXPECT_EQ(TPdfImageCreator().CreateImage(bitmap), nullptr);
}

class ImageNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.NewDoc();
    doc.AddPage();
  }
  void Add(const std::string& name) {
    doc.AddXObject(name, CreatePdfImage("Pdf-Bitmap",
                                        Picture::FromBitmap(Bitmap(1, 1, PixelFormat::pf24bit))));
  }
  TPdfDoc doc;
};

TEST_F(ImageNamesTest, BitmapNamesCountUpAndWrap) {
  SequenceRandom random({65533});
  EXPECT_EQ(ChooseBitmapImageName(doc, "PRImageX2", random), "PRImageX265533");
  Add("PRImageX265533");
  Add("PRImageX265534");
  EXPECT_EQ(ChooseBitmapImageName(doc, "PRImageX2", random), "PRImageX20");
}

TEST_F(ImageNamesTest, JpegNamesAreDrawnUntilFree) {
  SequenceRandom random({7, 7, 9});
  Add("E7");
  EXPECT_EQ(ChooseJpegImageName(doc, "E", random), "E9");
  SequenceRandom stuck({7});
  try {
    ChooseJpegImageName(doc, "E", stuck);
    FAIL();
  } catch (const EPdfException& e) {
    EXPECT_STREQ(e.what(), "image count over max value..");
  }
}

TEST_F(ImageNamesTest, SharedImageIsEmbeddedOnce) {
  const Picture picture = Picture::FromJpegBytes(GreyJpeg(8, 8));
  SequenceRandom random({1, 2, 3});
  const std::size_t before = doc.ObjectMgr().ItemCount();
  for (int page = 0; page < 3; ++page) {
    const std::string name =
        PrepareElementImage(doc, picture, "PRJpegImage1", true, kJpegCreator, random);
    EXPECT_EQ(name, "PRJpegImage1");
    doc.Canvas().DrawXObject(0, 0, 8, 8, name);
    doc.AddPage();
  }
  // Three pages and their contents, one image.
  EXPECT_EQ(doc.ObjectMgr().ItemCount(), before + 1 + 3 * 2);
  // An unshared element with the same picture (a logo on every row of a series) draws it again.
  const std::string unshared =
      PrepareElementImage(doc, picture, "PRJpegImage2", false, kJpegCreator, random);
  EXPECT_EQ(unshared, "PRJpegImage1");
  EXPECT_EQ(doc.ObjectMgr().ItemCount(), before + 1 + 3 * 2);
}

// Element names come from project files, where a length byte longer than its text leaves NUL
// bytes in the name. The images still get names a PDF can hold, never empty, and two elements
// whose names differ only in NUL bytes do not share one image name for two pictures.
TEST_F(ImageNamesTest, NulBytesInElementNamesNeverReachThePdf) {
  const std::string padded("Bild1\0\0\0", 8);
  const std::string onlyNul(2, '\0');
  EXPECT_EQ(ImageNameBase(padded), "Bild1");
  EXPECT_EQ(ImageNameBase(onlyNul), "Image");
  EXPECT_EQ(ImageNameBase(""), "Image");

  Bitmap red(2, 2, PixelFormat::pf24bit), blue(2, 2, PixelFormat::pf24bit);
  red.FillRect(0, 0, 2, 2, graphics::clRed);
  blue.FillRect(0, 0, 2, 2, graphics::clBlue);
  const Picture jpeg = Picture::FromJpegBytes(GreyJpeg(8, 8));
  SequenceRandom random({41, 42, 43, 44});
  TPdfCanvas& canvas = doc.Canvas();
  auto draw = [&](const Picture& picture, const std::string& element, bool shared,
                  std::string_view creator) {
    const std::string name = PrepareElementImage(doc, picture, element, shared, creator, random);
    canvas.DrawXObject(0, 0, 10, 10, name);
    return name;
  };
  EXPECT_EQ(draw(jpeg, padded, true, kJpegCreator), "Bild1");
  EXPECT_EQ(draw(jpeg, "Bild1", true, kJpegCreator), "Bild1");  // the same picture: shared
  EXPECT_EQ(draw(Picture::FromBitmap(red), padded, true, kBitmapCreator), "Bild141");
  EXPECT_EQ(draw(Picture::FromBitmap(blue), onlyNul, true, kBitmapCreator), "Image");
  Bitmap green(2, 2, PixelFormat::pf24bit);
  green.FillRect(0, 0, 2, 2, graphics::clGray);
  EXPECT_EQ(draw(Picture::FromBitmap(green), onlyNul, false, kBitmapCreator), "Image42");
  EXPECT_EQ(draw(Picture::FromJpegBytes(GreyJpeg(4, 4)), onlyNul, false, kJpegCreator), "Image43");

  std::string file;
  doc.SaveToStream(file);
  EXPECT_EQ(file.find("#00"), std::string::npos);
  EXPECT_TRUE(testing::IsValidPdf(file));
}

// Every kind of image in one file: qpdf accepts it, and pdfimages gives back the JPEG byte for
// byte and the samples of the bitmaps.
TEST(PdfImages, ReadersGetTheImagesBack) {
  ASSERT_TRUE(testing::ToolAvailable("pdfimages"));
  Bitmap rgb(3, 2, PixelFormat::pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) rgb.SetPixel(x, y, graphics::RGB(x * 100, y * 200, 7));
  Bitmap indexed(2, 2, PixelFormat::pf8bit);
  indexed.SetPalette({{10, 20, 30}, {200, 100, 0}});
  indexed.SetIndex(1, 0, 1);
  indexed.SetIndex(0, 1, 1);
  const std::string jpeg = graphics::EncodeJpeg(rgb, 90);

  TPdfDoc doc;
  doc.NewDoc();
  doc.AddPage();
  SequenceRandom random({0});
  TPdfCanvas& canvas = doc.Canvas();
  canvas.DrawXObject(
      10, 10, 30, 20,
      PrepareElementImage(doc, Picture::FromJpegBytes(jpeg), "J", true, kJpegCreator, random));
  canvas.DrawXObject(
      50, 10, 30, 20,
      PrepareElementImage(doc, Picture::FromBitmap(rgb), "R", true, kBitmapCreator, random));
  canvas.DrawXObjectEx(
      90, 10, 20, 20, 90, 10, 10, 10,
      PrepareElementImage(doc, Picture::FromBitmap(indexed), "I", true, kBitmapCreator, random));
  std::string file;
  doc.SaveToStream(file);
  ASSERT_TRUE(testing::IsValidPdf(file));

  const auto dir = testing::FreshTestFolder("pdfimages_test_");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string pdf = testing::WriteTempFile(file);
  const auto run = testing::RunTool("pdfimages -j " + testing::ShellQuote(pdf) + " " +
                                    testing::ShellQuote((dir / "img").string()));
  std::filesystem::remove(pdf);
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  auto read = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(read(dir / "img-000.jpg"), jpeg);
  std::string rgbSamples;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      rgbSamples += {static_cast<char>(x * 100), static_cast<char>(y * 200), 7};
  EXPECT_EQ(read(dir / "img-001.ppm"), "P6\n3 2\n255\n" + rgbSamples);
  EXPECT_EQ(read(dir / "img-002.ppm"),
            "P6\n2 2\n255\n" + std::string("\x0A\x14\x1E\xC8\x64\x00\xC8\x64\x00\x0A\x14\x1E", 12));
  std::filesystem::remove_all(dir);
}

// A picture of many kilobytes is written from where its bytes are, not copied into the file's
// text: the pieces give the very file the text gives, and the file on disk is that too.
TEST(PdfImages, LargePicturesGoOutUncopiedAndTheFileIsTheSame) {
  Bitmap noise(400, 300, PixelFormat::pf24bit);
  std::uint32_t state = 7;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) {
      state = state * 1664525u + 1013904223u;
      noise.SetPixel(x, y, graphics::RGB(state >> 24, state >> 16, state >> 8));
    }
  const std::string large = graphics::EncodeJpeg(noise, 95);
  ASSERT_GT(large.size(), 64u * 1024);
  const std::string small = graphics::EncodeJpeg(Bitmap(8, 8, PixelFormat::pf24bit), 80);

  // The three saves below compare their bytes, so the time stamp must not tick between them.
  const FixedClock clock(LocalDateTime{2026, 12, 7, 10, 0, 0, 0});
  TPdfDoc doc(clock);
  doc.NewDoc();
  doc.AddPage();
  SequenceRandom random({0, 1});
  doc.Canvas().DrawXObject(
      0, 0, 40, 30,
      PrepareElementImage(doc, Picture::FromJpegBytes(large), "Gross", true, kJpegCreator, random));
  doc.Canvas().DrawXObject(
      50, 0, 8, 8,
      PrepareElementImage(doc, Picture::FromJpegBytes(small), "Klein", true, kJpegCreator, random));

  std::string whole;
  doc.SaveToStream(whole);
  std::string text;
  std::vector<std::string_view> pieces;
  doc.SaveToPieces(text, pieces);
  std::string joined;
  for (std::string_view piece : pieces) joined += piece;
  EXPECT_EQ(joined, whole);
  EXPECT_LT(text.size(), 16u * 1024);  // the large bytes are not in it
  ASSERT_TRUE(testing::IsValidPdf(whole));
  const auto file = std::filesystem::path(::testing::TempDir()) / "pieces_test.pdf";
  doc.SaveToFile(file);
  EXPECT_EQ(ReadFile(file, 1 << 20), whole);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace quirabel::pdf

#include "graphics/jpeg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "graphics/picture.h"

namespace quirabel::graphics {
namespace {

::testing::AssertionResult ColourNear(TColor actual, TColor expected, int tolerance = 24) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(((actual >> shift) & 0xFF) - ((expected >> shift) & 0xFF)) > tolerance) {
      return ::testing::AssertionFailure() << std::hex << actual << " instead of " << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

Bitmap Noise(int width, int height) {
  Bitmap bitmap(width, height, PixelFormat::pf24bit);
  unsigned seed = 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245 + 12345;
      bitmap.SetPixel(x, y, RGB(200 + (seed >> 16) % 56, (seed >> 8) % 40, (seed >> 20) % 40));
    }
  }
  return bitmap;
}

// A square picture (8x8 unless told) of one pixel value written straight through libjpeg, for
// files EncodeJpeg never makes. scans > 0 makes it progressive: one DC scan, then AC coefficients
// one at a time in six successive-approximation steps each. restartRows puts restart markers
// into the scan data after so many rows of blocks.
std::string EncodeRaw(J_COLOR_SPACE inSpace, const std::vector<JSAMPLE>& pixel,
                      J_COLOR_SPACE fileSpace, bool adobeMarker = true, int scans = 0, int side = 8,
                      unsigned restartRows = 0) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = cinfo.image_height = static_cast<JDIMENSION>(side);
  cinfo.input_components = static_cast<int>(pixel.size());
  cinfo.in_color_space = inSpace;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, fileSpace);
  jpeg_set_quality(&cinfo, 95, TRUE);
  cinfo.write_Adobe_marker = adobeMarker;
  cinfo.restart_in_rows = static_cast<int>(restartRows);
  std::vector<jpeg_scan_info> script = {{3, {0, 1, 2}, 0, 0, 0, 0}};
  for (int i = 0; static_cast<int>(script.size()) < scans; ++i) {
    const int al = 5 - i % 6;
    script.push_back({1, {i / 378}, i / 6 % 63 + 1, i / 6 % 63 + 1, al == 5 ? 0 : al + 1, al});
  }
  if (scans > 0) {
    cinfo.scan_info = script.data();
    cinfo.num_scans = scans;
  }
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row;
  for (int x = 0; x < side; ++x) row.insert(row.end(), pixel.begin(), pixel.end());
  for (JSAMPROW rows[] = {row.data()}; cinfo.next_scanline < cinfo.image_height;)
    jpeg_write_scanlines(&cinfo, rows, 1);
  jpeg_finish_compress(&cinfo);
  std::string result(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  jpeg_destroy_compress(&cinfo);
  return result;
}

TEST(JpegTest, EncodeDecodeRoundTrip) {
  Bitmap bitmap(16, 16, PixelFormat::pf24bit);
  bitmap.FillRect(0, 0, 8, 8, RGB(220, 30, 30));
  bitmap.FillRect(8, 0, 16, 8, RGB(30, 200, 40));
  bitmap.FillRect(0, 8, 8, 16, RGB(20, 40, 210));
  bitmap.FillRect(8, 8, 16, 16, clWhite);
  const std::string jpeg = EncodeJpeg(bitmap, 90);
  EXPECT_NE(jpeg.find("JFIF"), std::string::npos);
  const JpegInfo info = ReadJpegInfo(jpeg);
  EXPECT_EQ(info.width, 16);
  EXPECT_EQ(info.height, 16);
  EXPECT_EQ(info.components, 3);
  EXPECT_EQ(info.colorModel, JpegColorModel::YCbCr);
  const Bitmap decoded = DecodeJpeg(jpeg);
  ASSERT_EQ(decoded.Width(), 16);
  ASSERT_EQ(decoded.Height(), 16);
  for (auto [x, y] : {std::pair{3, 3}, {12, 3}, {3, 12}, {12, 12}}) {
    EXPECT_TRUE(ColourNear(decoded.Pixel(x, y), bitmap.Pixel(x, y))) << x << "," << y;
  }

  Bitmap indexed(8, 8, PixelFormat::pf8bit);
  indexed.SetPalette({{250, 200, 10}});
  EXPECT_TRUE(ColourNear(DecodeJpeg(EncodeJpeg(indexed)).Pixel(4, 4), RGB(250, 200, 10)));
  EXPECT_THROW(EncodeJpeg(Bitmap()), ImageError);
}

TEST(JpegTest, ScaledDecodeRoundsSizesUp) {
  Bitmap bitmap(37, 21, PixelFormat::pf24bit);
  bitmap.FillRect(0, 0, 37, 21, RGB(40, 120, 200));
  const std::string jpeg = EncodeJpeg(bitmap);
  for (auto [denom, width, height] : {std::tuple{1, 37, 21}, {2, 19, 11}, {4, 10, 6}, {8, 5, 3}}) {
    const Bitmap decoded = DecodeJpeg(jpeg, denom);
    EXPECT_EQ(decoded.Width(), width) << denom;
    EXPECT_EQ(decoded.Height(), height) << denom;
    EXPECT_TRUE(ColourNear(decoded.Pixel(width - 1, height - 1), RGB(40, 120, 200))) << denom;
  }
  for (int denom : {0, 3, 16, -2}) EXPECT_THROW(DecodeJpeg(jpeg, denom), ImageError) << denom;
}

TEST(JpegTest, GreyCmykAndYcckBecomeRgb) {
  // Ink: no cyan, full magenta, no yellow, half black; files with an Adobe marker store 255 - ink.
  const std::vector<JSAMPLE> ink = {0, 255, 0, 128}, inverted = {255, 0, 255, 127};
  const TColor purple = RGB(127, 0, 127);
  struct Case {
    std::string jpeg;
    int components;
    JpegColorModel model;
    TColor colour;
  };
  for (const Case& test :
       {Case{EncodeRaw(JCS_GRAYSCALE, {200}, JCS_GRAYSCALE), 1, JpegColorModel::Gray,
             RGB(200, 200, 200)},
        Case{EncodeRaw(JCS_CMYK, inverted, JCS_CMYK), 4, JpegColorModel::Cmyk, purple},
        Case{EncodeRaw(JCS_CMYK, ink, JCS_CMYK, false), 4, JpegColorModel::Cmyk, purple},
        Case{EncodeRaw(JCS_CMYK, inverted, JCS_YCCK), 4, JpegColorModel::Ycck, purple}}) {
    const JpegInfo info = ReadJpegInfo(test.jpeg);
    EXPECT_EQ(info.components, test.components);
    EXPECT_EQ(info.colorModel, test.model);
    const TColor colour = DecodeJpeg(test.jpeg).Pixel(4, 4);
    EXPECT_TRUE(ColourNear(colour, test.colour, 3));
    if (test.components == 1) {  // grey stays grey, not just close to it
      EXPECT_EQ(colour, RGB(GetRValue(colour), GetRValue(colour), GetRValue(colour)));
    }
  }
}

TEST(JpegTest, ScaleDenomForTarget) {
  const JpegInfo info{1001, 801, 3, JpegColorModel::YCbCr};
  const std::tuple<int, int, int> cases[] = {
      {0, 0, 1},     {100, 0, 1},  {126, 101, 8},  {127, 20, 4}, {20, 102, 4},
      {501, 401, 2}, {502, 10, 1}, {5000, 5000, 1}};  // ceil(1001 / 8) = 126, ceil(801 / 8) = 101
  for (auto [width, height, denom] : cases) {
    EXPECT_EQ(JpegScaleDenomFor(info, width, height), denom) << width << "x" << height;
  }
}

TEST(JpegTest, BadInputIsImageError) {
  const std::string good = EncodeJpeg(Noise(16, 16));
  const std::size_t sof = good.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  std::string zeroWidth = good, huge = good;
  zeroWidth.replace(sof + 7, 2, std::string(2, '\0'));
  huge.replace(sof + 5, 4, "\xFD\xE8\xFD\xE8");  // 65000 x 65000
  const std::string noise(reinterpret_cast<const char*>(Noise(20, 20).Pixels().data()), 1200);
  for (const std::string& bad : {std::string(), std::string("\xFF\xD8"), noise, good.substr(0, 30),
                                 zeroWidth, std::string("\xFF\xD8\xFF\xD9")}) {
    EXPECT_THROW(ReadJpegInfo(bad), ImageError) << bad.size();
    EXPECT_THROW(DecodeJpeg(bad), ImageError) << bad.size();
  }
  // A huge header is reported, but refused before anything is decoded.
  EXPECT_EQ(ReadJpegInfo(huge).width, 65000);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(DecodeJpeg(huge, 8), ImageError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(JpegTest, TruncatedDataDecodesWithGreyRest) {
  const std::string jpeg = EncodeJpeg(Noise(64, 64), 95);
  const std::size_t data = jpeg.find("\xFF\xDA");
  const Bitmap decoded = DecodeJpeg(jpeg.substr(0, data + (jpeg.size() - data) / 2));
  ASSERT_EQ(decoded.Height(), 64);
  EXPECT_TRUE(ColourNear(decoded.Pixel(2, 2), RGB(228, 20, 20), 60));
  EXPECT_TRUE(ColourNear(decoded.Pixel(60, 63), RGB(128, 128, 128), 2));
}

TEST(JpegTest, ProgressiveScanCountIsLimited) {
  const std::vector<JSAMPLE> pixel = {200, 100, 50};
  EXPECT_TRUE(ColourNear(
      DecodeJpeg(EncodeRaw(JCS_RGB, pixel, JCS_YCbCr, true, kMaxJpegScans)).Pixel(4, 4),
      RGB(200, 100, 50)));
  const std::string absurd = EncodeRaw(JCS_RGB, pixel, JCS_YCbCr, true, kMaxJpegScans + 1);
  EXPECT_EQ(ReadJpegInfo(absurd).width, 8);
  EXPECT_THROW(DecodeJpeg(absurd), ImageError);
}

// The same file claiming another size in its frame header: the structure walk does not look at
// the scan data, and the budget must refuse before any decoder does.
std::string Claiming(std::string jpeg, unsigned width, unsigned height) {
  std::size_t sof = jpeg.find("\xFF\xC2");
  if (sof == std::string::npos) sof = jpeg.find("\xFF\xC0");
  EXPECT_NE(sof, std::string::npos);
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height & 0xFF);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width & 0xFF);
  return jpeg;
}

// A four-component file whose frame header claims a fifth component (as libjpeg writes none).
std::string FiveComponents(std::string jpeg) {
  const std::size_t sof = jpeg.find("\xFF\xC0");
  EXPECT_NE(sof, std::string::npos);
  jpeg[sof + 3] = static_cast<char>(jpeg[sof + 3] + 3);  // the length, below 256 here
  jpeg[sof + 9] = 5;
  jpeg.insert(sof + 10 + 3 * 4, std::string("\x05\x11\x00", 3));
  return jpeg;
}

// Small files whose decoding would cost a gigabyte or a minute: refused from their structure when
// a picture is made of them, with the German reason; their sound neighbours pass.
TEST(JpegBudget, ComponentsScansAndCoefficientsAreCheckedBeforeDecoding) {
  const std::string colour20 = EncodeRaw(JCS_RGB, {1, 2, 3}, JCS_YCbCr, true, 20);
  const std::string colour100 = EncodeRaw(JCS_RGB, {1, 2, 3}, JCS_YCbCr, true, 100);
  const std::string baseline = EncodeRaw(JCS_GRAYSCALE, {90}, JCS_GRAYSCALE);
  const struct {
    const char* what;
    std::string bytes;
    const char* problem;  // nullptr: within the budget
  } cases[] = {
      {"five components", FiveComponents(EncodeRaw(JCS_CMYK, {0, 255, 0, 128}, JCS_YCCK)),
       "5 Farbkanäle"},
      {"four components", EncodeRaw(JCS_CMYK, {0, 255, 0, 128}, JCS_YCCK), nullptr},
      {"scans over the limit", EncodeRaw(JCS_RGB, {1, 2, 3}, JCS_YCbCr, true, kMaxJpegScans + 1),
       "Teilbildern"},
      {"progressive, 20000 x 20000", Claiming(colour20, 20000, 20000), "MiB Arbeitsspeicher"},
      {"progressive, 8000 x 8000, 100 scans", Claiming(colour100, 8000, 8000), "zu viele Teilbilder"},
      {"progressive, 8000 x 8000, 20 scans", Claiming(colour20, 8000, 8000), nullptr},
      {"baseline, 20000 x 20000", Claiming(baseline, 20000, 20000), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string problem = JpegBudgetProblem(CheckJpegStructure(c.bytes));
    if (c.problem == nullptr) {
      EXPECT_EQ(problem, "");
      continue;
    }
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    try {
      Picture::FromJpegBytes(c.bytes);
      ADD_FAILURE() << "accepted";
    } catch (const ImageError& e) {
      EXPECT_EQ(e.what(), problem);
    }
  }
}

// A marker segment: FF, the marker, a two-byte length counting itself, the body.
std::string Segment(unsigned char marker, std::string_view body) {
  const std::size_t length = body.size() + 2;
  return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                     static_cast<char>(length & 0xFF)} +
         std::string(body);
}

// Where a marker first appears; fails the test when it does not.
std::size_t MarkerAt(const std::string& jpeg, unsigned char marker) {
  const std::size_t at = jpeg.find(std::string{'\xFF', static_cast<char>(marker)});
  EXPECT_NE(at, std::string::npos) << std::hex << int{marker};
  return at;
}

std::string ImageErrorOf(std::string_view bytes) {
  try {
    CheckJpegStructure(bytes);
  } catch (const ImageError& e) {
    return e.what();
  }
  return "no error";
}

TEST(JpegStructure, WholeFilesOfEveryKindPass) {
  const std::string baseline = EncodeJpeg(Noise(37, 21), 90);
  const std::string restarts = EncodeRaw(JCS_GRAYSCALE, {90}, JCS_GRAYSCALE, true, 0, 64, 1);
  const std::string progressive = EncodeRaw(JCS_RGB, {200, 100, 50}, JCS_YCbCr, true, 20, 24);
  const std::string cmyk = EncodeRaw(JCS_CMYK, {0, 255, 0, 128}, JCS_YCCK, true, 0, 16);
  ASSERT_NE(restarts.find("\xFF\xD0"), std::string::npos);  // the walk must step over RSTn
  const struct {
    const std::string& bytes;
    int width, height, components, scans;
  } cases[] = {{baseline, 37, 21, 3, 1},
               {restarts, 64, 64, 1, 1},
               {progressive, 24, 24, 3, 20},
               {cmyk, 16, 16, 4, 1}};
  for (const auto& c : cases) {
    const JpegLayout layout = CheckJpegStructure(c.bytes);
    EXPECT_EQ(layout.width, c.width);
    EXPECT_EQ(layout.height, c.height);
    EXPECT_EQ(layout.components, c.components);
    EXPECT_EQ(layout.scans, c.scans);
    EXPECT_EQ(layout.end, c.bytes.size());
  }

  // Fill bytes before markers, a comment after the scan and data after EOI are all allowed.
  std::string lenient = baseline;
  lenient.insert(MarkerAt(lenient, 0xD9), "\xFF\xFF" + Segment(0xFE, "nach dem Scan"));
  lenient.insert(MarkerAt(lenient, 0xC0), "\xFF\xFF\xFF");
  const std::size_t end = lenient.size();
  lenient += "Vorschaubild und Kameradaten";
  const JpegLayout layout = CheckJpegStructure(lenient);
  EXPECT_EQ(layout.end, end);
  EXPECT_EQ(layout.width, 37);
}

TEST(JpegStructure, EveryCutFileIsRefused) {
  // Every proper prefix lacks at least the end marker, wherever the cut falls: in a segment, its
  // length, the scan data, between a 0xFF and what follows it, between scans.
  for (const std::string& whole : {EncodeJpeg(Noise(16, 16), 95),
                                   EncodeRaw(JCS_GRAYSCALE, {90}, JCS_GRAYSCALE, true, 0, 32, 1),
                                   EncodeRaw(JCS_RGB, {200, 100, 50}, JCS_YCbCr, true, 12, 16)}) {
    for (std::size_t size = 0; size < whole.size(); ++size) {
      const std::string message = ImageErrorOf(std::string_view(whole).substr(0, size));
      EXPECT_TRUE(message.starts_with("Das JPEG-Bild ist abgeschnitten: ") ||
                  (size < 2 && message.starts_with("Das JPEG-Bild ist beschädigt: ")))
          << size << " of " << whole.size() << ": " << message;
    }
  }
  // And a picture made from one is refused, not kept to be embedded as it is.
  const std::string good = EncodeJpeg(Noise(16, 16), 95);
  EXPECT_THROW(Picture::FromJpegBytes(good.substr(0, good.size() - 2)), ImageError);
  EXPECT_THROW(Picture::FromBytes(good.substr(0, good.size() / 2)), ImageError);
}

TEST(JpegStructure, BrokenFilesAreRefused) {
  const std::string good = EncodeJpeg(Noise(16, 16), 90);
  const std::size_t sof = MarkerAt(good, 0xC0), sos = MarkerAt(good, 0xDA);
  const std::size_t eoi = good.size() - 2;
  auto with = [&](std::size_t at, std::size_t erase, std::string_view insert) {
    std::string bytes = good;
    bytes.replace(at, erase, insert);
    return bytes;
  };
  const std::string sofSegment = good.substr(sof, 2 + 17);  // 8 + 3 x 3 components
  std::string threeComponentsClaimedFour = sofSegment;
  threeComponentsClaimedFour[9] = 4;
  std::string noScanComponents = good.substr(sos, 2 + 12);  // 6 + 2 x 3 components
  noScanComponents[4] = 0;

  const struct {
    std::string bytes;
    const char* why;
  } cases[] = {
      {std::string("\xFF\xD8\xFF\xD9", 4), "es enthält keine Bilddaten"},
      {"GIF89a", "der Bildanfang (SOI) fehlt"},
      {with(sof, 0, "xy"), "zwischen zwei Abschnitten stehen fremde Bytes"},
      {with(sof, 0, std::string("\xFF\x00", 2)), "ein Markierungszeichen ist ungültig"},
      {with(sof, 0, "\xFF\xD8"), "das Bild beginnt ein zweites Mal"},
      {with(sof, 0, std::string("\xFF\xFE\x00\x01", 4)), "ein Abschnitt hat eine ungültige Länge"},
      {with(sof, 0, sofSegment), "es hat zwei Bildköpfe"},
      {with(sof, sofSegment.size(), threeComponentsClaimedFour),
       "der Bildkopf (SOF) ist fehlerhaft"},
      {with(sos, noScanComponents.size(), noScanComponents), "ein Scan-Kopf (SOS) ist fehlerhaft"},
      {with(sof, 0, good.substr(sos, eoi - sos)), "Bilddaten stehen vor dem Bildkopf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImageErrorOf(c.bytes), std::string("Das JPEG-Bild ist beschädigt: ") + c.why + ".")
        << c.why;
  }
}

// The tags that end blocks of a project file must not reach it inside a picture.
const std::string_view kProjectTags[] = {"</kxelement>", "</kxpaymerk>", "</endoffile>"};

TEST(JpegTags, SegmentsHoldingATagAreRemovedAndTheRestKeptByteForByte) {
  const std::string plain = EncodeJpeg(Noise(16, 16), 90);
  const std::string exif = Segment(0xE1, std::string("Exif\0\0Titel: </kxelement>", 25));
  const std::string comment = Segment(0xFE, "Ende: </endoffile> und mehr");
  const std::string keptApp = Segment(0xE2, "ICC_PROFILE harmless");
  const std::string keptComment = Segment(0xFE, "kxelement ohne Klammern");
  const std::string lateComment = Segment(0xFE, "</kxpaymerk>");
  std::string jpeg = plain;
  jpeg.insert(2, exif + keptApp + comment + keptComment);
  jpeg.insert(jpeg.size() - 2, lateComment);  // after the scan data, before EOI

  std::string expected = plain;
  expected.insert(2, keptApp + keptComment);
  const JpegWithoutTags cleaned = RemoveSegmentsHolding(jpeg, kProjectTags);
  EXPECT_EQ(cleaned.result, JpegTagRemoval::SegmentsRemoved);
  EXPECT_EQ(cleaned.removedSegments, 3);
  EXPECT_EQ(cleaned.bytes, expected);

  // Data after EOI goes when it holds a tag, and stays when it does not.
  const JpegWithoutTags trailing =
      RemoveSegmentsHolding(plain + "Kamera </kxelement>", kProjectTags);
  EXPECT_EQ(trailing.result, JpegTagRemoval::SegmentsRemoved);
  EXPECT_EQ(trailing.bytes, plain);
  const std::string harmless = plain + keptComment + "anhang";
  const JpegWithoutTags untouched = RemoveSegmentsHolding(harmless, kProjectTags);
  EXPECT_EQ(untouched.result, JpegTagRemoval::Unchanged);
  EXPECT_EQ(untouched.removedSegments, 0);
  EXPECT_EQ(untouched.bytes, "");

  // An empty forbidden string would be everywhere; it is no forbidden string.
  const std::string_view empty[] = {""};
  EXPECT_EQ(RemoveSegmentsHolding(jpeg, empty).result, JpegTagRemoval::Unchanged);
}

TEST(JpegTags, TagsInTheImageDataAreReported) {
  const std::string plain = EncodeJpeg(Noise(16, 16), 90);
  // Eight quantisation values spelling a tag: a valid table, but not one to remove.
  const std::size_t dqt = MarkerAt(plain, 0xDB);
  std::string inTable = plain;
  inTable.replace(dqt + 5, 12, kProjectTags[1]);
  // Scan data may hold any byte but 0xFF.
  std::string inScan = plain;
  const std::size_t scan = MarkerAt(plain, 0xDA) + 2 + 12;
  inScan.insert(scan + 3, kProjectTags[0]);
  // A removable comment beside it changes nothing about that.
  std::string alsoInComment = inScan;
  alsoInComment.insert(2, Segment(0xFE, kProjectTags[2]));
  for (const std::string& bytes : {inTable, inScan, alsoInComment}) {
    ASSERT_EQ(ImageErrorOf(bytes), "no error");
    const JpegWithoutTags result = RemoveSegmentsHolding(bytes, kProjectTags);
    EXPECT_EQ(result.result, JpegTagRemoval::TagInImageData);
    EXPECT_EQ(result.bytes, "");
  }
  const std::string cut = plain.substr(0, plain.size() - 1);
  EXPECT_THROW(RemoveSegmentsHolding(cut, kProjectTags), ImageError);
}

// The walk that watches for a tag shows every place it starts before the end, wherever it stands
// (segments, scan data on both sides of a 32-byte stride, across the start of the scan), never
// after EOI, and ends as the plain walk does; a place refused ends it without a layout.
TEST(JpegTags, TheWatchedWalkShowsEveryTagBeforeTheEnd) {
  const std::string tag(kProjectTags[0]);
  const std::string plain = EncodeJpeg(Noise(64, 64), 95);
  const std::size_t scan = MarkerAt(plain, 0xDA) + 2 + 12;
  // Scan data takes any bytes that do not follow a 0xFF.
  auto inScan = [&](std::string bytes, std::vector<std::size_t> offsets) {
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
      std::size_t at = scan + *it;
      while (bytes[at - 1] == '\xFF') ++at;
      bytes.insert(at, tag);
    }
    return bytes;
  };
  // The walk does not read the scan header's last three bytes: a tag may begin there.
  std::string acrossScanStart = plain;
  acrossScanStart.replace(scan - 3, 3, "</k");
  acrossScanStart.insert(scan, "xelement>");
  const std::string restarts = EncodeRaw(JCS_GRAYSCALE, {90}, JCS_GRAYSCALE, true, 0, 64, 1);
  const std::string cases[] = {
      plain,
      plain + tag,
      Segment(0xFE, tag).insert(0, plain.substr(0, 2)) + plain.substr(2),
      inScan(plain, {1, 20, 31, 32, 33, 64, 200, 201, 1000}),
      inScan(plain + tag + tag, {5, 6, 7}),
      restarts.substr(0, restarts.size() - 2) + tag + restarts.substr(restarts.size() - 2),
      acrossScanStart,
      plain.substr(0, plain.size() - 1),
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(::testing::PrintToString(bytes.size()));
    std::vector<std::size_t> shown;
    std::optional<JpegLayout> watched;
    const std::string error = [&] {
      try {
        watched = CheckJpegStructureWatching(bytes, tag, [&](std::size_t at) {
          shown.push_back(at);
          return true;
        });
      } catch (const ImageError& e) {
        return std::string(e.what());
      }
      return std::string("no error");
    }();
    ASSERT_EQ(error, ImageErrorOf(bytes));
    if (error != "no error") continue;
    ASSERT_TRUE(watched);
    const JpegLayout layout = CheckJpegStructure(bytes);
    EXPECT_EQ(watched->end, layout.end);
    EXPECT_EQ(watched->scans, layout.scans);
    std::vector<std::size_t> expected;
    for (std::size_t at = bytes.find(tag); at < layout.end; at = bytes.find(tag, at + 1))
      expected.push_back(at);
    EXPECT_EQ(shown, expected);
    if (expected.empty()) continue;
    std::size_t asked = 0;
    EXPECT_FALSE(CheckJpegStructureWatching(bytes, tag, [&](std::size_t at) {
      ++asked;
      return at != expected.front();
    }));
    EXPECT_EQ(asked, 1u);
  }
}

}  // namespace
}  // namespace quirabel::graphics

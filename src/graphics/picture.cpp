#include "graphics/picture.h"

#include "base/atomic_file.h"
#include "graphics/bmp.h"

namespace quirabel::graphics {

JpegImage JpegImage::FromBytes(SharedBytes bytes) {
  const JpegLayout layout = CheckJpegStructure(bytes.View());
  return FromCheckedBytes(std::move(bytes), layout);
}

JpegImage JpegImage::FromCheckedBytes(SharedBytes bytes, const JpegLayout& checked) {
  // Over the budget, a picture is refused before a decoder (ours or a PDF reader's) sees it.
  if (std::string problem = JpegBudgetProblem(checked); !problem.empty())
    throw ImageError(problem);
  JpegImage image;
  image.info_ = ReadJpegInfo(bytes.View());
  image.bytes_ = std::move(bytes);
  return image;
}

JpegImage JpegImage::FromBitmap(const Bitmap& bitmap, int quality) {
  return FromBytes(EncodeJpeg(bitmap, quality));
}

Picture Picture::FromBitmap(Bitmap bitmap) {
  Picture picture;
  picture.bitmap_ = std::make_shared<const Bitmap>(std::move(bitmap));
  return picture;
}

Picture Picture::FromPngBitmap(Bitmap bitmap) {
  Picture picture = FromBitmap(std::move(bitmap));
  picture.fromPng_ = true;
  return picture;
}

Picture Picture::FromJpeg(JpegImage jpeg) {
  Picture picture;
  picture.jpeg_ = std::make_shared<const JpegImage>(std::move(jpeg));
  return picture;
}

Picture Picture::FromBmpBytes(SharedBytes bytes) {
  Picture picture = FromBitmap(ReadBmp(bytes.View()));
  picture.source_ = std::move(bytes);
  return picture;
}

Picture Picture::FromSampledBmpBytes(SharedBytes bytes, BmpSampling sampling) {
  if (sampling.columnStep <= 1 && sampling.rowStep <= 1) return FromBmpBytes(std::move(bytes));
  Picture picture = FromBitmap(ReadBmp(bytes.View(), sampling));
  const BmpInfo info = ReadBmpInfo(bytes.View());
  picture.sampledFromWidth_ = static_cast<int>(info.width);
  picture.sampledFromHeight_ = static_cast<int>(info.height);
  picture.source_ = std::move(bytes);
  return picture;
}

Picture Picture::FromJpegBytes(SharedBytes bytes) {
  Picture picture = FromJpeg(JpegImage::FromBytes(bytes));
  picture.source_ = std::move(bytes);
  return picture;
}

Picture Picture::FromCheckedJpegBytes(SharedBytes bytes, const JpegLayout& checked) {
  Picture picture = FromJpeg(JpegImage::FromCheckedBytes(bytes, checked));
  picture.source_ = std::move(bytes);
  return picture;
}

namespace {

bool IsBmp(std::string_view bytes) {
  return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

bool IsJpeg(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xD8;
}

}  // namespace

Picture Picture::FromBytes(SharedBytes bytes) {
  const std::string_view view = bytes.View();
  if (IsBmp(view)) return FromBmpBytes(std::move(bytes));
  if (IsJpeg(view)) return FromJpegBytes(std::move(bytes));
  throw ImageError("unknown picture format");
}

std::uint64_t DecodedPixels(std::string_view fileBytes) {
  if (IsBmp(fileBytes)) {
    const BmpInfo info = ReadBmpInfo(fileBytes);
    return static_cast<std::uint64_t>(info.width) * static_cast<std::uint64_t>(info.height);
  }
  if (IsJpeg(fileBytes)) {
    return DecodedPixels(CheckJpegStructure(fileBytes));
  }
  throw ImageError("unknown picture format");
}

std::uint64_t DecodedPixels(const JpegLayout& checked) {
  return static_cast<std::uint64_t>(checked.width) * static_cast<std::uint64_t>(checked.height);
}

std::uint64_t DecodedPixels(const Picture& picture) {
  return static_cast<std::uint64_t>(picture.Width()) * static_cast<std::uint64_t>(picture.Height());
}

Picture Picture::LoadFromFile(const std::filesystem::path& path) {
  return FromBytes(ReadFile(path, kMaxFileBytes));
}

GraphicKind Picture::Kind() const {
  if (bitmap_) return GraphicKind::Bitmap;
  if (jpeg_) return GraphicKind::Jpeg;
  return GraphicKind::None;
}

bool Picture::Empty() const {
  if (bitmap_) return bitmap_->Empty();
  if (jpeg_) return jpeg_->Empty();
  return true;
}

int Picture::Width() const {
  if (sampledFromWidth_ > 0) return sampledFromWidth_;
  if (bitmap_) return bitmap_->Width();
  if (jpeg_) return jpeg_->Width();
  return 0;
}

int Picture::Height() const {
  if (sampledFromHeight_ > 0) return sampledFromHeight_;
  if (bitmap_) return bitmap_->Height();
  if (jpeg_) return jpeg_->Height();
  return 0;
}

SharedBytes Picture::FileBytes() const {
  if (!source_.empty()) return source_;
  if (bitmap_) return bitmap_->Empty() ? SharedBytes() : SharedBytes(WriteBmp(*bitmap_));
  if (jpeg_) return jpeg_->Bytes();
  return {};
}

void Picture::SaveToFile(const std::filesystem::path& path) const {
  WriteFileAtomic(path, FileBytes().View());
}

const Bitmap& Picture::Pixels() const {
  if (bitmap_) return *bitmap_;
  if (!decoded_) {
    decoded_ = jpeg_ && !jpeg_->Empty() ? std::make_shared<const Bitmap>(jpeg_->Decode())
                                        : std::make_shared<const Bitmap>();
  }
  return *decoded_;
}

}  // namespace quirabel::graphics

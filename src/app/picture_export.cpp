#include "app/picture_export.h"

#include "app/application.h"
#include "app/command_boundary.h"
#include "base/atomic_file.h"
#include "base/module.h"
#include "designer/print_formats.h"

namespace quirabel::app {

namespace {

// The picture module, opened on first use: only pictures need poppler and cairo.
const ModuleTable<PictureModule>& Pictures() {
  static const ModuleTable<PictureModule> loaded =
      OpenModuleTable<PictureModule>(kPictureModuleFile, kPictureModuleEntry, kPictureModuleAbi);
  return loaded;
}

}  // namespace

bool ExportPicture(Application& application, const std::filesystem::path& file, PictureKind kind,
                   int page, double dpi, bool withBleed) {
  ui::Platform& platform = *application.GetPlatform();
  const ModuleTable<PictureModule>& pictures = Pictures();
  if (pictures.table == nullptr) {
    platform.ShowMessage("Das Bild ging nicht: " + pictures.problem + ".");
    return false;
  }
  if (page < 0 || page >= application.State().pageCount) {
    platform.ShowMessage("Eine Seite " + std::to_string(page + 1) + " gibt es nicht.");
    return false;
  }
  const std::optional<std::string> pdf = application.ExportPdfBytes();
  if (!pdf) return false;
  PictureRequest request;
  request.kind = kind;
  request.page = page;
  request.dpi = dpi;
  request.trim = application.State().orderDocument && !withBleed ? designer::kBleedPoints : 0;
  const PictureResult picture = pictures.table->drawPage(*pdf, request);
  if (!picture.problem.empty()) {
    platform.ShowMessage("Das Bild ging nicht: " + picture.problem + ".");
    return false;
  }
  return RunCommand(platform, [&] {
    WriteFileAtomic(file, picture.bytes);
    return true;
  });
}

}  // namespace quirabel::app

#include "base/module.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/sha256_module.h"
#include "mail/mail_fixtures.h"
#include "mail/smtp_module.h"
#include "support/data_field_project.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

// Where the build put the modules: the folder the programs find them in.
std::filesystem::path BuiltModuleFolder() {
  for (const std::filesystem::path& folder : ModuleFolders()) {
    if (std::filesystem::exists(folder / mail::kSmtpModuleFile)) return folder;
  }
  ADD_FAILURE() << "no module folder";
  return {};
}

// A missing, broken or stray module (of another build) is a sentence for the user, never a crash;
// a broken copy found first is reported rather than passed over for another.
TEST(ModuleTest, MissingOrBrokenModulesAreToldWhy) {
  const std::filesystem::path scratch = testing::FreshTestFolder("module_");
  const std::filesystem::path empty = scratch / "leer";
  const std::filesystem::path broken = scratch / "kaputt";
  std::filesystem::create_directories(empty);
  std::filesystem::create_directories(broken);
  std::ofstream(broken / mail::kSmtpModuleFile) << "kein Modul";
  const std::filesystem::path built = BuiltModuleFolder();

  struct Case {
    std::vector<std::filesystem::path> folders;
    const char* entry;
    std::string problemStart;  // empty: the entry is found
  };
  const std::string built_smtp = (built / mail::kSmtpModuleFile).string();
  for (const Case& c : {
           Case{{}, mail::kSmtpModuleEntry, "Das Modul smtp.so fehlt (gesucht in keinem Ordner)"},
           Case{{empty},
                mail::kSmtpModuleEntry,
                "Das Modul smtp.so fehlt (gesucht in " + empty.string() + ")"},
           Case{{empty, broken},
                mail::kSmtpModuleEntry,
                "Das Modul " + (broken / mail::kSmtpModuleFile).string() + " ist nicht ladbar: "},
           Case{{broken, built},
                mail::kSmtpModuleEntry,
                "Das Modul " + (broken / mail::kSmtpModuleFile).string() + " ist nicht ladbar: "},
           Case{{built}, "kein_eingang", "Das Modul " + built_smtp + " ist nicht ladbar: "},
           Case{{empty, built}, mail::kSmtpModuleEntry, ""},
       }) {
    const ModuleEntry opened = OpenModule(c.folders, mail::kSmtpModuleFile, c.entry);
    if (c.problemStart.empty()) {
      EXPECT_NE(opened.entry, nullptr) << opened.problem;
      EXPECT_EQ(opened.file, built / mail::kSmtpModuleFile);
    } else {
      EXPECT_EQ(opened.entry, nullptr);
      EXPECT_TRUE(opened.problem.starts_with(c.problemStart)) << opened.problem;
      // After "nicht ladbar: " comes the loader's reason.
      if (c.problemStart.ends_with(": ")) {
        EXPECT_GT(opened.problem.size(), c.problemStart.size()) << opened.problem;
      }
    }
  }
  const auto stray =
      OpenModuleTable<mail::SmtpModule>(mail::kSmtpModuleFile, mail::kSmtpModuleEntry, 0);
  EXPECT_EQ(stray.table, nullptr);
  EXPECT_TRUE(stray.problem.ends_with("smtp.so passt nicht zu diesem Programm")) << stray.problem;
  std::filesystem::remove_all(scratch);
}

// A copy of the batch tool without its modules: what needs none runs, and the commands that need
// one fail with the reason and write nothing.
TEST(ModuleTest, CommandsNeedOnlyTheirOwnModules) {
  const std::filesystem::path scratch = testing::FreshTestFolder("module_copy_");
  std::filesystem::create_directories(scratch / "bin");
  std::filesystem::copy_file(QUIRABEL_BATCH, scratch / "bin" / "quirabel-batch");
  std::filesystem::create_directories(scratch / "serie");
  testing::WriteText(scratch / "serie" / "Anna.pdf", testing::TinyPdf("Rechnung"));
  testing::WriteText(scratch / "kunden.csv", "Anna;anna@example.org\n");
  testing::WriteText(scratch / "text.txt", "Hallo\n");
  {
    testing::FakePlatform platform;
    app::Application application(platform, (scratch / "home").string());
    testing::SaveDataFieldProject(application, scratch / "serie.kxp", {"Vorname", "Name"});
  }
  testing::WriteText(scratch / "namen.csv", "Anna;Berg\nJ\xC3\xBCrgen;Gro\xC3\x9F\n");
  const auto path = [&](const char* name) {
    return testing::ShellQuote((scratch / name).string());
  };

  struct Case {
    std::string arguments;
    int exitCode;
    std::string message;
  };
  for (const Case& c : {
           Case{"new --din A6 -o " + path("karte.kxp"), 0, ""},
           Case{"info " + path("karte.kxp"), 0, ""},
           Case{"thumbnail " + path("karte.kxp") + " " + path("karte.png"), 1,
                "quirabel-batch: Die Vorschau der ersten Seite ging nicht: Das Modul pdf-raster.so "
                "fehlt (gesucht in "},
           Case{"mail " + path("kunden.csv") + " " + path("serie") +
                    " --to-column 2 --subject Rechnung --text " + path("text.txt") +
                    " --unlisted --prefix Anna --from rechnung@example.org --server 127.0.0.1:1",
                1,
                "quirabel-batch: Der Mailversand geht nicht: Das Modul smtp.so fehlt (gesucht in "},
           Case{"export " + path("karte.kxp") + " --png " + path("karte.png"), 1,
                "quirabel-batch: Das Bild ging nicht: Das Modul pdf-picture.so fehlt (gesucht in "},
           Case{"print " + path("karte.kxp"), 1,
                "quirabel-batch: Drucken ging nicht: Das Modul print.so fehlt (gesucht in "},
           Case{"link " + path("serie.kxp") + " --csv " + path("namen.csv") +
                    " --map Vorname=1 --map Name=2",
                0, ""},
           // The checksums are made on the workers: the run stops before they start.
           Case{"serial " + path("serie.kxp") + " -o " + path("pdfs") + " --rows 1-1 --jobs 2", 1,
                "quirabel-batch: Prüfsummen gehen nicht: Das Modul sha256.so fehlt (gesucht in "},
       }) {
    const testing::ToolRun run = testing::RunTool("QUIRABEL_HOME=" + path("home") + " " +
                                                  path("bin/quirabel-batch") + " " + c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "karte.png"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "serie" / "versand.log"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "pdfs" / "pdf-file1.pdf"));

  // With checksums but without ICU, a name that is not plain ASCII stops the run before it starts.
  std::filesystem::create_directories(scratch / "lib" / "quirabel");
  std::filesystem::copy_file(BuiltModuleFolder() / kSha256ModuleFile,
                             scratch / "lib" / "quirabel" / kSha256ModuleFile);
  const testing::ToolRun named = testing::RunTool(
      "QUIRABEL_HOME=" + path("home") + " " + path("bin/quirabel-batch") + " serial " +
      path("serie.kxp") + " -o " + path("namen") + " --column 1 --jobs 2");
  EXPECT_EQ(named.exitCode, 1) << named.err;
  EXPECT_NE(named.err.find("quirabel-batch: Dateinamen lassen sich nicht vergleichen: Das Modul "
                           "unicode.so fehlt (gesucht in "),
            std::string::npos)
      << named.err;
  EXPECT_FALSE(std::filesystem::exists(scratch / "namen" / "Anna.pdf"));
  std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace quirabel

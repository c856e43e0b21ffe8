// "Serien-PDF ausgeben" and "Serien-PDF Einstellung" through the headless windows: the link file
// read, the settings window filled, the run, the e-mail tool and the refusals.
#include "app/serial_pdf.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/application.h"
#include "app/command_boundary.h"
#include "base/atomic_file.h"
#include "base/file_names.h"
#include "dialogs/serial_windows.h"
#include "serial/series_settings.h"
#include "support/data_field_project.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::app {
namespace {

class SerialPdfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::FreshTestFolder("serial_pdf_");
    application = std::make_unique<Application>(platform, (folder / "home").string());
    testing::SaveDataFieldProject(*application, folder / "karte.kxp", {"Vorname", "Name"});
    csv = folder / "Kunden Liste.csv";
    std::ofstream(csv, std::ios::binary) << "Jürgen;Größer;Köln\r\nÄnne;Öztürk;Bonn\r\n"
                                            "Bernd;Ufer;Ulm\r\n";
    serialPdf = std::make_unique<SerialPdf>(*application);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  void Link() {
    serial::WriteLinkFile(serialPdf->ProjectLinkFile(),
                          {{"Vorname  ->  Feld1", "Name  ->  Feld2"}, csv.string(), ';'});
  }
  // The person picks a naming entry and the target folder, then prints.
  void Answer(int namingIndex, const std::filesystem::path& target, bool mail = false) {
    platform.modalAnswers = {ui::mrOk};
    platform.whileModal = [=, this](ui::TForm&) {
      dialogs::SerialSettingsWindow& settings = serialPdf->SettingsWindow();
      settings.namingBox->Choose(namingIndex);
      settings.targetFolderLabel->SetCaption(target.string());
      settings.mailBox->SetChecked(mail);
    };
  }

  std::filesystem::path folder;
  std::filesystem::path csv;
  testing::FakePlatform platform;
  std::unique_ptr<Application> application;
  std::unique_ptr<SerialPdf> serialPdf;
};

TEST_F(SerialPdfTest, TheSettingsWindowShowsTheLinkAndTheRows) {
  Link();
  ASSERT_TRUE(serialPdf->PrepareRun());
  dialogs::SerialSettingsWindow& settings = serialPdf->SettingsWindow();
  EXPECT_EQ(settings.Caption(), "SerienPDF");
  const auto& rows = settings.dataGrid->Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Feld1", "Feld2", "Feld3"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"Änne", "Öztürk", "Bonn"}));
  EXPECT_EQ(settings.namingBox->Items(),
            (std::vector<std::string>{"Bezeichner+Inkrement", "Feld1", "Feld2", "Feld3"}));
  EXPECT_EQ(settings.namingBox->ItemIndex(), -1);
  EXPECT_EQ(settings.namingBox->Text(), "Datenfeld wählen");
  EXPECT_EQ(settings.assignmentList->Items(),
            (std::vector<std::string>{"Vorname  ->  Feld1", "Name  ->  Feld2"}));
  // Opens with the identifier off; choosing a column keeps it off, the counter turns it on.
  EXPECT_FALSE(settings.identifierEdit->Enabled());
  EXPECT_EQ(settings.identifierEdit->Color(), dialogs::kSilver);
  EXPECT_EQ(settings.identifierEdit->Text(), "pdf-file");
  settings.namingBox->Choose(2);
  EXPECT_FALSE(settings.identifierEdit->Enabled());
  settings.namingBox->Choose(0);
  EXPECT_TRUE(settings.identifierEdit->Enabled());
  EXPECT_EQ(settings.identifierEdit->Color(), graphics::clWhite);
}

TEST_F(SerialPdfTest, PrintsEveryRowNamedAsChosen) {
  Link();
  Answer(2, folder / "nach name");
  ASSERT_TRUE(serialPdf->PrintClick());
  EXPECT_EQ(platform.modalWindows,
            std::vector{testing::WindowType::Of<dialogs::SerialSettingsWindow>()});
  for (const char* name : {"Größer.pdf", "Öztürk.pdf", "Ufer.pdf"}) {
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(folder / "nach name" / name, 1 << 24))) << name;
  }
  // One message at the end: how many, where.
  EXPECT_EQ(platform.messages, std::vector<std::string>{"3 PDF-Dateien geschrieben nach " +
                                                        (folder / "nach name").string() + "."});
  EXPECT_GE(platform.progressEnded, 1);

  // Started without a naming choice and without an earlier series to take it from: identifier
  // and counter.
  ASSERT_TRUE(std::filesystem::remove(serial::SeriesSettingsPath(serialPdf->ProjectLinkFile())));
  Answer(-1, folder / "zähler");
  ASSERT_TRUE(serialPdf->PrintClick());
  for (const char* name : {"pdf-file1.pdf", "pdf-file2.pdf", "pdf-file3.pdf"})
    EXPECT_TRUE(std::filesystem::exists(folder / "zähler" / name)) << name;

  // "Abbrechen" after the second PDF: the two stay, the third is not written.
  platform.cancelAt = 2;
  Answer(0, folder / "abgebrochen");
  EXPECT_FALSE(serialPdf->PrintClick());
  EXPECT_TRUE(std::filesystem::exists(folder / "abgebrochen" / "pdf-file2.pdf"));
  EXPECT_FALSE(std::filesystem::exists(folder / "abgebrochen" / "pdf-file3.pdf"));
  EXPECT_NE(platform.messages.back().find("2 PDF-Dateien geschrieben"), std::string::npos);
  EXPECT_NE(platform.messages.back().find("abgebrochen"), std::string::npos);
}

// Files no run of the project wrote are replaced only after "Ja"; rows refused and a CSV without
// rows are told in the one message at the end.
TEST_F(SerialPdfTest, AsksBeforeForeignFilesAndTellsHowTheRunWent) {
  Link();
  const std::filesystem::path target = folder / "ziel";
  std::filesystem::create_directories(target);
  std::ofstream(target / "Ufer.pdf") << "alt";
  std::filesystem::create_symlink(folder / "karte.kxp", target / "Größer.pdf");
  struct Case {
    int answer;  // to "Überschreiben?"
    bool printed;
    std::string told;
  };
  for (const Case& c :
       {Case{ui::mrNo, false, ""}, Case{ui::mrYes, false,
                                        "1 Zeile ist fehlgeschlagen:\nDie PDF-Datei für "
                                        "Zeile 1"}}) {
    Answer(2, target);
    platform.modalAnswers = {ui::mrOk, c.answer};
    platform.modalWindows.clear();
    platform.messages.clear();
    EXPECT_EQ(serialPdf->PrintClick(), c.printed);
    EXPECT_EQ(platform.modalWindows,
              (std::vector{testing::WindowType::Of<dialogs::SerialSettingsWindow>(),
                           testing::WindowType::Of<dialogs::OverwriteQuestionWindow>()}));
    const bool replaced = c.answer == ui::mrYes;
    EXPECT_EQ(ReadFile(target / "Ufer.pdf", 1 << 24) != "alt", replaced);
    EXPECT_EQ(std::filesystem::exists(target / "Öztürk.pdf"), replaced);
    EXPECT_TRUE(std::filesystem::is_symlink(target / "Größer.pdf"));
    if (!replaced) {
      EXPECT_TRUE(platform.messages.empty());
      continue;
    }
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find("2 PDF-Dateien geschrieben"), std::string::npos);
    EXPECT_NE(platform.messages[0].find(c.told), std::string::npos) << platform.messages[0];
  }

  std::ofstream(csv, std::ios::binary | std::ios::trunc) << "\r\n";
  Answer(0, folder / "leer");
  platform.messages.clear();
  serialPdf->PrintClick();
  EXPECT_EQ(platform.messages,
            std::vector<std::string>{
                "Die CSV-Datei hat keine Zeilen: es wurde keine PDF-Datei geschrieben."});
}

TEST_F(SerialPdfTest, NoLinkNoCsvNoRun) {
  EXPECT_FALSE(serialPdf->PrintClick());
  EXPECT_EQ(platform.messages, std::vector<std::string>{kNoDataLink});
  EXPECT_TRUE(platform.modalWindows.empty());

  Link();
  std::filesystem::remove(csv);
  platform.messages.clear();
  EXPECT_FALSE(serialPdf->PrintClick());
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].find(csv.string()), std::string::npos);
  EXPECT_TRUE(platform.modalWindows.empty());
}

TEST_F(SerialPdfTest, SiblingToolsGetTheirParameters) {
  // The tools are started from the designer's folder.
  const std::string bin = (folder / "bin").string();
  serialPdf->toolFolder = bin;
  ASSERT_TRUE(serialPdf->LinkToolClick());
  ASSERT_EQ(platform.startedPrograms.size(), 1u);
  EXPECT_EQ(platform.startedPrograms[0],
            bin + "/quirabel-link -- " + application->State().projectNumber + " Vorname Name");

  Link();
  Answer(0, folder / "Ziel Ordner", true);
  serialPdf->SettingsWindow().identifierEdit->SetText("Karte Nr");
  platform.whileModal = [this, inner = platform.whileModal](ui::TForm& form) {
    inner(form);
    serialPdf->SettingsWindow().identifierEdit->SetText("Karte Nr");
  };
  ASSERT_TRUE(serialPdf->PrintClick());
  EXPECT_TRUE(std::filesystem::exists(folder / "Ziel Ordner" / "Karte Nr1.pdf"));
  ASSERT_EQ(platform.startedPrograms.size(), 2u);
  const auto star = [](std::string text) {
    std::replace(text.begin(), text.end(), ' ', '*');
    return text;
  };
  EXPECT_EQ(platform.startedPrograms[1], bin + "/quirabel-mail -- " + star(csv.string()) +
                                             " Karte*Nr ; " +
                                             star((folder / "Ziel Ordner").string()));

  // A tool that cannot be started is told.
  platform.programsStart = false;
  serialPdf->MailToolClick();
  EXPECT_EQ(platform.messages.back(),
            "Das Programm kann nicht gestartet werden: " + bin + "/quirabel-mail");
}

TEST_F(SerialPdfTest, NewFolderWindowMakesOnePlainFolder) {
  dialogs::NewFolderWindow& newFolder = serialPdf->NewFolderWindow();
  EXPECT_EQ(newFolder.Caption(), "Neuer Order");
  EXPECT_EQ(newFolder.nameEdit->Text(), "Neuer Order");
  const auto create = [&] {
    return RunCommand(platform, [&] {
      newFolder.CreateIn(folder);
      return true;
    });
  };
  EXPECT_TRUE(create());
  EXPECT_TRUE(std::filesystem::is_directory(folder / "Neuer Order"));
  for (const char* bad : {"Neuer Order", "../draußen", "", "a/b"}) {
    platform.messages.clear();
    newFolder.nameEdit->SetText(bad);
    EXPECT_FALSE(create()) << bad;
    EXPECT_EQ(platform.messages, std::vector<std::string>{dialogs::kFolderNotCreated}) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.parent_path() / "draußen"));
}

// The whole choice as a person makes it in the settings window: naming by a column, "Anderes
// Verzeichnis", a folder entered and left, "Neues Verzeichniss" made inside the one chosen (a
// second time refused), "Übernehmen", print.
TEST_F(SerialPdfTest, ChoosesNamingAndAFolderMadeOnTheWay) {
  Link();
  const std::filesystem::path base = std::filesystem::absolute(folder);
  std::filesystem::create_directories(base / "ablage" / "alt");
  std::filesystem::create_directories(base / "ablage" / ".versteckt");
  platform.modalAnswers = {ui::mrOk, ui::mrOk, ui::mrOk, ui::mrOk};
  platform.whileModal = [&](ui::TForm& form) {
    if (auto* settings = dynamic_cast<dialogs::SerialSettingsWindow*>(&form)) {
      settings->namingBox->Choose(3);  // Feld3: the town
      settings->otherFolderButton->Click();
    } else if (auto* choice = dynamic_cast<dialogs::FolderChoiceWindow*>(&form)) {
      ui::TFolderTree& tree = *choice->folderTree;
      EXPECT_TRUE(tree.Choose(base));
      EXPECT_FALSE(tree.Enter("fehlt"));
      EXPECT_TRUE(tree.Enter("ablage"));
      EXPECT_EQ(tree.Children(), std::vector<std::string>{"alt"});
      EXPECT_TRUE(tree.Enter("alt"));
      EXPECT_TRUE(tree.Leave());
      const auto newFolder = [&] {
        return RunCommand(platform, [&] {
          choice->newFolderButton->Click();
          return true;
        });
      };
      EXPECT_TRUE(newFolder());
      EXPECT_EQ(tree.Folder(), base / "ablage" / "Städte");
      tree.Leave();
      EXPECT_EQ(tree.Children(), (std::vector<std::string>{"Städte", "alt"}));
      EXPECT_FALSE(newFolder());  // it is there already
      EXPECT_EQ(platform.messages, std::vector<std::string>{dialogs::kFolderNotCreated});
      EXPECT_EQ(tree.Folder(), base / "ablage");
      // A path typed into the field: a folder is chosen in the tree, anything else is told.
      EXPECT_EQ(choice->pathEdit->Text(), (base / "ablage").string());
      choice->pathEdit->SetText((base / "fehlt").string());
      EXPECT_FALSE(RunCommand(platform, [&] {
        choice->pathEdit->FinishEditing();
        return true;
      }));
      EXPECT_EQ(platform.messages.back(), "Den Ordner gibt es nicht: " + (base / "fehlt").string());
      EXPECT_EQ(choice->pathEdit->Text(), (base / "ablage").string());
      choice->pathEdit->SetText((base / "ablage" / "Städte").string());
      choice->pathEdit->FinishEditing();
      choice->applyButton->Click();
    } else if (auto* named = dynamic_cast<dialogs::NewFolderWindow*>(&form)) {
      named->nameEdit->SetText("Städte");
    }
  };
  platform.messages.clear();
  ASSERT_TRUE(serialPdf->PrintClick());
  using testing::WindowType;
  EXPECT_EQ(platform.modalWindows, (std::vector{WindowType::Of<dialogs::SerialSettingsWindow>(),
                                                WindowType::Of<dialogs::FolderChoiceWindow>(),
                                                WindowType::Of<dialogs::NewFolderWindow>(),
                                                WindowType::Of<dialogs::NewFolderWindow>()}));
  const std::filesystem::path target = base / "ablage" / "Städte";
  EXPECT_EQ(serialPdf->SettingsWindow().targetFolderLabel->Caption(), target.string());
  for (const char* name : {"Köln.pdf", "Bonn.pdf", "Ulm.pdf"})
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(target / name, 1 << 24))) << name;

  // The next run starts with the naming and folder of this one, and writes the same files.
  platform.modalAnswers = {ui::mrOk};
  platform.whileModal = [&](ui::TForm&) {
    EXPECT_EQ(serialPdf->SettingsWindow().namingBox->ItemIndex(), 3);
    EXPECT_EQ(serialPdf->SettingsWindow().targetFolderLabel->Caption(), target.string());
  };
  ASSERT_TRUE(serialPdf->PrintClick());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target), {}), 4);  // and the record
  // The e-mail tool started from the menu opens on that series.
  platform.startedPrograms.clear();
  serialPdf->MailToolClick();
  ASSERT_EQ(platform.startedPrograms.size(), 1u);
  EXPECT_NE(platform.startedPrograms[0].find(" Feld3 ; "), std::string::npos)
      << platform.startedPrograms[0];
}

// "Alle in eine PDF-Datei" in the settings window: ticked, naming, identifier and mail are off,
// and the run writes the one file asked for; the Extras entry opens the window with it ticked.
TEST_F(SerialPdfTest, EveryRowIntoOneFileFromTheSettingsWindow) {
  Link();
  const std::filesystem::path target = folder / "eine";
  std::filesystem::create_directories(target);
  struct Case {
    bool fromExtras;  // the window opens with the box ticked
    const char* file;
  };
  for (const Case& c : {Case{false, "alle"}, Case{true, "extras.pdf"}}) {
    platform.modalAnswers = {ui::mrOk};
    platform.fileAnswers = {(target / c.file).string()};
    platform.fileDialogs.clear();
    platform.whileModal = [&](ui::TForm&) {
      dialogs::SerialSettingsWindow& settings = serialPdf->SettingsWindow();
      settings.targetFolderLabel->SetCaption(target.string());
      settings.mailBox->SetChecked(true);
      EXPECT_EQ(settings.OneFile(), c.fromExtras);
      if (!c.fromExtras) settings.oneFileBox->Toggle();
      EXPECT_FALSE(settings.namingBox->Enabled());
      EXPECT_FALSE(settings.identifierEdit->Enabled());
      EXPECT_FALSE(settings.mailBox->Enabled());
    };
    ASSERT_TRUE(serialPdf->PrintClick(c.fromExtras)) << c.file;
    ASSERT_EQ(platform.fileDialogs.size(), 1u);
    EXPECT_EQ(platform.fileDialogs[0].fileName, (target / "serie").string());
    const std::filesystem::path written = WithExtension(target / c.file, ".pdf");
    EXPECT_TRUE(testing::IsValidPdf(ReadFile(written, 1 << 24))) << c.file;
    EXPECT_NE(platform.messages.back().find("3 Zeilen"), std::string::npos);
    // One file: no PDF per row, and no e-mail tool for it.
    EXPECT_FALSE(std::filesystem::exists(target / "pdf-file1.pdf"));
    EXPECT_TRUE(platform.startedPrograms.empty());
  }
  // Cleared again, the naming applies and the box is off for "Serien-PDF ausgeben".
  platform.modalAnswers = {};
  platform.whileModal = {};
  serialPdf->PrintClick();
  EXPECT_FALSE(serialPdf->SettingsWindow().OneFile());
  EXPECT_TRUE(serialPdf->SettingsWindow().namingBox->Enabled());
}

}  // namespace
}  // namespace quirabel::app

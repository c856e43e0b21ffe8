// The CSV link tool remembers the project's link: its CSV file and columns, and the columns alone
// when the CSV file has moved.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "linktool/link_tool_window.h"
#include "serial/link_file.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

TEST(LinkToolTest, RemembersTheLinkAndKeepsTheColumnsWhenTheCsvMoved) {
  const std::filesystem::path folder = testing::FreshTestFolder("link_tool_");
  const std::filesystem::path csv = folder / "kunden.csv";
  std::ofstream(csv, std::ios::binary) << "Anna,Berg,Köln\nBo,Ufer,Ulm\n";
  const std::vector<std::string> fields{"Vorname", "Name", "Ort"};
  using Restored = linktool::LinkToolWindow::Restored;
  {
    linktool::LinkToolWindow fresh(folder, "123", fields);
    EXPECT_EQ(fresh.RestoreLink(false), Restored::NoLinkFile);
  }
  serial::WriteLinkFile(serial::LinkFilePath(folder, "123"),
                        {{"Name  ->  Feld3", "Vorname  ->  Feld1"}, csv.string(), ','});
  for (const bool moved : {false, true}) {
    SCOPED_TRACE(moved ? "moved" : "in place");
    if (moved) std::filesystem::rename(csv, folder / "neu.csv");
    linktool::LinkToolWindow window(folder, "123", fields);
    EXPECT_EQ(window.RestoreLink(false), moved ? Restored::CsvMissing : Restored::Restored);
    if (moved) {
      ASSERT_TRUE(window.LoadCsv(QString::fromStdString((folder / "neu.csv").string())));
    }
    EXPECT_EQ(window.ChosenColumn("Vorname"), 1);
    EXPECT_EQ(window.ChosenColumn("Name"), 3);
    EXPECT_EQ(window.ChosenColumn("Ort"), 0);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quirabel

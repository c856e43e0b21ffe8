#include "pdf/pdf_objects.h"

#include <gtest/gtest.h>

#include "pdf/pdf_doc.h"

namespace quirabel::pdf {
namespace {

template <class T>
std::string Written(T& object) {
  std::string out;
  object.WriteItem(out);
  return out;
}

TEST(PdfObjects, ScalarsWriteTheirSyntax) {
  TPdfNull null;
  TPdfBoolean yes(true), no(false);
  TPdfNumber negative(-42), big(2147483647);
  TPdfReal real(0.25);
  EXPECT_EQ(Written(null), "null");
  EXPECT_EQ(Written(yes), "true");
  EXPECT_EQ(Written(no), "false");
  EXPECT_EQ(Written(negative), "-42");
  EXPECT_EQ(Written(big), "2147483647");
  EXPECT_EQ(Written(real), "0.25");
}

TEST(PdfObjects, TextAndNameAreEscaped) {
  TPdfText text("(a\\b)\r\n");
  EXPECT_EQ(Written(text), "(\\(a\\\\b\\)\\r\\n)");
  TPdfText umlauts("\xE4\xF6\xFC");
  EXPECT_EQ(Written(umlauts), "(\xE4\xF6\xFC)");
  TPdfName name("A B#1");
  EXPECT_EQ(Written(name), "/A#20B#231");
  TPdfName font("Font");
  EXPECT_EQ(Written(font), "/Font");
  TPdfName empty("");
  EXPECT_EQ(Written(empty), "/");
}

TEST(PdfObjects, Arrays) {
  TPdfArray empty;
  EXPECT_EQ(Written(empty), "[]");
  TPdfArray numbers;
  numbers.Add(std::make_unique<TPdfNumber>(1));
  numbers.Add(std::make_unique<TPdfNumber>(2));
  EXPECT_EQ(Written(numbers), "[1 2 ]");
  const int widths[] = {278, 556};
  auto made = TPdfArray::CreateNumArray(nullptr, widths);
  EXPECT_EQ(Written(*made), "[278 556 ]");

  TPdfArray names;
  names.Add(std::make_unique<TPdfName>("PDF"));
  auto* text = names.Add(std::make_unique<TPdfName>("Text"));
  names.Add(*text);  // the very object again: nothing happens
  EXPECT_EQ(names.Count(), 2u);
  EXPECT_EQ(names.FindName("Text"), text);
  EXPECT_TRUE(names.RemoveName("PDF"));
  EXPECT_FALSE(names.RemoveName("PDF"));
  EXPECT_EQ(Written(names), "[/Text ]");
  EXPECT_EQ(names.Item(5), nullptr);

  TPdfNumber stray(3);
  EXPECT_THROW(names.Add(stray), EPdfInvalidOperation);
}

TEST(PdfObjects, DictionaryPutReplacesAndMovesToTheEnd) {
  TPdfDictionary dict;
  dict.Put("Type", std::make_unique<TPdfName>("Page"));
  dict.Put("Count", std::make_unique<TPdfNumber>(1));
  dict.Put("Type", std::make_unique<TPdfName>("Pages"));
  EXPECT_EQ(dict.ItemCount(), 2u);
  EXPECT_EQ(Written(dict), "<<\r\n/Count 1\r\n/Type /Pages\r\n>>");
  EXPECT_EQ(dict.TypeOf(), "Pages");
  dict.Remove("Count");
  dict.Remove("Missing");
  EXPECT_EQ(Written(dict), "<<\r\n/Type /Pages\r\n>>");
}

TEST(PdfObjects, InternalElementsAreFoundButNotWritten) {
  TPdfDictionary dict;
  dict.Put("Type", std::make_unique<TPdfName>("Font"));
  dict.PutInternal("Widths", std::make_unique<TPdfArray>());
  EXPECT_NE(dict.ArrayOf("Widths"), nullptr);
  EXPECT_EQ(Written(dict), "<<\r\n/Type /Font\r\n>>");
}

TEST(PdfObjects, TypedLookupOfAnotherKindGivesNone) {
  TPdfDictionary dict;
  dict.Put("Type", std::make_unique<TPdfName>("Font"));
  EXPECT_EQ(dict.NumberOf("Type"), nullptr);
  EXPECT_EQ(dict.DictionaryOf("Type"), nullptr);
  EXPECT_EQ(dict.Lookup("type"), nullptr);  // keys compare byte for byte
  TPdfDictionary noType;
  EXPECT_EQ(noType.TypeOf(), "");
}

TEST(PdfObjects, StreamWritesLengthAndDropsFlateDecode) {
  TPdfStream stream;
  stream.Data() = "abc";
  EXPECT_EQ(Written(stream), "<<\r\n/Length 3\r\n/Filter []\r\n>>\r\nstream\r\nabc\nendstream");

  TPdfStream claimed;
  claimed.Attributes().ArrayOf("Filter")->Add(std::make_unique<TPdfName>("FlateDecode"));
  claimed.Attributes().ArrayOf("Filter")->Add(std::make_unique<TPdfName>("FlateDecode"));
  claimed.Data() = "x(y";
  EXPECT_EQ(Written(claimed), "<<\r\n/Length 3\r\n/Filter []\r\n>>\r\nstream\r\nx(y\nendstream");
}

TEST(PdfObjects, BinaryIsWrittenAsItIs) {
  TPdfBinary binary;
  binary.Data() = "<00FF00 >";
  EXPECT_EQ(Written(binary), "<00FF00 >");
}

TEST(PdfObjects, IndirectObjectsAreReferencedAndOwnedByTheTable) {
  TPdfXref xref;
  auto* font = xref.Register(std::make_unique<TPdfDictionary>(&xref));
  font->Put("Type", std::make_unique<TPdfName>("Font"));
  EXPECT_EQ(font->ObjectNumber(), 1);
  EXPECT_EQ(font->ObjectType(), TPdfObjectType::otIndirectObject);
  EXPECT_EQ(xref.GetObject(1), font);
  EXPECT_EQ(xref.GetObject(2), nullptr);
  EXPECT_EQ(xref.GetObject(-1), nullptr);

  TPdfDictionary resources(&xref);
  resources.Put("F0", *font);
  EXPECT_EQ(resources.Lookup("F0"), font);
  EXPECT_EQ(Written(resources), "<<\r\n/F0 1 0 R\r\n>>");

  TPdfArray kids(&xref);
  kids.Add(*font);
  kids.Add(*font);  // each Add of an indirect object stores a fresh reference
  EXPECT_EQ(Written(kids), "[1 0 R 1 0 R ]");
  EXPECT_EQ(kids.Item(1), font);
  EXPECT_EQ(Written(*font), "1 0 R");

  // Without a manager a reference cannot be resolved.
  TPdfDictionary detached;
  detached.Put("F0", *font);
  EXPECT_EQ(detached.Lookup("F0"), nullptr);

  std::string out;
  font->WriteObject(out);
  EXPECT_EQ(out, "1 0 obj\r\n<<\r\n/Type /Font\r\n>>\r\nendobj\r\n");
}

TEST(PdfObjects, MisuseRaisesTheFixedMessages) {
  TPdfXref xref;
  TPdfNumber direct(1);
  std::string out;
  try {
    direct.WriteObject(out);
    FAIL();
  } catch (const EPdfInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "internal error wrong object type");
  }
  EXPECT_EQ(out, "");
  try {
    xref.AddObject(std::make_unique<TPdfVirtualObject>(3));
    FAIL();
  } catch (const EPdfInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "AddObject --wrong object type.");
  }
  EXPECT_THROW(xref.AddObject(nullptr), EPdfInvalidOperation);
  EXPECT_EQ(xref.ItemCount(), 1u);
  TPdfDictionary dict;
  EXPECT_THROW(dict.Put("X", direct), EPdfInvalidOperation);
  EXPECT_THROW(dict.Put("X", std::unique_ptr<TPdfObject>()), EPdfInvalidValue);
}

}  // namespace
}  // namespace quirabel::pdf

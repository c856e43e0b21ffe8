#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/shared_bytes.h"
#include "pdf/pdf_errors.h"

// The PDF object model: every part of a file is a tree of typed objects in memory, serialised in
// one pass when the document is saved. Containers own their direct items; indirect objects are
// owned by the object manager (the cross-reference table) and containers hold references to them.
namespace quirabel::pdf {

enum class TPdfObjectType { otDirectObject = 0, otIndirectObject = 1, otVirtualObject = 2 };

// What an object holds; lets callers look at an object as its kind without a cast chain.
enum class PdfKind {
  Null,
  Boolean,
  Number,
  Real,
  Text,
  Name,
  Array,
  Dictionary,
  Stream,
  Binary,
  Virtual
};

class TPdfObjectMgr;

// Where the bytes of large streams go when a file is written straight to disk: it gets the text
// written so far (to send first) and the stream's bytes, so that those are not copied again.
using LargeDataSink = std::function<void(std::string& out, std::string_view bytes)>;
// From this size on a stream's bytes go to the sink.
inline constexpr std::size_t kLargeStreamBytes = 64 * 1024;

class TPdfObject {
 public:
  virtual ~TPdfObject() = default;
  TPdfObject(const TPdfObject&) = delete;
  TPdfObject& operator=(const TPdfObject&) = delete;

  PdfKind Kind() const { return kind_; }
  TPdfObjectType ObjectType() const { return objectType_; }
  int ObjectNumber() const { return objectNumber_; }
  int GenerationNumber() const { return generationNumber_; }
  bool IsIndirect() const { return objectType_ == TPdfObjectType::otIndirectObject; }

  // "n 0 R" for an indirect or virtual object, the object's own syntax otherwise.
  void WriteItem(std::string& out);
  // Top-level form "n 0 obj" CR LF body CR LF "endobj" CR LF; only for indirect objects.
  void WriteObject(std::string& out, const LargeDataSink* large = nullptr);
  virtual void WriteBody(std::string& out) = 0;

 protected:
  // The body, handing large stream bytes to the sink when there is one.
  virtual void WriteBodyTo(std::string& out, const LargeDataSink* /*large*/) { WriteBody(out); }
  explicit TPdfObject(PdfKind kind) : kind_(kind) {}
  TPdfObject(PdfKind kind, TPdfObjectType type, int number)
      : kind_(kind), objectType_(type), objectNumber_(number) {}

 private:
  friend class TPdfObjectMgr;
  PdfKind kind_;
  TPdfObjectType objectType_ = TPdfObjectType::otDirectObject;
  int objectNumber_ = -1;
  int generationNumber_ = 0;
};

// Looks at an object as a given kind; none when it is of another kind (or none).
template <class T>
T* PdfCast(TPdfObject* object) {
  return object != nullptr && object->Kind() == T::kKind ? static_cast<T*>(object) : nullptr;
}

// The object manager: registers objects as indirect and finds them again by number.
class TPdfObjectMgr {
 public:
  virtual ~TPdfObjectMgr() = default;
  // Takes a direct object, numbers it and keeps it; raises "AddObject --wrong object type."
  // otherwise.
  virtual TPdfObject* AddObject(std::unique_ptr<TPdfObject> object) = 0;
  virtual TPdfObject* GetObject(int objectNumber) const = 0;

  template <class T>
  T* Register(std::unique_ptr<T> object) {
    T* raw = object.get();
    AddObject(std::move(object));
    return raw;
  }

 protected:
  static void MakeIndirect(TPdfObject& object, int number) {
    object.objectType_ = TPdfObjectType::otIndirectObject;
    object.objectNumber_ = number;
  }
};

class TPdfNull final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Null;
  TPdfNull() : TPdfObject(kKind) {}
  void WriteBody(std::string& out) override;
};

class TPdfBoolean final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Boolean;
  explicit TPdfBoolean(bool value) : TPdfObject(kKind), value_(value) {}
  bool Value() const { return value_; }
  void SetValue(bool value) { value_ = value; }
  void WriteBody(std::string& out) override;

 private:
  bool value_;
};

class TPdfNumber final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Number;
  explicit TPdfNumber(std::int32_t value) : TPdfObject(kKind), value_(value) {}
  std::int32_t Value() const { return value_; }
  void SetValue(std::int32_t value) { value_ = value; }
  void WriteBody(std::string& out) override;

 private:
  std::int32_t value_;
};

class TPdfReal final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Real;
  explicit TPdfReal(double value) : TPdfObject(kKind), value_(value) {}
  double Value() const { return value_; }
  void SetValue(double value) { value_ = value; }
  void WriteBody(std::string& out) override;

 private:
  double value_;
};

// A string of Windows-1252 bytes, written as a literal string.
class TPdfText final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Text;
  explicit TPdfText(std::string value) : TPdfObject(kKind), value_(std::move(value)) {}
  const std::string& Value() const { return value_; }
  void SetValue(std::string value) { value_ = std::move(value); }
  void WriteBody(std::string& out) override;

 private:
  std::string value_;
};

class TPdfName final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Name;
  explicit TPdfName(std::string value) : TPdfObject(kKind), value_(std::move(value)) {}
  const std::string& Value() const { return value_; }
  void SetValue(std::string value) { value_ = std::move(value); }
  void WriteBody(std::string& out) override;

 private:
  std::string value_;
};

// Refers to an indirect object by number; made only by containers, for the reference they keep.
class TPdfVirtualObject final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Virtual;
  explicit TPdfVirtualObject(int objectNumber)
      : TPdfObject(kKind, TPdfObjectType::otVirtualObject, objectNumber) {}
  void WriteBody(std::string& out) override;
};

class TPdfArray final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Array;
  explicit TPdfArray(TPdfObjectMgr* objectMgr = nullptr)
      : TPdfObject(kKind), objectMgr_(objectMgr) {}
  static std::unique_ptr<TPdfArray> CreateNumArray(TPdfObjectMgr* objectMgr,
                                                   std::span<const int> values);

  // Takes a direct object (owned from now on) or a reference.
  template <class T>
  T* Add(std::unique_ptr<T> object) {
    T* raw = object.get();
    AddOwned(std::move(object));
    return raw;
  }
  // Adds a new reference to an indirect object (or to the object a reference refers to). A direct
  // object passed this way must already be an item, and is then left alone.
  void Add(TPdfObject& object);

  // The item, references resolved through the object manager; none when out of range or unresolved.
  TPdfObject* Item(std::size_t index) const;
  // The item as stored (a reference stays a reference).
  TPdfObject* RawItem(std::size_t index) const;
  std::size_t Count() const { return items_.size(); }
  TPdfName* FindName(std::string_view name) const;
  bool RemoveName(std::string_view name);
  // Takes the item out (a direct one is freed); nothing when out of range.
  void Remove(std::size_t index);
  TPdfObjectMgr* ObjectMgr() const { return objectMgr_; }
  void WriteBody(std::string& out) override;

 private:
  void AddOwned(std::unique_ptr<TPdfObject> object);
  TPdfObjectMgr* objectMgr_;
  std::vector<std::unique_ptr<TPdfObject>> items_;
};

struct TPdfDictionaryElement {
  std::unique_ptr<TPdfName> key;
  std::unique_ptr<TPdfObject> value;
  bool isInternal = false;
};

class TPdfDictionary final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Dictionary;
  explicit TPdfDictionary(TPdfObjectMgr* objectMgr = nullptr)
      : TPdfObject(kKind), objectMgr_(objectMgr) {}

  // Replaces an element with that key (freeing it) by a new element at the end.
  template <class T>
  T* Put(std::string_view key, std::unique_ptr<T> value) {
    T* raw = value.get();
    PutOwned(key, std::move(value), false);
    return raw;
  }
  // The same with a reference to an indirect object (or the object a reference refers to).
  void Put(std::string_view key, TPdfObject& indirect);
  // Internal elements are kept and found by Lookup but never written.
  template <class T>
  T* PutInternal(std::string_view key, std::unique_ptr<T> value) {
    T* raw = value.get();
    PutOwned(key, std::move(value), true);
    return raw;
  }
  void Remove(std::string_view key);

  // The value under key, byte for byte, internal or not; references resolved (none without a
  // manager). The typed forms give none when the value is of another kind.
  TPdfObject* Lookup(std::string_view key) const;
  TPdfNumber* NumberOf(std::string_view key) const { return PdfCast<TPdfNumber>(Lookup(key)); }
  TPdfReal* RealOf(std::string_view key) const { return PdfCast<TPdfReal>(Lookup(key)); }
  TPdfName* NameOf(std::string_view key) const { return PdfCast<TPdfName>(Lookup(key)); }
  TPdfText* TextOf(std::string_view key) const { return PdfCast<TPdfText>(Lookup(key)); }
  TPdfDictionary* DictionaryOf(std::string_view key) const {
    return PdfCast<TPdfDictionary>(Lookup(key));
  }
  TPdfArray* ArrayOf(std::string_view key) const { return PdfCast<TPdfArray>(Lookup(key)); }
  // The "Type" name, or empty.
  std::string TypeOf() const;

  std::size_t ItemCount() const { return elements_.size(); }
  const TPdfDictionaryElement& Element(std::size_t index) const { return elements_.at(index); }
  TPdfObjectMgr* ObjectMgr() const { return objectMgr_; }
  void WriteBody(std::string& out) override;

 private:
  void PutOwned(std::string_view key, std::unique_ptr<TPdfObject> value, bool internal);
  std::vector<TPdfDictionaryElement>::iterator Find(std::string_view key);
  TPdfObjectMgr* objectMgr_;
  std::vector<TPdfDictionaryElement> elements_;
};

// An attribute dictionary and uncompressed bytes.
class TPdfStream : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Stream;
  explicit TPdfStream(TPdfObjectMgr* objectMgr = nullptr);

  TPdfDictionary& Attributes() { return *attributes_; }
  const TPdfDictionary& Attributes() const { return *attributes_; }
  // The bytes to change (shared bytes become the stream's own first).
  std::string& Data();
  std::string_view DataView() const {
    return shared_.empty() ? std::string_view(data_) : shared_.View();
  }
  // Bytes that live elsewhere (a picture's file bytes), used without copying.
  void SetSharedData(SharedBytes bytes);
  // Compresses the bytes with zlib and names the filter, so that they are written compressed;
  // every other stream is written uncompressed, whatever its filter array claims.
  void CompressWithFlate();
  void WriteBody(std::string& out) override;

 protected:
  void WriteBodyTo(std::string& out, const LargeDataSink* large) override;

 private:
  std::unique_ptr<TPdfDictionary> attributes_;
  std::string data_;
  SharedBytes shared_;
  bool flateCompressed_ = false;
};

class TPdfXObject : public TPdfStream {
 public:
  using TPdfStream::TPdfStream;
};

class TPdfImage : public TPdfXObject {
 public:
  using TPdfXObject::TPdfXObject;
};

// Bytes written exactly as they are.
class TPdfBinary final : public TPdfObject {
 public:
  static constexpr PdfKind kKind = PdfKind::Binary;
  TPdfBinary() : TPdfObject(kKind) {}
  std::string& Data() { return data_; }
  const std::string& Data() const { return data_; }
  void WriteBody(std::string& out) override;

 private:
  std::string data_;
};

}  // namespace quirabel::pdf

#include "pdf/pdf_objects.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include <zlib.h>

#include "pdf/pdf_text.h"

namespace quirabel::pdf {

namespace {

void AppendInt(std::string& out, long long value) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)ec;
  out.append(buffer, end);
}

// The number a container stores for an object it does not own; none for a direct object.
int ReferenceNumber(const TPdfObject& object) {
  return object.ObjectType() == TPdfObjectType::otDirectObject ? -1 : object.ObjectNumber();
}

TPdfObject* Resolve(TPdfObject* object, TPdfObjectMgr* objectMgr) {
  if (object == nullptr || object->ObjectType() != TPdfObjectType::otVirtualObject) return object;
  return objectMgr != nullptr ? objectMgr->GetObject(object->ObjectNumber()) : nullptr;
}

}  // namespace

void TPdfObject::WriteItem(std::string& out) {
  if (objectType_ == TPdfObjectType::otDirectObject) {
    WriteBody(out);
    return;
  }
  AppendInt(out, objectNumber_);
  out.push_back(' ');
  AppendInt(out, generationNumber_);
  out += " R";
}

void TPdfObject::WriteObject(std::string& out, const LargeDataSink* large) {
  if (objectType_ != TPdfObjectType::otIndirectObject) {
    throw EPdfInvalidOperation("internal error wrong object type");
  }
  AppendInt(out, objectNumber_);
  out.push_back(' ');
  AppendInt(out, generationNumber_);
  out += " obj\r\n";
  WriteBodyTo(out, large);
  out += "\r\nendobj\r\n";
}

void TPdfNull::WriteBody(std::string& out) { out += "null"; }

void TPdfBoolean::WriteBody(std::string& out) { out += value_ ? "true" : "false"; }

void TPdfNumber::WriteBody(std::string& out) { AppendInt(out, value_); }

void TPdfReal::WriteBody(std::string& out) { out += FormatDouble(value_); }

void TPdfText::WriteBody(std::string& out) {
  // Windows-1252 never has double-byte characters, so every text is a literal string; bytes 128 to
  // 255 go out as they are.
  out.push_back('(');
  AppendEscapedText(out, value_);
  out.push_back(')');
}

void TPdfName::WriteBody(std::string& out) {
  out.push_back('/');
  AppendEscapedName(out, value_);
}

void TPdfVirtualObject::WriteBody(std::string& out) {
  // Only reached through WriteItem, which writes the reference itself.
  WriteItem(out);
}

std::unique_ptr<TPdfArray> TPdfArray::CreateNumArray(TPdfObjectMgr* objectMgr,
                                                     std::span<const int> values) {
  auto array = std::make_unique<TPdfArray>(objectMgr);
  array->items_.reserve(values.size());
  for (int v : values) array->items_.push_back(std::make_unique<TPdfNumber>(v));
  return array;
}

void TPdfArray::AddOwned(std::unique_ptr<TPdfObject> object) {
  if (!object) throw EPdfInvalidValue("Add --AObject is null");
  items_.push_back(std::move(object));
}

void TPdfArray::Add(TPdfObject& object) {
  int number = ReferenceNumber(object);
  if (number < 0) {
    // A direct object belongs to exactly one container; only a repeated Add of an item is allowed.
    bool isItem = std::any_of(items_.begin(), items_.end(),
                              [&](const auto& item) { return item.get() == &object; });
    if (!isItem) throw EPdfInvalidOperation("Add --direct object must be owned by the array.");
    return;
  }
  items_.push_back(std::make_unique<TPdfVirtualObject>(number));
}

TPdfObject* TPdfArray::RawItem(std::size_t index) const {
  return index < items_.size() ? items_[index].get() : nullptr;
}

TPdfObject* TPdfArray::Item(std::size_t index) const { return Resolve(RawItem(index), objectMgr_); }

TPdfName* TPdfArray::FindName(std::string_view name) const {
  for (const auto& item : items_) {
    auto* n = PdfCast<TPdfName>(item.get());
    if (n != nullptr && n->Value() == name) return n;
  }
  return nullptr;
}

bool TPdfArray::RemoveName(std::string_view name) {
  TPdfName* found = FindName(name);
  if (found == nullptr) return false;
  items_.erase(std::find_if(items_.begin(), items_.end(),
                            [&](const auto& item) { return item.get() == found; }));
  return true;
}

void TPdfArray::Remove(std::size_t index) {
  if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TPdfArray::WriteBody(std::string& out) {
  out.push_back('[');
  for (auto& item : items_) {
    item->WriteItem(out);
    out.push_back(' ');
  }
  out.push_back(']');
}

std::vector<TPdfDictionaryElement>::iterator TPdfDictionary::Find(std::string_view key) {
  return std::find_if(elements_.begin(), elements_.end(),
                      [&](const TPdfDictionaryElement& e) { return e.key->Value() == key; });
}

void TPdfDictionary::PutOwned(std::string_view key, std::unique_ptr<TPdfObject> value,
                              bool internal) {
  if (!value) throw EPdfInvalidValue("Put --AObject is null");
  Remove(key);
  elements_.push_back({std::make_unique<TPdfName>(std::string(key)), std::move(value), internal});
}

void TPdfDictionary::Put(std::string_view key, TPdfObject& indirect) {
  int number = ReferenceNumber(indirect);
  if (number < 0)
    throw EPdfInvalidOperation("Put --direct object must be owned by the dictionary.");
  PutOwned(key, std::make_unique<TPdfVirtualObject>(number), false);
}

void TPdfDictionary::Remove(std::string_view key) {
  auto it = Find(key);
  if (it != elements_.end()) elements_.erase(it);
}

TPdfObject* TPdfDictionary::Lookup(std::string_view key) const {
  for (const auto& e : elements_) {
    if (e.key->Value() == key) return Resolve(e.value.get(), objectMgr_);
  }
  return nullptr;
}

std::string TPdfDictionary::TypeOf() const {
  TPdfName* type = NameOf("Type");
  return type != nullptr ? type->Value() : std::string();
}

void TPdfDictionary::WriteBody(std::string& out) {
  out += "<<\r\n";
  for (auto& e : elements_) {
    if (e.isInternal) continue;
    e.key->WriteBody(out);
    out.push_back(' ');
    e.value->WriteItem(out);
    out += "\r\n";
  }
  out += ">>";
}

TPdfStream::TPdfStream(TPdfObjectMgr* objectMgr)
    : TPdfObject(kKind), attributes_(std::make_unique<TPdfDictionary>(objectMgr)) {
  attributes_->Put("Length", std::make_unique<TPdfNumber>(0));
  attributes_->Put("Filter", std::make_unique<TPdfArray>(objectMgr));
}

std::string& TPdfStream::Data() {
  if (!shared_.empty()) {
    data_ = shared_.Str();
    shared_ = SharedBytes();
  }
  return data_;
}

void TPdfStream::SetSharedData(SharedBytes bytes) {
  data_.clear();
  shared_ = std::move(bytes);
}

void TPdfStream::CompressWithFlate() {
  const std::string_view plain = DataView();
  if (plain.size() > std::numeric_limits<uLong>::max()) {
    throw EPdfInvalidOperation("CompressWithFlate --stream too large.");
  }
  uLongf size = compressBound(static_cast<uLong>(plain.size()));
  std::string compressed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(plain.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    throw EPdfInvalidOperation("CompressWithFlate --zlib failed.");
  }
  compressed.resize(size);
  shared_ = {};
  data_ = std::move(compressed);
  auto filter = std::make_unique<TPdfArray>(nullptr);
  filter->Add(std::make_unique<TPdfName>("FlateDecode"));
  attributes_->Put("Filter", std::move(filter));
  flateCompressed_ = true;
}

void TPdfStream::WriteBody(std::string& out) { WriteBodyTo(out, nullptr); }

void TPdfStream::WriteBodyTo(std::string& out, const LargeDataSink* large) {
  // Nothing is ever compressed, so a filter that claims so would make the bytes unreadable.
  TPdfArray* filter = flateCompressed_ ? nullptr : attributes_->ArrayOf("Filter");
  if (filter != nullptr) {
    while (filter->RemoveName("FlateDecode")) {
    }
  }
  // A stream larger than a 32-bit count cannot be described by this writer's numbers.
  const std::string_view data = DataView();
  if (data.size() > static_cast<std::size_t>(INT32_MAX)) {
    throw EPdfInvalidOperation("WriteBody --stream too large.");
  }
  const auto size = static_cast<std::int32_t>(data.size());
  if (TPdfNumber* length = attributes_->NumberOf("Length")) {
    length->SetValue(size);
  } else {
    attributes_->Put("Length", std::make_unique<TPdfNumber>(size));
  }
  attributes_->WriteBody(out);
  out += "\r\nstream\r\n";
  if (large != nullptr && data.size() >= kLargeStreamBytes) {
    (*large)(out, data);
  } else {
    out += data;
  }
  out += "\nendstream";
}

void TPdfBinary::WriteBody(std::string& out) { out += data_; }

}  // namespace quirabel::pdf

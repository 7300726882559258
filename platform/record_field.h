#pragma once
// One field of a record as a key table names it. A record that is read from and written to a
// file or the profile lists its keys once, each with the field it holds; the reader and the
// writer walk the same rows, so no key is spelled twice and none can be forgotten on one side.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace varnel {

// What a bound field is, as a pointer into one record. uint8_t fields are 0/1 flags.
using FieldPointer =
    std::variant<std::monostate, int32_t*, bool*, uint8_t*, std::string*, std::optional<int32_t>*>;

template <class Record>
class RecordField {
 public:
  // A key that is read and ignored: it names no field.
  constexpr RecordField() = default;
  constexpr RecordField(int32_t Record::*member) : m_member(member) {}
  constexpr RecordField(bool Record::*member) : m_member(member) {}
  constexpr RecordField(uint8_t Record::*member) : m_member(member) {}
  constexpr RecordField(std::string Record::*member) : m_member(member) {}
  constexpr RecordField(std::optional<int32_t> Record::*member) : m_member(member) {}
  // Element index of a field that is an array of three.
  constexpr RecordField(int32_t (Record::*array)[3], int32_t index) : m_member(Element{array, index}) {}

  bool IsIgnored() const { return std::holds_alternative<std::monostate>(m_member); }

  // The field in record; monostate for an ignored key.
  FieldPointer Bind(Record& record) const {
    return std::visit(
        [&record](const auto& member) -> FieldPointer {
          using Member = std::decay_t<decltype(member)>;
          if constexpr (std::is_same_v<Member, std::monostate>)
            return std::monostate{};
          else if constexpr (std::is_same_v<Member, Element>)
            return &(record.*member.array)[member.index];
          else
            return &(record.*member);
        },
        m_member);
  }
  // Writers only read through the pointer.
  FieldPointer Bind(const Record& record) const { return Bind(const_cast<Record&>(record)); }

 private:
  struct Element {
    int32_t (Record::*array)[3];
    int32_t index;
  };
  std::variant<std::monostate, int32_t Record::*, bool Record::*, uint8_t Record::*, std::string Record::*,
               std::optional<int32_t> Record::*, Element>
      m_member;
};

// For std::visit over a FieldPointer with one lambda per kind.
template <class... Visitors>
struct FieldVisitor : Visitors... {
  using Visitors::operator()...;
};
template <class... Visitors>
FieldVisitor(Visitors...) -> FieldVisitor<Visitors...>;

}  // namespace varnel

#pragma once

// Properties declared once in a table that a block's writer and reader both
// walk, and that a property page can list its fields from. Each entry is a
// keyword, the type of its value, when it is written and its accessors; the
// line written is indent, tab, the keyword and the value.

#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "engine/block_io.h"

namespace quillon {

enum class PropertyType { Text, Boolean, Random, Combine };

template <class Owner>
struct PropertyEntry {
    std::string_view keyword;
    PropertyType type;
    bool (*isWritten)(const Owner& owner);  // null: always written
    // What follows the keyword on its line (the separator included).
    void (*writeValue)(std::ostream& out, const Owner& owner);
    // False after the reader has shown its message; the owner is unchanged.
    bool (*read)(BlockReader& reader, Owner& owner);
};

// Get(const Owner&) returns the value, Set(Owner&, value) stores it; member
// function pointers and captureless lambdas both do.
template <class Owner, auto Get, auto Set>
constexpr PropertyEntry<Owner> RandomProperty(std::string_view keyword,
                                              bool (*isWritten)(const Owner&) = nullptr) {
    return {keyword, PropertyType::Random, isWritten,
            [](std::ostream& out, const Owner& owner) {
                out << ' ';
                std::invoke(Get, owner).Write(out);
            },
            [](BlockReader& reader, Owner& owner) {
                RandomNumber value;
                if (!reader.ReadRandomNumber(value)) return false;
                std::invoke(Set, owner, value);
                return true;
            }};
}

// A random number held in a field: Field(owner) returns a reference to it
// (a generic lambda serves both const and non-const owners).
template <class Owner, auto Field>
constexpr PropertyEntry<Owner> RandomField(std::string_view keyword,
                                           bool (*isWritten)(const Owner&) = nullptr) {
    constexpr auto get = [](const Owner& owner) -> const RandomNumber& { return Field(owner); };
    constexpr auto set = [](Owner& owner, const RandomNumber& value) { Field(owner) = value; };
    return RandomProperty<Owner, get, set>(keyword, isWritten);
}

template <class Owner, auto Get, auto Set>
constexpr PropertyEntry<Owner> BooleanProperty(std::string_view keyword,
                                               bool (*isWritten)(const Owner&) = nullptr) {
    return {keyword, PropertyType::Boolean, isWritten,
            [](std::ostream& out, const Owner& owner) {
                out << ' ' << BooleanKeyword(std::invoke(Get, owner));
            },
            [](BlockReader& reader, Owner& owner) {
                bool value = false;
                if (!reader.ReadBoolean(value)) return false;
                std::invoke(Set, owner, value);
                return true;
            }};
}

// A quoted text on the line after its keyword (descriptions).
template <class Owner, auto Get, auto Set>
constexpr PropertyEntry<Owner> TextProperty(std::string_view keyword,
                                            bool (*isWritten)(const Owner&) = nullptr) {
    return {keyword, PropertyType::Text, isWritten,
            [](std::ostream& out, const Owner& owner) {
                out << "\n\"" << CleanFileText(std::invoke(Get, owner)) << '"';
            },
            [](BlockReader& reader, Owner& owner) {
                std::string value;
                if (!reader.ReadString(value)) return false;
                std::invoke(Set, owner, value);
                return true;
            }};
}

template <class Owner, auto Get, auto Set>
constexpr PropertyEntry<Owner> CombineProperty(std::string_view keyword,
                                               bool (*isWritten)(const Owner&) = nullptr) {
    return {keyword, PropertyType::Combine, isWritten,
            [](std::ostream& out, const Owner& owner) {
                out << ' ' << CombineFuncName(std::invoke(Get, owner));
            },
            [](BlockReader& reader, Owner& owner) {
                CombineFunc value{};
                if (!reader.ReadCombineFunction(value)) return false;
                std::invoke(Set, owner, value);
                return true;
            }};
}

// The lines of every entry whose condition holds, in table order.
template <class Owner>
void WriteProperties(std::ostream& out, const std::string& indent,
                     std::span<const PropertyEntry<Owner>> table, const Owner& owner) {
    for (const PropertyEntry<Owner>& entry : table) {
        if (entry.isWritten && !entry.isWritten(owner)) continue;
        out << indent << '\t' << entry.keyword;
        entry.writeValue(out, owner);
        out << '\n';
    }
}

// Reads the value of keyword when the table has it; a keyword is read
// whatever the entry's write condition says.
template <class Owner>
KeywordResult ReadProperty(BlockReader& reader, std::span<const PropertyEntry<Owner>> table,
                           Owner& owner, std::string_view keyword) {
    for (const PropertyEntry<Owner>& entry : table) {
        if (entry.keyword == keyword) return ReadResult(entry.read(reader, owner));
    }
    return KeywordResult::Unknown;
}

}  // namespace quillon

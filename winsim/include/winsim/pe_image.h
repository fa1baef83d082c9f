// Reader of PE images (.exe, .dll) and their resources: winsim loads message
// tables, dialogs and strings from the same files that Windows would.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace winsim::pe {

// A resource type or name: a 16-bit number, or a string when name is not empty.
struct ResourceId {
    uint16_t number = 0;
    std::u16string name;
    bool operator==(const ResourceId& other) const { return number == other.number && name == other.name; }
};

struct Resource {
    ResourceId type;
    ResourceId name;
    uint16_t language;
    std::vector<uint8_t> data;
};

struct Image {
    uint16_t machine = 0;    // 0x14c i386, 0x8664 x86-64
    uint16_t subsystem = 0;  // 2 GUI, 3 console
    bool pe32plus = false;
    bool dll = false;
    std::vector<Resource> resources;
};

// Reads the file; false with a reason in *error when it is not a PE image.
bool LoadImage(const std::string& path, Image* image, std::string* error);

// The first resource of that type and name, in the language asked for or,
// failing that, in any language; null when there is none.
const Resource* FindResource(const Image& image, const ResourceId& type, const ResourceId& name,
                             uint16_t language = 0);

// A resource id from a Windows-style argument: a number, or a text of UTF-16 units.
ResourceId NumberId(uint16_t number);
ResourceId NameId(const std::u16string& name);

// One node of a VS_VERSIONINFO tree.
struct VersionBlock {
    std::u16string key;
    std::vector<uint8_t> value;  // raw bytes of the value
    bool text = false;           // wType 1: the value is UTF-16 text
    std::vector<VersionBlock> children;
};
bool ParseVersionInfo(const std::vector<uint8_t>& data, VersionBlock* root);

// One entry of a message table (RT_MESSAGETABLE).
struct MessageEntry {
    uint32_t id;
    uint16_t length;  // bytes, header included
    uint16_t flags;   // 0 ANSI, 1 UTF-16
    std::vector<uint8_t> text;  // raw text bytes after the header, padding included
};
struct MessageTable {
    struct Block {
        uint32_t lowId, highId;
    };
    std::vector<Block> blocks;
    std::vector<MessageEntry> entries;
};
bool ParseMessageTable(const std::vector<uint8_t>& data, MessageTable* table);

}  // namespace winsim::pe

// PE image reader: headers, the resource directory, version info, message tables.
#include <winsim/pe_image.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace winsim::pe {
namespace {

struct Reader {
    const std::vector<uint8_t>& bytes;
    bool ok = true;

    template <typename T>
    T At(size_t offset) {
        T value{};
        if (offset + sizeof(T) > bytes.size() || offset + sizeof(T) < offset) {
            ok = false;
            return value;
        }
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
        return value;
    }
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

// File offset of an RVA, or 0 when no section holds it.
size_t OffsetOf(const std::vector<Section>& sections, uint32_t rva) {
    for (const Section& s : sections) {
        uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva < s.virtualAddress + extent) return s.rawOffset + (rva - s.virtualAddress);
    }
    return 0;
}

ResourceId EntryId(Reader& r, size_t directoryStart, uint32_t nameField) {
    ResourceId id;
    if (nameField & 0x80000000u) {
        size_t at = directoryStart + (nameField & 0x7FFFFFFFu);
        uint16_t length = r.At<uint16_t>(at);
        for (uint16_t i = 0; i < length && r.ok; ++i) id.name.push_back(r.At<char16_t>(at + 2 + 2 * i));
    } else {
        id.number = static_cast<uint16_t>(nameField);
    }
    return id;
}

struct DirectoryEntry {
    uint32_t name, target;
};

std::vector<DirectoryEntry> Entries(Reader& r, size_t directory) {
    uint16_t named = r.At<uint16_t>(directory + 12);
    uint16_t numbered = r.At<uint16_t>(directory + 14);
    std::vector<DirectoryEntry> entries;
    for (unsigned i = 0; i < unsigned(named) + numbered && r.ok; ++i) {
        size_t at = directory + 16 + 8 * i;
        entries.push_back({r.At<uint32_t>(at), r.At<uint32_t>(at + 4)});
    }
    return entries;
}

bool ReadResources(Reader& r, const std::vector<Section>& sections, uint32_t rva, Image* image) {
    size_t root = OffsetOf(sections, rva);
    if (!root) return false;
    for (const DirectoryEntry& typeEntry : Entries(r, root)) {
        if (!(typeEntry.target & 0x80000000u)) continue;
        size_t names = root + (typeEntry.target & 0x7FFFFFFFu);
        for (const DirectoryEntry& nameEntry : Entries(r, names)) {
            if (!(nameEntry.target & 0x80000000u)) continue;
            size_t languages = root + (nameEntry.target & 0x7FFFFFFFu);
            for (const DirectoryEntry& languageEntry : Entries(r, languages)) {
                if (languageEntry.target & 0x80000000u) continue;
                size_t leaf = root + languageEntry.target;
                uint32_t dataRva = r.At<uint32_t>(leaf);
                uint32_t size = r.At<uint32_t>(leaf + 4);
                size_t dataOffset = OffsetOf(sections, dataRva);
                if (!r.ok || !dataOffset || dataOffset + size > r.bytes.size()) return false;
                Resource resource;
                resource.type = EntryId(r, root, typeEntry.name);
                resource.name = EntryId(r, root, nameEntry.name);
                resource.language = static_cast<uint16_t>(languageEntry.name);
                resource.data.assign(r.bytes.begin() + dataOffset, r.bytes.begin() + dataOffset + size);
                image->resources.push_back(std::move(resource));
            }
        }
    }
    return r.ok;
}

size_t Align4(size_t offset) { return (offset + 3) & ~size_t(3); }

bool ParseBlock(Reader& r, size_t start, size_t limit, VersionBlock* block, size_t* end) {
    uint16_t length = r.At<uint16_t>(start);
    uint16_t valueLength = r.At<uint16_t>(start + 2);
    uint16_t type = r.At<uint16_t>(start + 4);
    if (!r.ok || length < 6 || start + length > limit) return false;
    size_t at = start + 6;
    for (char16_t c; (c = r.At<char16_t>(at)) != 0 && r.ok; at += 2) block->key.push_back(c);
    at = Align4(at + 2);
    block->text = type == 1;
    size_t valueBytes = block->text ? valueLength * 2u : valueLength;
    if (at + valueBytes > start + length) valueBytes = at < start + length ? start + length - at : 0;
    block->value.assign(r.bytes.begin() + at, r.bytes.begin() + at + valueBytes);
    at = Align4(at + valueBytes);
    while (at < start + length && r.ok) {
        VersionBlock child;
        size_t childEnd;
        if (!ParseBlock(r, at, start + length, &child, &childEnd)) return false;
        block->children.push_back(std::move(child));
        at = Align4(childEnd);
    }
    *end = start + length;
    return r.ok;
}

}  // namespace

bool LoadImage(const std::string& path, Image* image, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Reader r{bytes};
    if (r.At<uint16_t>(0) != 0x5A4D) {
        *error = "no MZ header";
        return false;
    }
    size_t pe = r.At<uint32_t>(0x3C);
    if (r.At<uint32_t>(pe) != 0x00004550 || !r.ok) {
        *error = "no PE signature";
        return false;
    }
    *image = Image();
    image->machine = r.At<uint16_t>(pe + 4);
    uint16_t sectionCount = r.At<uint16_t>(pe + 6);
    uint16_t optionalSize = r.At<uint16_t>(pe + 20);
    image->dll = (r.At<uint16_t>(pe + 22) & 0x2000) != 0;
    size_t optional = pe + 24;
    uint16_t magic = r.At<uint16_t>(optional);
    image->pe32plus = magic == 0x20B;
    image->subsystem = r.At<uint16_t>(optional + 68);
    size_t directories = optional + (image->pe32plus ? 112 : 96);
    uint32_t resourceRva = r.At<uint32_t>(directories + 2 * 8);
    std::vector<Section> sections;
    for (unsigned i = 0; i < sectionCount; ++i) {
        size_t at = optional + optionalSize + 40 * i;
        sections.push_back({r.At<uint32_t>(at + 12), r.At<uint32_t>(at + 8), r.At<uint32_t>(at + 20),
                            r.At<uint32_t>(at + 16)});
    }
    if (!r.ok) {
        *error = "truncated headers";
        return false;
    }
    if (resourceRva && !ReadResources(r, sections, resourceRva, image)) {
        *error = "damaged resource directory";
        return false;
    }
    return true;
}

const Resource* FindResource(const Image& image, const ResourceId& type, const ResourceId& name, uint16_t language) {
    const Resource* any = nullptr;
    for (const Resource& resource : image.resources) {
        if (!(resource.type == type) || !(resource.name == name)) continue;
        if (resource.language == language) return &resource;
        if (!any) any = &resource;
    }
    return any;
}

ResourceId NumberId(uint16_t number) {
    ResourceId id;
    id.number = number;
    return id;
}

ResourceId NameId(const std::u16string& name) {
    ResourceId id;
    for (char16_t c : name) id.name.push_back(c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c);
    return id;
}

bool ParseVersionInfo(const std::vector<uint8_t>& data, VersionBlock* root) {
    Reader r{data};
    size_t end;
    *root = VersionBlock();
    return ParseBlock(r, 0, data.size(), root, &end);
}

bool ParseMessageTable(const std::vector<uint8_t>& data, MessageTable* table) {
    Reader r{data};
    *table = MessageTable();
    uint32_t blockCount = r.At<uint32_t>(0);
    for (uint32_t b = 0; b < blockCount && r.ok; ++b) {
        uint32_t low = r.At<uint32_t>(4 + 12 * b);
        uint32_t high = r.At<uint32_t>(8 + 12 * b);
        size_t at = r.At<uint32_t>(12 + 12 * b);
        if (!r.ok || high < low) return false;
        table->blocks.push_back({low, high});
        for (uint32_t id = low; id <= high && r.ok; ++id) {
            uint16_t length = r.At<uint16_t>(at);
            uint16_t flags = r.At<uint16_t>(at + 2);
            if (length < 4 || at + length > data.size()) return false;
            table->entries.push_back({id, length, flags, std::vector<uint8_t>(data.begin() + at + 4, data.begin() + at + length)});
            at += length;
            if (id == high) break;  // high may be 0xFFFFFFFF
        }
    }
    return r.ok;
}

}  // namespace winsim::pe

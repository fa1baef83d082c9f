// peinfo: prints one fact of a built Windows program, for the checks of the
// cross builds (the host cannot run a 32-bit .exe, but it can read one).
//
//   peinfo FILE format                 PE32 or PE32+, i386 or x86-64, console or gui
//   peinfo FILE version KEY            a string of the version resource
//   peinfo FILE fixed-version          FileVersion and ProductVersion of the fixed part
//   peinfo FILE manifest               the text of manifest 1
//   peinfo FILE icon NAME              width x height x bits of each image of an icon group
//   peinfo FILE messages               every entry of message table 1, one per line
#include <winsim/pe_image.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace winsim::pe;

namespace {

const uint16_t kIcon = 3, kIconGroup = 14, kVersion = 16, kMessageTable = 11, kManifest = 24;

std::string Ascii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

ResourceId IdFromArgument(const char* text) {
    if (text[0] >= '0' && text[0] <= '9') return NumberId(static_cast<uint16_t>(std::atoi(text)));
    std::u16string name;
    for (const char* p = text; *p; ++p) name.push_back(static_cast<char16_t>(*p));
    return NameId(name);
}

const VersionBlock* FindString(const VersionBlock& block, const std::u16string& key) {
    if (block.key == key && block.text) return &block;
    for (const VersionBlock& child : block.children) {
        if (const VersionBlock* found = FindString(child, key)) return found;
    }
    return nullptr;
}

int Format(const Image& image) {
    std::printf("%s %s %s\n", image.pe32plus ? "PE32+" : "PE32",
                image.machine == 0x14c ? "i386" : image.machine == 0x8664 ? "x86-64" : "other",
                image.subsystem == 2 ? "gui" : image.subsystem == 3 ? "console" : "other");
    return 0;
}

int Version(const Image& image, const char* key) {
    const Resource* resource = FindResource(image, NumberId(kVersion), NumberId(1), 1033);
    VersionBlock root;
    if (!resource || !ParseVersionInfo(resource->data, &root)) return 2;
    std::u16string wanted;
    for (const char* p = key; *p; ++p) wanted.push_back(static_cast<char16_t>(*p));
    const VersionBlock* found = FindString(root, wanted);
    if (!found) return 3;
    std::u16string value;
    for (size_t i = 0; i + 1 < found->value.size(); i += 2) {
        char16_t c = static_cast<char16_t>(found->value[i] | (found->value[i + 1] << 8));
        if (!c) break;
        value.push_back(c);
    }
    std::printf("%s\n", Ascii(value).c_str());
    return 0;
}

int FixedVersion(const Image& image) {
    const Resource* resource = FindResource(image, NumberId(kVersion), NumberId(1), 1033);
    VersionBlock root;
    if (!resource || !ParseVersionInfo(resource->data, &root) || root.value.size() < 52) return 2;
    uint32_t words[13];
    std::memcpy(words, root.value.data(), sizeof(words));
    std::printf("%u.%u.%u.%u %u.%u.%u.%u filetype=%u os=0x%x\n", words[2] >> 16, words[2] & 0xFFFF, words[3] >> 16,
                words[3] & 0xFFFF, words[4] >> 16, words[4] & 0xFFFF, words[5] >> 16, words[5] & 0xFFFF, words[9],
                words[8]);
    return 0;
}

int Manifest(const Image& image) {
    const Resource* resource = FindResource(image, NumberId(kManifest), NumberId(1));
    if (!resource) return 2;
    std::fwrite(resource->data.data(), 1, resource->data.size(), stdout);
    return 0;
}

int Icon(const Image& image, const char* name) {
    const Resource* group = FindResource(image, NumberId(kIconGroup), IdFromArgument(name));
    if (!group || group->data.size() < 6) return 2;
    unsigned count = group->data[4] | (group->data[5] << 8);
    for (unsigned i = 0; i < count; ++i) {
        size_t at = 6 + 14 * i;
        if (at + 14 > group->data.size()) return 3;
        uint16_t iconId = static_cast<uint16_t>(group->data[at + 12] | (group->data[at + 13] << 8));
        const Resource* icon = FindResource(image, NumberId(kIcon), NumberId(iconId));
        if (!icon || icon->data.size() < 40) return 4;
        int32_t width, height;
        uint16_t bits;
        std::memcpy(&width, &icon->data[4], 4);
        std::memcpy(&height, &icon->data[8], 4);
        std::memcpy(&bits, &icon->data[14], 2);
        std::printf("%dx%dx%u\n", width, height / 2, bits);  // DIB height counts the AND mask too
    }
    return 0;
}

int Messages(const Image& image) {
    const Resource* resource = FindResource(image, NumberId(kMessageTable), NumberId(1), 1033);
    MessageTable table;
    if (!resource || !ParseMessageTable(resource->data, &table)) return 2;
    std::printf("language %u blocks %zu\n", resource->language, table.blocks.size());
    for (const MessageTable::Block& block : table.blocks) std::printf("block %u-%u\n", block.lowId, block.highId);
    for (const MessageEntry& entry : table.entries) {
        std::printf("id %u flags %u length %u text \"", entry.id, entry.flags, entry.length);
        for (uint8_t c : entry.text) {
            if (c == '\r') std::printf("\\r");
            else if (c == '\n') std::printf("\\n");
            else if (c == 0) std::printf("\\0");
            else std::printf("%c", c);
        }
        std::printf("\"\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: peinfo FILE format|version KEY|fixed-version|manifest|icon NAME|messages\n");
        return 1;
    }
    Image image;
    std::string error;
    if (!LoadImage(argv[1], &image, &error)) {
        std::fprintf(stderr, "peinfo: %s\n", error.c_str());
        return 1;
    }
    std::string what = argv[2];
    if (what == "format") return Format(image);
    if (what == "version" && argc > 3) return Version(image, argv[3]);
    if (what == "fixed-version") return FixedVersion(image);
    if (what == "manifest") return Manifest(image);
    if (what == "icon" && argc > 3) return Icon(image, argv[3]);
    if (what == "messages") return Messages(image);
    std::fprintf(stderr, "peinfo: unknown query %s\n", what.c_str());
    return 1;
}

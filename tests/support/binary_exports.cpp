#include "support/binary_exports.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

template <class T>
bool read_at(const std::vector<unsigned char>& f, size_t offset, T* out) {
    if (offset > f.size() || f.size() - offset < sizeof(T)) return false;
    std::memcpy(out, f.data() + offset, sizeof(T));
    return true;
}

std::string c_string_at(const std::vector<unsigned char>& f, size_t offset) {
    std::string s;
    while (offset < f.size() && f[offset] != 0) s.push_back(static_cast<char>(f[offset++]));
    return s;
}

void read_pe(const std::vector<unsigned char>& f, BinaryExports* r) {
    r->is_pe = true;
    uint32_t pe = 0;
    uint16_t sections = 0, optional_size = 0, magic = 0;
    if (!read_at(f, 0x3C, &pe) || !read_at(f, pe + 6, &sections) || !read_at(f, pe + 20, &optional_size) ||
        !read_at(f, pe + 24, &magic)) {
        r->error = "bad PE header";
        return;
    }
    const size_t opt = pe + 24;
    const size_t dirs = opt + (magic == 0x20B ? 112 : 96);
    uint32_t export_rva = 0, import_rva = 0;
    read_at(f, dirs, &export_rva);
    read_at(f, dirs + 8, &import_rva);
    const size_t section_table = opt + optional_size;
    auto to_offset = [&](uint32_t rva) -> size_t {
        for (uint16_t i = 0; i < sections; ++i) {
            const size_t s = section_table + 40u * i;
            uint32_t vsize = 0, vaddr = 0, raw_size = 0, raw_ptr = 0;
            read_at(f, s + 8, &vsize);
            read_at(f, s + 12, &vaddr);
            read_at(f, s + 16, &raw_size);
            read_at(f, s + 20, &raw_ptr);
            if (rva >= vaddr && rva < vaddr + (vsize > raw_size ? vsize : raw_size)) return raw_ptr + (rva - vaddr);
        }
        return SIZE_MAX;
    };
    if (export_rva) {
        const size_t dir = to_offset(export_rva);
        uint32_t count = 0, functions_rva = 0, names_rva = 0, ordinals_rva = 0;
        read_at(f, dir + 24, &count);
        read_at(f, dir + 28, &functions_rva);
        read_at(f, dir + 32, &names_rva);
        read_at(f, dir + 36, &ordinals_rva);
        const size_t names = to_offset(names_rva), ordinals = to_offset(ordinals_rva), functions = to_offset(functions_rva);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t name_rva = 0, function_rva = 0;
            uint16_t ordinal = 0;
            if (!read_at(f, names + 4u * i, &name_rva) || !read_at(f, ordinals + 2u * i, &ordinal) ||
                !read_at(f, functions + 4u * ordinal, &function_rva))
                break;
            r->names.push_back(c_string_at(f, to_offset(name_rva)));
            r->addresses.push_back(function_rva);
        }
    }
    if (import_rva) {
        for (size_t d = to_offset(import_rva);; d += 20) {
            uint32_t name_rva = 0;
            if (!read_at(f, d + 12, &name_rva) || name_rva == 0) break;
            r->imported_dlls.push_back(c_string_at(f, to_offset(name_rva)));
        }
    }
    r->ok = true;
}

template <class Ehdr, class Shdr, class Sym>
void read_elf(const std::vector<unsigned char>& f, BinaryExports* r) {
    Ehdr eh{};
    if (!read_at(f, 0, &eh)) {
        r->error = "bad ELF header";
        return;
    }
    for (unsigned i = 0; i < eh.e_shnum; ++i) {
        Shdr sh{};
        if (!read_at(f, eh.e_shoff + static_cast<size_t>(i) * eh.e_shentsize, &sh)) break;
        if (sh.sh_type != 11 /* SHT_DYNSYM */) continue;
        Shdr strtab{};
        read_at(f, eh.e_shoff + static_cast<size_t>(sh.sh_link) * eh.e_shentsize, &strtab);
        for (size_t off = 0; off + sizeof(Sym) <= sh.sh_size; off += sizeof(Sym)) {
            Sym sym{};
            read_at(f, sh.sh_offset + off, &sym);
            const unsigned binding = sym.st_info >> 4;
            const unsigned visibility = sym.st_other & 3;
            if (sym.st_shndx == 0 || sym.st_name == 0 || (binding != 1 && binding != 2) || visibility != 0) continue;
            r->names.push_back(c_string_at(f, strtab.sh_offset + sym.st_name));
            r->addresses.push_back(sym.value);
        }
    }
    r->ok = true;
}

struct Elf64Ehdr { unsigned char ident[16]; uint16_t type, machine; uint32_t version; uint64_t entry, phoff, e_shoff; uint32_t flags; uint16_t ehsize, phentsize, phnum, e_shentsize, e_shnum, shstrndx; };
struct Elf64Shdr { uint32_t name, sh_type; uint64_t flags, addr, sh_offset, sh_size; uint32_t sh_link, info; uint64_t addralign, entsize; };
struct Elf64Sym { uint32_t st_name; unsigned char st_info, st_other; uint16_t st_shndx; uint64_t value, size; };
struct Elf32Ehdr { unsigned char ident[16]; uint16_t type, machine; uint32_t version, entry, phoff, e_shoff, flags; uint16_t ehsize, phentsize, phnum, e_shentsize, e_shnum, shstrndx; };
struct Elf32Shdr { uint32_t name, sh_type, flags, addr, sh_offset, sh_size, sh_link, info, addralign, entsize; };
struct Elf32Sym { uint32_t st_name, value, size; unsigned char st_info, st_other; uint16_t st_shndx; };

}  // namespace

BinaryExports read_binary_exports(const std::string& path) {
    BinaryExports r;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        r.error = "cannot open " + path;
        return r;
    }
    const std::vector<unsigned char> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (f.size() > 4 && f[0] == 'M' && f[1] == 'Z') {
        read_pe(f, &r);
    } else if (f.size() > 16 && std::memcmp(f.data(), "\x7f" "ELF", 4) == 0) {
        if (f[4] == 2) read_elf<Elf64Ehdr, Elf64Shdr, Elf64Sym>(f, &r);
        else read_elf<Elf32Ehdr, Elf32Shdr, Elf32Sym>(f, &r);
    } else {
        r.error = "neither PE nor ELF: " + path;
    }
    return r;
}

ExportList read_export_list(const std::string& path, bool posix) {
    ExportList list;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first[0] == '#') continue;
        std::string name = first;
        if (first == "posix") {
            if (!(words >> name) || !posix) continue;
        }
        list.names.push_back(name);
        std::string eq, target;
        if (words >> eq >> target && eq == "=") list.aliases.emplace_back(name, target);
    }
    return list;
}

#include "sound/soundfont_subset.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace {

// The records of the preset data's nine tables, as SoundFont 2.01 fixes
// them; each table ends with one terminal record.
constexpr size_t PRESET_RECORD = 38;      // phdr: name, program, bank, first zone, 3 x 32 bits
constexpr size_t ZONE_RECORD = 4;         // pbag, ibag: first generator, first modulator
constexpr size_t MODULATOR_RECORD = 10;   // pmod, imod
constexpr size_t GENERATOR_RECORD = 4;    // pgen, igen: operator, amount
constexpr size_t INSTRUMENT_RECORD = 22;  // inst: name, first zone
constexpr size_t SAMPLE_RECORD = 46;      // shdr
constexpr std::array<const char*, 9> TABLE_IDS = {"phdr", "pbag", "pmod", "pgen", "inst",
                                                  "ibag", "imod", "igen", "shdr"};

constexpr uint16_t GEN_INSTRUMENT = 41;
constexpr uint16_t GEN_SAMPLE_ID = 53;
constexpr uint16_t MELODIC_BANK = 0;
// Sample types: the stereo halves name each other; ROM samples have no data.
constexpr uint16_t LINKED_TYPES = 2 | 4 | 8;
constexpr uint16_t ROM_SAMPLE = 0x8000;
// Data points of silence the format requires after each sample; the
// synthesiser's interpolation reads into them.
constexpr uint32_t ZEROS_AFTER_SAMPLE = 46;

uint16_t get16(const char* p) { return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8); }
uint32_t get32(const char* p) { return uint32_t(get16(p)) | uint32_t(get16(p + 2)) << 16; }
void set16(char* p, uint16_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
void set32(char* p, uint32_t v) {
    set16(p, uint16_t(v & 0xFFFF));
    set16(p + 2, uint16_t(v >> 16));
}
std::string le32(uint32_t v) {
    std::string s(4, '\0');
    set32(s.data(), v);
    return s;
}
std::string chunk(const char* id, const std::string& data) {
    return std::string(id, 4) + le32(uint32_t(data.size())) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

struct Source {
    int fd = -1;
    uint64_t size = 0;

    bool read(uint64_t at, uint64_t length, std::string* out) const {
        if (at > size || length > size - at) return false;
        out->resize(size_t(length));
        for (size_t done = 0; done < length;) {
            const ssize_t n = ::pread(fd, out->data() + done, length - done, off_t(at + done));
            if (n <= 0) return false;
            done += size_t(n);
        }
        return true;
    }
};

struct Chunk {
    std::string id;
    uint64_t at = 0;  // its data
    uint32_t size = 0;
};

// The chunks that follow each other in [from, to), or none when one runs
// past the end.
std::vector<Chunk> chunks_in(const Source& source, uint64_t from, uint64_t to) {
    std::vector<Chunk> found;
    std::string header;
    while (from + 8 <= to) {
        if (!source.read(from, 8, &header)) return {};
        const Chunk c{header.substr(0, 4), from + 8, get32(header.data() + 4)};
        if (c.at + c.size > to) return {};
        found.push_back(c);
        from = c.at + c.size + c.size % 2;
    }
    return found;
}

// A LIST chunk's own chunks, given its type.
bool list_of(const Source& source, const std::vector<Chunk>& top, const char* type, Chunk* list) {
    std::string kind;
    for (const Chunk& c : top)
        if (c.id == "LIST" && c.size >= 4 && source.read(c.at, 4, &kind) && kind == type) {
            *list = c;
            return true;
        }
    return false;
}

struct Table {
    const char* data = nullptr;
    size_t record = 0;
    size_t count = 0;  // the terminal record included
    const char* at(size_t i) const { return data + i * record; }
};

// The preset data, read and checked: every table present, of whole records,
// with its terminal record, and every index within its table.
struct Presets {
    std::string bytes;
    std::map<std::string, Table> tables;

    const Table& operator[](const char* id) const { return tables.at(id); }
};

bool read_presets(const Source& source, const Chunk& pdta, Presets* out) {
    if (!source.read(pdta.at, pdta.size, &out->bytes)) return false;
    constexpr std::array<size_t, 9> records = {PRESET_RECORD,    ZONE_RECORD,       MODULATOR_RECORD,
                                               GENERATOR_RECORD, INSTRUMENT_RECORD, ZONE_RECORD,
                                               MODULATOR_RECORD, GENERATOR_RECORD,  SAMPLE_RECORD};
    size_t at = 4;
    while (at + 8 <= out->bytes.size()) {
        const std::string id = out->bytes.substr(at, 4);
        const uint32_t size = get32(out->bytes.data() + at + 4);
        if (at + 8 + size > out->bytes.size()) return false;
        for (size_t t = 0; t < TABLE_IDS.size(); ++t)
            if (id == TABLE_IDS[t]) {
                if (size % records[t] != 0 || size == 0) return false;
                out->tables[id] = Table{out->bytes.data() + at + 8, records[t], size / records[t]};
            }
        at += 8 + size + size % 2;
    }
    return out->tables.size() == TABLE_IDS.size();
}

// Old index to new, in the order first asked for.
struct Renumbering {
    std::vector<size_t> order;
    std::map<size_t, uint16_t> index;
    uint16_t of(size_t old) {
        auto [it, added] = index.emplace(old, uint16_t(order.size()));
        if (added) order.push_back(old);
        return it->second;
    }
};

// Copies the zones [first, end) of one preset or instrument, with their
// generators and modulators; the generator `reference` (the instrument of a
// preset zone, the sample of an instrument zone) is renumbered. False when
// an index lies outside its table.
bool copy_zones(const Table& bags, const Table& gens, const Table& mods, size_t first, size_t end, uint16_t reference,
                size_t referenced_count, Renumbering& referenced, std::string& out_bags, std::string& out_gens,
                std::string& out_mods) {
    if (first > end || end >= bags.count) return false;
    for (size_t bag = first; bag < end; ++bag) {
        const size_t gen0 = get16(bags.at(bag)), gen1 = get16(bags.at(bag + 1));
        const size_t mod0 = get16(bags.at(bag) + 2), mod1 = get16(bags.at(bag + 1) + 2);
        if (gen0 > gen1 || gen1 >= gens.count || mod0 > mod1 || mod1 >= mods.count) return false;
        std::string zone(ZONE_RECORD, '\0');
        set16(zone.data(), uint16_t(out_gens.size() / GENERATOR_RECORD));
        set16(zone.data() + 2, uint16_t(out_mods.size() / MODULATOR_RECORD));
        out_bags += zone;
        for (size_t g = gen0; g < gen1; ++g) {
            std::string gen(gens.at(g), GENERATOR_RECORD);
            if (get16(gen.data()) == reference) {
                const size_t old = get16(gen.data() + 2);
                if (old + 1 >= referenced_count) return false;
                set16(gen.data() + 2, referenced.of(old));
            }
            out_gens += gen;
        }
        out_mods.append(mods.at(mod0), (mod1 - mod0) * MODULATOR_RECORD);
    }
    return true;
}

// Closes a zone table, and the generator and modulator tables it indexes,
// with their terminal records.
void terminate_zones(std::string& bags, std::string& gens, std::string& mods) {
    std::string zone(ZONE_RECORD, '\0');
    set16(zone.data(), uint16_t(gens.size() / GENERATOR_RECORD));
    set16(zone.data() + 2, uint16_t(mods.size() / MODULATOR_RECORD));
    bags += zone;
    gens.append(GENERATOR_RECORD, '\0');
    mods.append(MODULATOR_RECORD, '\0');
}

// The samples, renumbered, with their data laid end to end, each followed
// by its zeros. Loops keep their place within their sample. False for a
// sample the subset could not play the same: without data, or with a loop
// outside it.
bool copy_samples(const Source& source, const Chunk& smpl, const Table& headers, Renumbering& samples,
                  std::string& out_headers, std::string& out_data) {
    const uint64_t points = smpl.size / 2;
    for (size_t i = 0; i < samples.order.size(); ++i) {  // a stereo half may add its other half
        std::string header(headers.at(samples.order[i]), SAMPLE_RECORD);
        char* h = header.data();
        const uint32_t start = get32(h + 20), end = get32(h + 24), loop_start = get32(h + 28), loop_end = get32(h + 32);
        const uint16_t link = get16(h + 42), type = get16(h + 44);
        if ((type & ROM_SAMPLE) != 0 || start > end || end > points || loop_start < start || loop_start > loop_end ||
            loop_end > end)
            return false;
        std::string data;
        if (!source.read(smpl.at + uint64_t(start) * 2, uint64_t(end - start) * 2, &data)) return false;
        const uint32_t moved_start = uint32_t(out_data.size() / 2);
        out_data += data;
        out_data.append(ZEROS_AFTER_SAMPLE * 2, '\0');
        set32(h + 20, moved_start);
        set32(h + 24, moved_start + (end - start));
        set32(h + 28, moved_start + (loop_start - start));
        set32(h + 32, moved_start + (loop_end - start));
        const bool linked = (type & LINKED_TYPES) != 0 && size_t(link) + 1 < headers.count;
        set16(h + 42, linked ? samples.of(link) : 0);
        out_headers += header;
    }
    out_headers.append(headers.at(headers.count - 1), SAMPLE_RECORD);  // "EOS"
    return true;
}

std::string subset_of(const Source& source, std::span<const uint8_t> programs) {
    std::string header;
    if (!source.read(0, 12, &header) || header.compare(0, 4, "RIFF") != 0 || header.compare(8, 4, "sfbk") != 0)
        return {};
    const std::vector<Chunk> top = chunks_in(source, 12, std::min<uint64_t>(8 + get32(header.data() + 4), source.size));
    Chunk info, sdta, pdta;
    if (!list_of(source, top, "INFO", &info) || !list_of(source, top, "sdta", &sdta) ||
        !list_of(source, top, "pdta", &pdta))
        return {};
    // 24-bit fonts keep their low bytes apart; the game's is 16-bit, and
    // any other is loaded whole.
    const Chunk* smpl = nullptr;
    const std::vector<Chunk> samples_data = chunks_in(source, sdta.at + 4, sdta.at + sdta.size);
    for (const Chunk& c : samples_data) {
        if (c.id == "sm24") return {};
        if (c.id == "smpl") smpl = &c;
    }
    Presets in;
    if (smpl == nullptr || !read_presets(source, pdta, &in)) return {};

    std::string phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr, data;
    Renumbering instruments, samples;
    const Table& presets = in["phdr"];
    for (size_t p = 0; p + 1 < presets.count; ++p) {
        const char* record = presets.at(p);
        if (get16(record + 22) != MELODIC_BANK ||
            std::find(programs.begin(), programs.end(), get16(record + 20)) == programs.end())
            continue;
        std::string copy(record, PRESET_RECORD);
        set16(copy.data() + 24, uint16_t(pbag.size() / ZONE_RECORD));
        phdr += copy;
        if (!copy_zones(in["pbag"], in["pgen"], in["pmod"], get16(record + 24), get16(presets.at(p + 1) + 24),
                        GEN_INSTRUMENT, in["inst"].count, instruments, pbag, pgen, pmod))
            return {};
    }
    if (phdr.empty()) return {};
    std::string end_of_presets(presets.at(presets.count - 1), PRESET_RECORD);
    set16(end_of_presets.data() + 24, uint16_t(pbag.size() / ZONE_RECORD));
    phdr += end_of_presets;
    terminate_zones(pbag, pgen, pmod);

    const Table& instrument_table = in["inst"];
    for (size_t old : instruments.order) {
        std::string copy(instrument_table.at(old), INSTRUMENT_RECORD);
        set16(copy.data() + 20, uint16_t(ibag.size() / ZONE_RECORD));
        inst += copy;
        if (!copy_zones(in["ibag"], in["igen"], in["imod"], get16(instrument_table.at(old) + 20),
                        get16(instrument_table.at(old + 1) + 20), GEN_SAMPLE_ID, in["shdr"].count, samples, ibag, igen,
                        imod))
            return {};
    }
    std::string end_of_instruments(instrument_table.at(instrument_table.count - 1), INSTRUMENT_RECORD);
    set16(end_of_instruments.data() + 20, uint16_t(ibag.size() / ZONE_RECORD));
    inst += end_of_instruments;
    terminate_zones(ibag, igen, imod);
    if (!copy_samples(source, *smpl, in["shdr"], samples, shdr, data)) return {};

    std::string info_data;
    if (!source.read(info.at, info.size, &info_data)) return {};
    const std::string body = chunk("LIST", info_data) + chunk("LIST", "sdta" + chunk("smpl", data)) +
                             chunk("LIST", "pdta" + chunk("phdr", phdr) + chunk("pbag", pbag) + chunk("pmod", pmod) +
                                               chunk("pgen", pgen) + chunk("inst", inst) + chunk("ibag", ibag) +
                                               chunk("imod", imod) + chunk("igen", igen) + chunk("shdr", shdr));
    return chunk("RIFF", "sfbk" + body);
}

}  // namespace

std::string soundfont_subset(const std::string& path, std::span<const uint8_t> programs) {
    Source source;
    source.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (source.fd < 0) return {};
    struct stat about {};
    std::string subset;
    if (::fstat(source.fd, &about) == 0 && S_ISREG(about.st_mode)) {
        source.size = uint64_t(about.st_size);
        subset = subset_of(source, programs);
    }
    ::close(source.fd);
    return subset;
}

MemoryFile::MemoryFile(const std::string& bytes) {
    if (bytes.empty()) return;
    fd_ = ::memfd_create("colonnade4-soundfont", MFD_CLOEXEC);
    for (size_t done = 0; fd_ >= 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ::close(fd_);
            fd_ = -1;
        } else {
            done += size_t(n);
        }
    }
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string MemoryFile::path() const { return "/proc/self/fd/" + std::to_string(fd_); }

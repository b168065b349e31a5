#include "kvfiles/bank_file.h"

#include "kvproto/image_layout.h"
#include "kvproto/names.h"
#include "kvproto/system_block.h"

namespace kvfiles {

namespace {

namespace img = kvcom::image;

// Where the system block keeps its checksum (its payload is nibble-split
// like a program image's).
constexpr std::size_t kChecksumAt = 104;

constexpr std::uint8_t kFileMagic[4] = {0x50, 0x01, 0x00, 0x00};
// Program images end at least this far after their F0.
constexpr std::size_t kImageMinEnd = 360;

bool HeaderPresent(const std::uint8_t* data, std::size_t n) {
    if (n < kBankHeaderBytes) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (data[i] != kFileMagic[i]) return false;
    return data[4] == 0xF0 && data[9] == kvcom::kSystemBlockCommand;
}

}  // namespace

BankTable EmptyBankTable() {
    BankTable t;
    t.entries[0].name = "UNSAVED";
    for (int m = 1; m < kBankEntries; ++m) {
        t.entries[m].name = "<None>";
        t.entries[m].image = {0xF0, 0xF7};
    }
    return t;
}

std::vector<std::uint8_t> SystemBlock(int mem_num) {
    std::vector<std::uint8_t> block(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength);
    block[kvcom::kSystemBlockMemNumOffset] = static_cast<std::uint8_t>(mem_num & 0x0F);
    block[kvcom::kSystemBlockMemNumOffset + 1] = static_cast<std::uint8_t>((mem_num >> 4) & 0x0F);
    block[kChecksumAt] = img::Checksum(block.data(), 8, kChecksumAt);
    return block;
}

std::vector<std::uint8_t> EncodeBank(const BankTable& table) {
    std::vector<std::uint8_t> out(kFileMagic, kFileMagic + 4);
    const std::vector<std::uint8_t> block = SystemBlock(table.current);
    out.insert(out.end(), block.begin(), block.end());
    auto put = [&out](const BankEntry& e) {
        if (e.image.empty()) {
            out.push_back(0xF0);
            out.push_back(0xF7);
        } else {
            out.insert(out.end(), e.image.begin(), e.image.end());
        }
    };
    for (int m = kBankEntries - 1; m >= 1; --m) put(table.entries[m]);
    put(table.entries[0]);
    return out;
}

BankTable DecodeBank(const std::uint8_t* data, std::size_t n) {
    BankTable t = EmptyBankTable();
    if (data == nullptr) return t;
    if (n > kBankFileMax) n = kBankFileMax;
    if (HeaderPresent(data, n)) {
        const int current = img::JoinPair(data + 4 + kvcom::kSystemBlockMemNumOffset);
        if (current >= 1 && current <= 60) t.current = current;
    }

    std::size_t k = 0;
    while (k + 5 < n) {
        if (data[k] != 0xF0 || data[k + img::kCommandOffset] != img::kCommand) {
            ++k;
            continue;
        }
        // An image is one whole message: data bytes up to its F7. A status
        // byte before that means it was cut short and another message began
        // there, which the scan must not swallow.
        std::size_t e = k + 1;
        while (e < n && data[e] < 0x80) ++e;
        if (e >= n) break;  // no closing F7: nothing more to find
        if (data[e] != 0xF7 || e < k + kImageMinEnd) {
            k = e;
            continue;
        }

        const int memory = data[k + img::kMemNumOffset];
        const std::size_t length = e - k + 1;
        if (memory < kBankEntries && length <= kBankImageMax) {
            BankEntry& entry = t.entries[memory];
            entry.used = true;
            entry.offset = k;
            entry.image.assign(data + k, data + e + 1);
            entry.name.clear();
            for (int i = 0; i < 8; ++i)
                entry.name += kvcom::NameCharFromList(img::JoinPair(data + k + img::kNameOffset + 2 * i));
        }
        k = e + 1;
    }
    return t;
}

}  // namespace kvfiles

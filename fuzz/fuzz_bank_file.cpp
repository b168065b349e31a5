// The bank-file decoder (".ay") on any file. Every image it files is whole
// and filed under its own number, and the table it gives re-encodes to a
// file that decodes to the same table.
#include <cstring>

#include "kvfiles/bank_file.h"
#include "fuzz_support.h"
#include "kvproto/image_layout.h"

using namespace kvfuzz;
namespace img = kvcom::image;

namespace {

bool SameTable(const kvfiles::BankTable& a, const kvfiles::BankTable& b) {
    if (a.current != b.current) return false;
    for (int m = 0; m < kvfiles::kBankEntries; ++m) {
        const kvfiles::BankEntry &x = a.entries[m], &y = b.entries[m];
        if (x.used != y.used || x.name != y.name || x.image != y.image) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    // Exactly the file's bytes on the heap, so a read past the end is caught.
    const Bytes file(data, data + n);
    const kvfiles::BankTable t = kvfiles::DecodeBank(file.data(), file.size());

    Check(t.current >= 1 && t.current <= 60, "current memory outside 1..60");
    for (int m = 0; m < kvfiles::kBankEntries; ++m) {
        const kvfiles::BankEntry& e = t.entries[m];
        if (!e.used) continue;
        const Bytes& i = e.image;
        Check(i.size() > static_cast<std::size_t>(img::kMemNumOffset) && i.size() <= kvfiles::kBankImageMax,
              "filed image of impossible length");
        Check(i.front() == 0xF0 && i.back() == 0xF7 && i[img::kCommandOffset] == img::kCommand,
              "filed image is not one whole program image");
        Check(i[img::kMemNumOffset] == m, "image filed under another memory's number");
        Check(e.name.size() == 8, "name is not eight characters");
    }

    const Bytes again = kvfiles::EncodeBank(t);
    Check(SameTable(kvfiles::DecodeBank(again.data(), again.size()), t),
          "a decoded bank does not re-encode to the same table");
    return 0;
}

// The program-file decoder (".syx") on any file. A refused file leaves the
// model byte for byte as it was; an accepted one gives a model whose values
// lie in range, whose image round-trips, and whose own file is accepted and
// decodes to the same program.
#include <kvcom/kvcom.h>

#include <cstring>

#include "fuzz_support.h"
#include "kvfiles/program_file.h"

using namespace kvfuzz;

namespace {

// The model the file is loaded over: not the factory one, so that a decoder
// that touched it before refusing would show.
CDSDATA EditedModel() {
    CDSDATA m(BlankModel());
    m.figuration = 1;
    m.link_on = 1;
    std::memcpy(m.prog_name, "BEFORE", 7);
    m.out_gain[3] = -12;
    m.ina_delay = 480;
    m.eq_owner[0] = 2;
    m.out_eq_slot[2][0] = 0;
    m.eq_used = 1;
    return m;
}

struct ObjectBytes {
    unsigned char b[sizeof(CDSDATA)];
};
ObjectBytes BytesOf(const CDSDATA& m) {
    ObjectBytes o;
    std::memcpy(o.b, static_cast<const void*>(&m), sizeof o.b);
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    static const CDSDATA kBefore = EditedModel();
    CDSDATA model(kBefore);
    const ObjectBytes before = BytesOf(model);

    if (kvfiles::DecodeProgramFile(model, {data, n}).refused) {
        Check(std::memcmp(BytesOf(model).b, before.b, sizeof before.b) == 0, "a refused file changed the model");
        return 0;
    }
    CheckModel(model);
    CheckImageRoundTrip(model);

    const std::vector<std::uint8_t> own = kvfiles::EncodeProgramFile(model);
    CDSDATA reread(BlankModel());
    const kvfiles::ProgramFileRead again = kvfiles::DecodeProgramFile(reread, own);
    Check(!again.refused, "the program's own file is refused");
    Check(again.notes.empty(), "the program's own file reads as damaged");
    Check(kvfiles::EncodeProgramFile(reread) == own, "a program file does not decode to the program it holds");
    return 0;
}

// The program-file decoder (".syx") on any file. A refused file leaves the
// model byte for byte as it was; an accepted one gives a model whose values
// lie in range, whose image round-trips, and whose own file is accepted and
// decodes to the same program.
#include <kvcom/kvcom.h>

#include "fuzz_support.h"
#include "kvfiles/program_file.h"

using namespace kvfuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    CDSDATA model(EditedModel());
    const ObjectBytes before = BytesOf(model);

    if (kvfiles::DecodeProgramFile(model, {data, n}).refused) {
        Check(BytesOf(model) == before, "a refused file changed the model");
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

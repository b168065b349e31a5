// The JSON importer (Import JSON in 758, every kvctl command that takes a
// program) on any document. A refused document leaves the model byte for
// byte as it was; an accepted one gives a model whose values lie in range
// and whose image round-trips, and whose own export is accepted again and
// gives back an equal program: the same image and the same export.
#include <kvcom/kvcom.h>

#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "kvprog/program_json.h"

using namespace kvfuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    CDSDATA model(EditedModel());
    const ObjectBytes before = BytesOf(model);

    if (kvprog::ImportJson(model, std::string_view(reinterpret_cast<const char*>(data), n))) {
        Check(BytesOf(model) == before, "a refused document changed the model");
        return 0;
    }
    CheckModel(model);
    CheckImageRoundTrip(model);

    const std::string exported = kvprog::ExportJson(model);
    CDSDATA again(EditedModel());
    Check(!kvprog::ImportJson(again, exported), "the program's own export is refused");
    Check(Save(again) == Save(model), "an export does not import to the program it came from");
    Check(kvprog::ExportJson(again) == exported, "an export does not import to the program it came from");
    return 0;
}

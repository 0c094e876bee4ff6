// An ADX file as diduvuve-import and the window read it: imported, written
// back as ADX and imported again, which gives the same rows, header and
// cell tables and link settings; the definition text reads back with as many
// words and the same link settings.
#include "definitions/Adx.h"
#include "definitions/Persist.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    TAdxImport first;
    std::string error;
    if (!ImportAdx(text, "fuzz.adx", first, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    std::vector<std::string> notes;
    TAdxImport again;
    FUZZ_CHECK(ImportAdx(ExportAdx(first.Def, notes, first.HasAnalysis ? &first.Analysis : nullptr, &first.Link),
                         "again.adx", again, error));
    FUZZ_CHECK(again.HasAnalysis == first.HasAnalysis);
    FUZZ_CHECK(AnalysisText(again.Analysis) == AnalysisText(first.Analysis));
    FUZZ_CHECK(notes.empty());
    FUZZ_CHECK(again.Def.Info == first.Def.Info);
    FUZZ_CHECK(again.Def.Header == first.Def.Header);
    FUZZ_CHECK(again.Def.Words == first.Def.Words);
    FUZZ_CHECK(again.Link == first.Link);

    TLxPersist store;
    std::istringstream in(DefinitionText(first.Def, nullptr, &first.Link));
    for (std::string l; std::getline(in, l);) store.Lines.push_back(l.substr(0, l.find('\r')));
    TDefinition read;
    FUZZ_CHECK(ReadDefinition(store, read, error));
    FUZZ_CHECK(read.Words.size() == first.Def.Words.size());
    FUZZ_CHECK(ReadLinkSettings(store) == first.Link);
    return 0;
}

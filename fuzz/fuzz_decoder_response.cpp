// Any line a network decoder sends: its judgement, its fields, its excerpt for a log.
#include "FuzzSupport.h"
#include "boxes/DecoderProtocol.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);

    const ReceivedLine received = ClassifyReceivedLine(line, false);
    if (received.kind == ReceivedKind::Passing || received.kind == ReceivedKind::Response) {
        FUZZ_CHECK(received.code >= 0);
        FUZZ_CHECK(ResponseCodeOf(received.text) == received.code);
    }
    FUZZ_CHECK(ClassifyReceivedLine(line, true).kind == ReceivedKind::Invalid);

    const std::string trimmed = TrimReceived(line);
    FUZZ_CHECK(TrimReceived(trimmed) == trimmed);
    FUZZ_CHECK(trimmed.size() <= line.size());

    // Every field before a ';' counts, the one after the last only when not empty: the
    // fields joined again give the text back.
    const std::vector<std::string> fields = SplitFields(line, ";");
    FUZZ_CHECK(SplitFieldViews(line, ";").size() == fields.size());
    FUZZ_CHECK(CountFields(line, ";") == fields.size());
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) joined += (i ? ";" : "") + fields[i];
    if (!line.empty() && line.back() == ';') joined += ';';
    FUZZ_CHECK(joined == line);

    const std::string excerpt = PrintableExcerpt(line, 40);
    // Other bytes are spelled \xHH (tabs and carriage returns are kept: the log shows them).
    for (char c : excerpt) {
        FUZZ_CHECK((static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) || c == '\t' ||
                   c == '\r');
    }
    FUZZ_CHECK(excerpt.size() <= 4 * 40 + 64);
    (void)MatchesExpected(line, "ASCII/COMMANDNOTEXISTING");
    (void)MatchesExpected("LISTFILES;2", line);
    return 0;
}

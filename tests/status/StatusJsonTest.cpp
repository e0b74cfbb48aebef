// /status.json: every fact of a snapshot in its place, and a document that stays
// valid JSON (and valid UTF-8) whatever bytes the labels and descriptions hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cloud/json/Json.h"
#include "cloud/json/ParsedJson.h"
#include "status/StatusJson.h"

namespace lv {
namespace {

// The document as a client reads it, \u escapes turned into UTF-8.
class Parsed : public ParsedJson {
public:
    explicit Parsed(const std::string& text) : ParsedJson(text, JsonEncodeUtf8) {}
};

std::string Text(const JsonNode* node) { return node->kind == JsonString ? node->text : "<not a string>"; }

StatusFacts TwoBoxesAndADetection() {
    StatusFacts facts;
    facts.version = "1.50";
    facts.language = "en";
    facts.madeAt = 1760000000;
    StatusBox connected;
    connected.number = 1;
    connected.declared = true;
    connected.state = "connected";
    connected.stateText = "Connected";
    connected.label = "Box 1 [127.0.0.1:3601 31]\nBox connected";
    connected.reads = 128;
    connected.lastReadAgeSeconds = 12;
    connected.lastReadText = "12 s";
    StatusBox lost = connected;
    lost.number = 2;
    lost.state = "reconnecting";
    lost.stateText = "Reconnecting";
    lost.lostText = "Box 2 [127.0.0.1:3602 32] lost since 10:42:13 — reconnecting";
    facts.boxes = {connected, lost};
    facts.linkState = "connected";
    facts.linkStateText = "Connected";
    facts.linkWaiting = 3;
    facts.journalPending = 1;
    facts.detectionFile = "/data/logfiles/2026-05-17.dat";
    facts.detectionFileLines = 129;
    facts.detections = {StatusDetection{129, "10:42:11.05", 1, "31", "417", "DURAND Anne", "Time recorded"}};
    facts.alerts = {StatusAlert{1759999990, "10:42:13", lost.lostText}};
    return facts;
}

TEST(StatusJson, HoldsEachBoxTheLinkTheFileTheDetectionsAndTheAlerts) {
    Parsed json(StatusJson(TwoBoxesAndADetection(), 1760000002));
    const JsonNode* root = json.root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Text(JsonGet(root, "version")), "1.50");
    EXPECT_EQ(JsonGet(root, "snapshotAgeSeconds")->intValue, 2);
    EXPECT_EQ(JsonGet(root, "stale")->intValue, 0);

    const JsonNode* boxes = JsonGet(root, "boxes");
    ASSERT_EQ(boxes->count, 2);
    EXPECT_EQ(JsonGet(JsonItem(boxes, 0), "number")->intValue, 1);
    EXPECT_EQ(Text(JsonGet(JsonItem(boxes, 0), "state")), "connected");
    EXPECT_EQ(JsonGet(JsonItem(boxes, 0), "reads")->intValue, 128);
    EXPECT_EQ(JsonGet(JsonItem(boxes, 0), "lastReadAgeSeconds")->intValue, 12);
    EXPECT_EQ(Text(JsonGet(JsonItem(boxes, 0), "label")), "Box 1 [127.0.0.1:3601 31]\nBox connected");
    EXPECT_EQ(JsonGet(JsonItem(boxes, 0), "lost")->intValue, 0);
    EXPECT_EQ(JsonGet(JsonItem(boxes, 1), "lost")->intValue, 1);
    EXPECT_EQ(Text(JsonGet(JsonItem(boxes, 1), "lostText")),
              "Box 2 [127.0.0.1:3602 32] lost since 10:42:13 — reconnecting");

    EXPECT_EQ(Text(JsonGet(JsonGet(root, "link"), "state")), "connected");
    EXPECT_EQ(JsonGet(JsonGet(root, "link"), "waiting")->intValue, 3);
    EXPECT_EQ(JsonGet(JsonGet(root, "journal"), "pendingLines")->intValue, 1);
    EXPECT_EQ(Text(JsonGet(JsonGet(root, "journal"), "file")), "/data/logfiles/2026-05-17.dat");
    EXPECT_EQ(JsonGet(JsonGet(root, "journal"), "lines")->intValue, 129);

    const JsonNode* detection = JsonItem(JsonGet(root, "detections"), 0);
    EXPECT_EQ(JsonGet(detection, "number")->intValue, 129);
    EXPECT_EQ(Text(JsonGet(detection, "time")), "10:42:11.05");
    EXPECT_EQ(JsonGet(detection, "box")->intValue, 1);
    EXPECT_EQ(Text(JsonGet(detection, "bib")), "417");
    EXPECT_EQ(Text(JsonGet(detection, "runner")), "DURAND Anne");

    const JsonNode* alert = JsonItem(JsonGet(root, "alerts"), 0);
    EXPECT_EQ(Text(JsonGet(alert, "time")), "10:42:13");
    EXPECT_EQ(JsonGet(alert, "at")->intValue, 1759999990);
}

TEST(StatusJson, ASnapshotOlderThanFiveSecondsIsStale) {
    StatusFacts facts = TwoBoxesAndADetection();
    Parsed fresh(StatusJson(facts, facts.madeAt + kStatusStaleSeconds));
    EXPECT_EQ(JsonGet(fresh.root(), "stale")->intValue, 0);
    Parsed stale(StatusJson(facts, facts.madeAt + kStatusStaleSeconds + 1));
    EXPECT_EQ(JsonGet(stale.root(), "stale")->intValue, 1);
    EXPECT_EQ(JsonGet(stale.root(), "snapshotAgeSeconds")->intValue, kStatusStaleSeconds + 1);
    // No snapshot at all yet: stale, never a negative age.
    Parsed none(StatusJson(StatusFacts{}, 1760000000));
    EXPECT_EQ(JsonGet(none.root(), "stale")->intValue, 1);
    EXPECT_EQ(JsonGet(none.root(), "boxes")->count, 0);
}

TEST(StatusJson, QuotesControlsAndScriptEndsAreEscaped) {
    StatusFacts facts;
    StatusDetection detection;
    detection.label = "a\"b\\c\td\x01</script><b>";
    facts.detections = {detection};
    const std::string text = StatusJson(facts, 0);
    EXPECT_EQ(text.find("</script>"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("a\"b\\c\td\u0001\u003c/script>\u003cb>")"), std::string::npos) << text;
    Parsed json(text);
    ASSERT_NE(json.root(), nullptr);
    EXPECT_EQ(Text(JsonGet(JsonItem(JsonGet(json.root(), "detections"), 0), "bib")), detection.label);
}

TEST(StatusJson, BytesThatAreNotUtf8BecomeTheReplacementCharacter) {
    // A lone continuation byte, a cut sequence, an overlong form and a surrogate.
    EXPECT_EQ(JsonQuoted("A\x80Z"), "\"A\xEF\xBF\xBDZ\"");
    EXPECT_EQ(JsonQuoted("\xC3"), "\"\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonQuoted("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonQuoted("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    // Real characters pass as they are.
    EXPECT_EQ(JsonQuoted("Boîtier — 🏁"), "\"Boîtier — 🏁\"");
}

}  // namespace
}  // namespace lv

// The cloud service's replies through the functions that turn them into records: the
// token reply, the devices and files lists, and a detections download (or a box's
// stored passings) turned into the decoder output lines the import reads.
#include <algorithm>

#include "FuzzSupport.h"
#include "cloud/CloudClient.h"
#include "cloud/explorer/DecoderOutputFile.h"
#include "import/DecoderFileLine.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string deviceId(input.Piece());
    const std::string reply(input.Rest());

    const TokenReply token = ReadTokenReply(reply);
    FUZZ_CHECK(token.json || (token.token.empty() && token.refusal.empty()));
    FUZZ_CHECK(token.token.empty() || token.refusal.empty());

    const DevicesReply devices = ReadDevicesReply(reply);
    FUZZ_CHECK(devices.deviceIds.size() <= reply.size());

    std::vector<std::unique_ptr<CDetectionFile>> files;
    std::string error;
    const std::string devicePath = "/customers/1001/devices/" + deviceId;
    if (ReadDeviceFiles(reply, deviceId, devicePath, files, error) == kCloudOk) {
        for (const auto& file : files) {
            FUZZ_CHECK(file->deviceId == deviceId);
            FUZZ_CHECK(!file->fileId.empty());
            FUZZ_CHECK(std::all_of(file->fileId.begin() + (file->fileId[0] == '-'), file->fileId.end(),
                                   [](char c) { return c >= '0' && c <= '9'; }));
            FUZZ_CHECK(file->detectionsPath == devicePath + "/files/" + file->fileId + "/detections");
        }
    } else {
        FUZZ_CHECK(files.empty() && !error.empty());
    }

    DecoderOutput output;
    if (ConvertDetections(reply, deviceId, output, error)) {
        // One CR LF line per detection written, of the 17 fields the import expects.
        int lines = 0;
        std::string_view rest = output.lines;
        while (!rest.empty()) {
            const std::size_t end = rest.find("\r\n");
            FUZZ_CHECK(end != std::string_view::npos);
            const std::string_view line = rest.substr(0, end);
            std::string_view fields[kDetectionMinFields + 1];
            FUZZ_CHECK(SplitDecoderFields(line, fields, kDetectionMinFields + 1) == kDetectionMinFields ||
                       (line.back() == ';' &&
                        SplitDecoderFields(line, fields, kDetectionMinFields + 1) == kDetectionMinFields - 1));
            FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
            rest.remove_prefix(end + 2);
            ++lines;
        }
        FUZZ_CHECK(lines == output.written);
        FUZZ_CHECK(output.written >= 0 && output.skipped >= 0);
    }
    return 0;
}

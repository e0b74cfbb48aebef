#include "UsbBoxState.h"

#include <cstdio>
#include <cstdlib>

namespace sim::usbbox {

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

}  // namespace

UsbBoxState::UsbBoxState(const Options& options, std::vector<std::string> chips, long long startMs)
    : options_(options), chips_(std::move(chips)), random_(options.seed), startMs_(startMs) {
    ticksStart_ = options.ticksGiven ? options.ticksStart : static_cast<uint32_t>(random_());
    if (options.synchronised) {
        epoch_ = static_cast<uint32_t>(startMs / 1000);
        reference_ = TicksAt(static_cast<long long>(epoch_) * 1000);
    }
    // Stored passings: a second apart, the last one a second before start.
    for (long long i = 0; i < options.stored; ++i) Store(startMs - (options.stored - i) * 1000);
}

uint32_t UsbBoxState::TicksAt(long long epochMs) const {
    const long long elapsedMs = epochMs - startMs_;
    // Floor division, so that instants before start count back correctly.
    long long ticks = elapsedMs * 256;
    ticks = ticks >= 0 ? ticks / 1000 : -((-ticks + 999) / 1000);
    return ticksStart_ + static_cast<uint32_t>(ticks);
}

void UsbBoxState::Store(long long atMs) {
    Passing passing;
    passing.chip = chips_[random_() % chips_.size()];
    passing.ticks = TicksAt(atMs);
    passing.extra = random_();
    memory_.push_back(passing);
}

void UsbBoxState::Generate(long long nowMs) {
    if (options_.rate <= 0) return;
    long long due = static_cast<long long>(static_cast<double>(nowMs - startMs_) * options_.rate / 1000.0);
    if (options_.count > 0 && due > options_.count) due = options_.count;
    while (generated_ < due) {
        const long long atMs = startMs_ + static_cast<long long>(static_cast<double>(generated_ + 1) * 1000.0 / options_.rate);
        Store(atMs);
        ++generated_;
    }
}

int UsbBoxState::StatusOf(const std::string& keyword) const {
    auto found = options_.status.find(keyword);
    return found == options_.status.end() ? 0 : found->second;
}

std::string UsbBoxState::Reply(const std::string& keyword, int status, const std::string& rest) const {
    std::string reply = keyword + ";" + std::to_string(status) + "\n";
    auto forced = options_.value.find(keyword);
    reply += forced == options_.value.end() ? rest : forced->second + "\n";
    return reply + "\n";
}

std::string UsbBoxState::PassingLine(uint32_t index, const Passing& passing) const {
    // The chip, then eleven numbers: the index, the tick count, then what a box adds
    // (hits, signal, antenna...), made up from the seed.
    const uint32_t e = passing.extra;
    char text[256];
    std::snprintf(text, sizeof text, "%s;%x;%x;%x;%x;%x;%x;%x;%x;%x;%x;%x", passing.chip.c_str(), index, passing.ticks,
                  e & 0xFF, (e >> 8) & 0xFF, (e >> 16) & 0x0F, 1u, 0u, (e >> 20) & 0x3F, 0u, 2u, 0u);
    std::string line = text;
    const long long number = static_cast<long long>(index - options_.firstIndex) + 1;
    if (options_.malformedEvery > 0 && number % options_.malformedEvery == 0) {
        line.erase(line.rfind(';'));  // eleven components
    }
    return line;
}

std::string UsbBoxState::PassingGet(const std::string& argument, long long nowMs) {
    if (options_.resetAfter > 0 && passingGets_ == options_.resetAfter) {
        // The memory starts again (a reset, another box): the same first index, new passings.
        memory_.clear();
        for (long long i = 0; i < options_.resetKeep; ++i) Store(nowMs - (options_.resetKeep - i) * 1000);
    }
    ++passingGets_;
    const int status = StatusOf("PASSINGGET");
    if (status != 0) return Reply("PASSINGGET", status, "0;0\n");
    char* end = nullptr;
    const unsigned long asked = std::strtoul(argument.c_str(), &end, 16);
    const uint64_t first = options_.firstIndex;
    const uint64_t past = first + memory_.size();
    if (argument.empty() || *end != '\0' || asked < first || asked >= past) {
        // Nothing at that index: the value line names the first index held.
        return Reply("PASSINGGET", 10, "0;" + Hex(options_.firstIndex) + "\n");
    }
    const uint64_t available = past - asked;
    const uint32_t announced = static_cast<uint32_t>(available < static_cast<uint64_t>(options_.batch) ? available
                                                                                                      : options_.batch);
    uint32_t sent = announced;
    if (options_.shortBatch >= 0 && static_cast<uint32_t>(options_.shortBatch) < sent) sent = options_.shortBatch;
    std::string rest = Hex(static_cast<uint32_t>(asked)) + ";" + Hex(announced) + "\n";
    const long long batch = sent > 0 ? ++batchesSent_ : 0;
    // Damage in transit, on one line in the middle of the batch.
    const bool garble = options_.garbleEvery > 0 && batch > 0 && batch % options_.garbleEvery == 0;
    const bool extra = options_.extraEvery > 0 && batch > 0 && batch % options_.extraEvery == 0;
    for (uint32_t k = 0; k < sent; ++k) {
        const uint32_t index = static_cast<uint32_t>(asked) + k;
        std::string line = PassingLine(index, memory_[index - first]);
        if (k == sent / 2) {
            if (extra) rest += "\x7f~#$\x01noise\n";
            if (garble) line = line.substr(0, line.size() / 3) + "\x02\xfe" + line.substr(line.size() / 2 + 4);
        }
        rest += line + "\n";
    }
    return Reply("PASSINGGET", 0, rest);
}

std::string UsbBoxState::Answer(const std::string& line, long long nowMs) {
    std::string command = line;
    while (!command.empty() && (command.back() == '\r' || command.back() == ' ')) command.pop_back();
    const std::size_t semicolon = command.find(';');
    const std::string keyword = command.substr(0, semicolon);
    const std::string argument = semicolon == std::string::npos ? std::string() : command.substr(semicolon + 1);
    if (options_.silent.count(keyword) != 0) return {};
    Generate(nowMs);
    const int status = StatusOf(keyword);

    if (keyword == "ASCII") return Reply("ASCII", status, "");
    if (keyword == "RESET") return "RESTARTING\n\n";
    if (keyword == "INFOGET") {
        const unsigned long item = std::strtoul(argument.c_str(), nullptr, 16);
        uint32_t value = 0;
        switch (item) {
            case 1: value = 1000 + options_.seed % 9000; break;
            case 2: value = static_cast<uint32_t>(options_.firmware); break;
            case 3: value = static_cast<uint32_t>(options_.hardware); break;
            case 4: value = static_cast<uint32_t>(options_.boxType); break;
            default: return Reply("INFOGET", 1, Hex(static_cast<uint32_t>(item)) + ";0\n");
        }
        return Reply("INFOGET", status, Hex(static_cast<uint32_t>(item)) + ";" + Hex(value) + "\n");
    }
    if (keyword == "EPOCHREFGET") return Reply("EPOCHREFGET", status, Hex(epoch_) + ";" + Hex(reference_) + "\n");
    if (keyword == "EPOCHREFSET") {
        char* end = nullptr;
        const unsigned long second = std::strtoul(argument.c_str(), &end, 16);
        if (argument.empty() || *end != '\0') return Reply("EPOCHREFSET", 2, "0;0\n");
        if (status == 0 && !options_.unsynchronised) {
            // No DTR on a pseudo-terminal: the announced second is the pulse's.
            epoch_ = static_cast<uint32_t>(second);
            reference_ = TicksAt(static_cast<long long>(second) * 1000);
        }
        return Reply("EPOCHREFSET", status, Hex(epoch_) + ";" + Hex(reference_) + "\n");
    }
    if (keyword == "EPOCHREFADJ1D") {
        if (status == 0 && (epoch_ != 0 || reference_ != 0)) epoch_ += 86400;  // one day forward
        return Reply("EPOCHREFADJ1D", status, Hex(epoch_) + ";" + Hex(reference_) + "\n");
    }
    if (keyword == "TIMESTAMPGET") return Reply("TIMESTAMPGET", status, Hex(TicksAt(nowMs)) + "\n");
    if (keyword == "PASSINGINFOGET") {
        std::string value = "0;" + Hex(options_.firstIndex) + ";0;" + Hex(options_.firstIndex) + ";0";
        if (!memory_.empty()) {
            const uint32_t last = options_.firstIndex + static_cast<uint32_t>(memory_.size()) - 1;
            value = Hex(static_cast<uint32_t>(memory_.size())) + ";" + Hex(options_.firstIndex) + ";" +
                    Hex(memory_.front().ticks) + ";" + Hex(last) + ";" + Hex(memory_.back().ticks);
        }
        return Reply("PASSINGINFOGET", status, value + "\n");
    }
    if (keyword == "PASSINGGET") return PassingGet(argument, nowMs);
    return "COMMANDNOTEXISTING\n\n";
}

}  // namespace sim::usbbox

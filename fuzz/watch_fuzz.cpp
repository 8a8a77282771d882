// The run's reading of its workers' events, as the pure rules it is, on any
// sequence of events and times, over workers one after another: no outcome
// is credited that the worker did not earn (the file's support test
// accepted, or it is in the second pass, and the run saw that file's
// decode or listing begin, in a worker of that file's width), the start
// never moves backwards, and no step waits past its limit.
//
// Input: the number of listed files (1 to 8), then for each a byte of what
// the run knows (bit 0 failed, bit 1 answered further on, bit 2 of the
// other width, bit 3 width unknown), the start (bit 0 the pass, the rest
// the file); then events of 8 bytes each: the time since the last one in
// tenths of a second, the kind (7: the worker ends and the next starts;
// 8: it is of the other width), the file, the pass, the step, the result
// (16 bits) and the depth.
#include "check.h"
#include "app/watch.h"

#include <string.h>

namespace {

struct Shadow {
    uint32_t accepted[2]; // files per pass whose head (or pass) lets them be taken
    uint32_t begun[2];    // files per pass whose decode or listing was seen to begin
};

uint32_t Fuzz_Bit(uint32_t file) {
    return file < 32 ? 1u << file : 0;
}

// Whether the outcome the rules credited was earned, by the record of
// what the rules took.
void Fuzz_CheckEarned(const PluginRegistry* own, const WatchWorker* seen, const Shadow* shadow) {
    if (seen->outcome == WorkerOutcome::None || seen->outcome == WorkerOutcome::NothingTaken) {
        return;
    }
    uint32_t file = seen->file;
    Fuzz_Require(file < own->count, "a credited file is listed");
    Fuzz_Require((shadow->begun[seen->pass] & Fuzz_Bit(file)) != 0, "its decode or listing began");
    Fuzz_Require((shadow->accepted[seen->pass] & Fuzz_Bit(file)) != 0,
                 "its support test accepted, or it is in the second pass");
    Fuzz_Require(own->files[file].machine == seen->machine, "a worker of its width");
}

void Fuzz_Event(PluginRegistry* own, WatchWorker* seen, Shadow* shadow, const uint8_t* bytes,
                uint32_t now) {
    WorkerEvent event = {};
    event.kind = bytes[1];
    event.file = bytes[2];
    event.pass = bytes[3];
    event.step = bytes[4];
    event.result = static_cast<int16_t>(bytes[5] | bytes[6] << 8);
    event.depth = bytes[7];
    event.width = bytes[7] & 1;
    if (!Watch_Take(own, seen, &event, now)) {
        return;
    }
    auto kind = static_cast<WorkerEventKind>(event.kind);
    auto step = static_cast<PluginStep>(event.step);
    if (kind == WorkerEventKind::Begin && event.pass == 1 && step == PluginStep::Load) {
        shadow->accepted[1] |= Fuzz_Bit(event.file);
    }
    if (kind == WorkerEventKind::Return && step == PluginStep::Support && event.result != 0) {
        shadow->accepted[0] |= Fuzz_Bit(event.file);
    }
    if (kind == WorkerEventKind::Begin &&
        (step == PluginStep::Decode || step == PluginStep::List)) {
        shadow->begun[event.pass & 1] |= Fuzz_Bit(event.file);
    }
    Fuzz_CheckEarned(own, seen, shadow);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    static PluginRegistry own;
    memset(&own, 0, sizeof own);
    own.count = 1 + data[0] % 8;
    size_t at = 1;
    for (uint32_t i = 0; i < own.count && at < size; ++i, ++at) {
        own.files[i].failed = data[at] & 1;
        own.files[i].furtherOn = (data[at] >> 1) & 1;
        own.files[i].machine = data[at] & 8   ? 0
                               : data[at] & 4 ? PLUGIN_OTHER_MACHINE
                                              : PLUGIN_OWN_MACHINE;
    }
    if (at < size) {
        own.startPass = data[at] & 1;
        own.startFile = (data[at] >> 1) % (own.count + 1);
        ++at;
    }
    uint32_t now = 0xFFFF0000; // the clock wraps during the run
    uint32_t retried = 0xFFFFFFFF;
    uint16_t machine = PLUGIN_OWN_MACHINE;
    WatchWorker seen;
    Watch_Begin(&own, &seen, machine, now);
    Shadow shadow = {};
    for (; at + 8 <= size; at += 8) {
        now += data[at] * 100u;
        if (data[at + 1] == 7 || data[at + 1] == 8) {
            uint64_t before = uint64_t{own.startPass} << 32 | own.startFile;
            WorkerOutcome outcome;
            WatchEnd end = Watch_Settle(&own, &seen, 1, &retried, &outcome);
            uint64_t after = uint64_t{own.startPass} << 32 | own.startFile;
            Fuzz_Require(after >= before, "the start never moves backwards");
            Fuzz_Require(end != WatchEnd::Done || outcome != WorkerOutcome::None,
                         "a finished search has an outcome");
            if (end == WatchEnd::Done) {
                return 0;
            }
            machine = data[at + 1] == 8 ? PLUGIN_OTHER_MACHINE : PLUGIN_OWN_MACHINE;
            Watch_Begin(&own, &seen, machine, now);
            shadow = Shadow{};
            continue;
        }
        Fuzz_Event(&own, &seen, &shadow, data + at, now);
        uint32_t left = Watch_Limit(&seen, now);
        Fuzz_Require(left <= 1000, "the run looks again within a second");
        // No step but the failure box outlives the longest limit.
        uint32_t since = now - seen.stepBegan;
        if (seen.open != PluginStep::Box &&
            (seen.moved == 0 ? now - seen.started >= WATCH_START_MS : since >= WATCH_TAKE_MS)) {
            Fuzz_Require(left == 0, "a step past every limit is given up");
        }
    }
    return 0;
}
